#include "ClipExportJob.h"

#include <QMetaObject>
#include <QtConcurrent/QtConcurrentRun>

namespace quello {

ClipExportJob::ClipExportJob(QObject* parent) : QObject(parent) {}

ClipExportJob::~ClipExportJob() {
    if (!m_watcher)
        return;
    m_shared->cancel = true;
    m_watcher->disconnect(this);
    m_watcher->waitForFinished();
}

bool ClipExportJob::Start(Work work) {
    if (m_watcher || !work)
        return false;
    m_report = {};
    m_shared = std::make_shared<Shared>();
    m_watcher = new QFutureWatcher<ClipReport>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, &ClipExportJob::OnFinished);
    // The destructor waits for the worker, so `this` outlives every notice the worker queues;
    // one still queued when this goes is dropped by Qt with it.
    m_watcher->setFuture(QtConcurrent::run([this, shared = m_shared, work = std::move(work)] {
        const auto progress = [this, shared](double fraction) {
            shared->latest = fraction;
            // One notice on its way is enough: it reads the latest fraction when it lands.
            if (!shared->noticeQueued.exchange(true))
                QMetaObject::invokeMethod(
                    this,
                    [this, shared] {
                        shared->noticeQueued = false;
                        emit progressed();
                    },
                    Qt::QueuedConnection);
        };
        return work(&shared->cancel, progress);
    }));
    return true;
}

void ClipExportJob::Cancel() {
    if (m_shared)
        m_shared->cancel = true;
}

void ClipExportJob::OnFinished() {
    m_report = m_watcher->result();
    m_watcher->deleteLater();
    m_watcher = nullptr;
    emit finished();
}

} // namespace quello
