#include "LibraryImportJob.h"

#include <QFile>
#include <QMetaObject>
#include <QtConcurrent/QtConcurrentRun>

namespace quello {

LibraryImportJob::LibraryImportJob(QObject* parent) : QObject(parent) {}

LibraryImportJob::~LibraryImportJob() {
    if (!m_watcher)
        return;
    m_shared->cancel = true;
    m_watcher->disconnect(this);
    m_watcher->waitForFinished();
}

bool LibraryImportJob::Start(const QString& libraryRoot, const QStringList& sources) {
    if (m_watcher)
        return false;
    m_library = libraryRoot;
    m_report = {};
    m_shared = std::make_shared<Shared>();
    std::vector<std::string> paths;
    for (const QString& source : sources)
        paths.push_back(QFile::encodeName(source).toStdString());
    m_watcher = new QFutureWatcher<ImportReport>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, &LibraryImportJob::OnFinished);
    // The destructor waits for the worker, so `this` outlives every call the worker makes; a
    // notice still queued when this goes is dropped by Qt with it.
    m_watcher->setFuture(QtConcurrent::run(
        [this, shared = m_shared, library = QFile::encodeName(libraryRoot).toStdString(),
         paths = std::move(paths)] {
        LibraryImport import(library, paths);
        import.SetCancel(&shared->cancel);
            import.SetProgress([this, shared](const ImportProgress& progress) {
                {
                    QMutexLocker lock(&shared->mutex);
            shared->latest = progress;
                }
                // One notice on its way is enough: it reads the latest figures when it lands.
                if (!shared->noticeQueued.exchange(true))
                    QMetaObject::invokeMethod(
                        this,
                        [this, shared] {
        shared->noticeQueued = false;
        emit progressed();
                        },
                        Qt::QueuedConnection);
});
return import.Run();
}));
return true;
}

void LibraryImportJob::Cancel() {
    if (m_shared)
        m_shared->cancel = true;
}

ImportProgress LibraryImportJob::progress() const {
    if (!m_shared)
        return {};
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->latest;
}

void LibraryImportJob::OnFinished() {
    m_report = m_watcher->result();
    m_watcher->deleteLater();
    m_watcher = nullptr;
    emit finished();
}

} // namespace quello
