#pragma once

#include "clips/LosslessClip.h"

#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

namespace quello {

// One clip export at a time, run on Qt's thread pool so that playback stays smooth while the
// clip is cut or encoded. Progress reaches the GUI thread as the latest fraction, at most one
// queued notice at a time however often the worker reports; Cancel() makes the work stop at
// its next packet or frame, and the work then leaves no file behind.
//
// Owned by its controller; signals are emitted on the GUI thread. Destroying it while a clip
// is being made cancels the work and waits for it to stop.
class ClipExportJob : public QObject {
    Q_OBJECT
public:
    // The work: reads `cancel` between steps and reports 0..1 through `progress`, on the
    // worker thread.
    using Work = std::function<ClipReport(const std::atomic<bool>* cancel,
                                          const std::function<void(double)>& progress)>;

    explicit ClipExportJob(QObject* parent = nullptr);
    ~ClipExportJob() override;

    // False (nothing started) while another export runs.
    bool Start(Work work);
    void Cancel();
    bool running() const { return m_watcher != nullptr; }
    bool cancelled() const { return m_shared && m_shared->cancel.load(); }

    // The fraction of the last progress notice (GUI thread).
    double progress() const { return m_shared ? m_shared->latest.load() : 0.0; }
    // The report of the export that finished last.
    const ClipReport& report() const { return m_report; }

signals:
    void progressed();
    void finished();

private:
    void OnFinished();

    // Shared with the worker, which may outlive a cancelled job only inside the destructor.
    struct Shared {
        std::atomic<bool> cancel{false};
        std::atomic<bool> noticeQueued{false};
        std::atomic<double> latest{0.0};
    };
    std::shared_ptr<Shared> m_shared;
    QFutureWatcher<ClipReport>* m_watcher = nullptr;
    ClipReport m_report;
};

} // namespace quello
