#pragma once

#include "LibraryImport.h"

#include <QFutureWatcher>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

namespace quello {

// One import into a library at a time, run by LibraryImport on Qt's thread pool so that the
// GUI thread never waits for the copies. Progress reaches the GUI thread as the latest
// figures, at most one queued notice at a time however fast the worker reports; Cancel() makes
// the import stop at its next file or chunk, removing the copy it was making.
//
// Owned by the window; its signals are emitted on the GUI thread. Destroying it while an
// import runs cancels the import and waits for it to stop.
class LibraryImportJob : public QObject {
    Q_OBJECT
public:
    explicit LibraryImportJob(QObject* parent = nullptr);
    ~LibraryImportJob() override;

    // False (nothing started) while another import runs.
    bool Start(const QString& libraryRoot, const QStringList& sources);
    void Cancel();
    bool running() const { return m_watcher != nullptr; }
    const QString& library() const { return m_library; }

    // The figures of the last progress notice (GUI thread).
    ImportProgress progress() const;
    // The report of the import that finished last.
    const ImportReport& report() const { return m_report; }

signals:
    void progressed();
    void finished();

private:
    void OnFinished();

    QString m_library;
    // Shared with the worker, which may outlive a cancelled job only inside the destructor.
    struct Shared {
        std::atomic<bool> cancel{false};
        std::atomic<bool> noticeQueued{false};
        mutable QMutex mutex;
        ImportProgress latest;
    };
    std::shared_ptr<Shared> m_shared;
    QFutureWatcher<ImportReport>* m_watcher = nullptr;
    ImportReport m_report;
};

} // namespace quello
