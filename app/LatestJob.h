#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>

namespace quello {

// Runs one job at a time on Qt's thread pool and hands its result to a handler on the GUI
// thread. Only the latest Start() is answered: a job that a later Start() or Cancel()
// overtook runs to its end on its own and its result is dropped, as is one still running when
// this goes. A job must therefore own copies of everything it reads.
//
// Owned by value inside a QObject `owner` that lives on the GUI thread and outlives it; the
// watcher of the running job is a child of that owner. GUI thread only.
template <typename Result> class LatestJob {
public:
    using Handler = std::function<void(const Result&)>;

    LatestJob(QObject* owner, Handler handler) : m_owner(owner), m_handler(std::move(handler)) {}
    ~LatestJob() { Cancel(); }
    LatestJob(const LatestJob&) = delete;
    LatestJob& operator=(const LatestJob&) = delete;

    template <typename Job> void Start(Job job) {
        Cancel();
        m_watcher = new QFutureWatcher<Result>(m_owner);
        QObject::connect(m_watcher, &QFutureWatcherBase::finished, m_owner, [this] {
            const Result result = m_watcher->result();
            m_watcher->deleteLater();
            m_watcher = nullptr;
            m_handler(result);
        });
        m_watcher->setFuture(QtConcurrent::run(std::move(job)));
    }

    void Cancel() {
        if (!m_watcher)
            return;
        m_watcher->disconnect(m_owner);
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }

    bool busy() const { return m_watcher != nullptr; }

private:
    QObject* m_owner;
    Handler m_handler;
    QFutureWatcher<Result>* m_watcher = nullptr;
};

} // namespace quello
