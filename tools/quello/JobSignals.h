#pragma once

#include <atomic>
#include <csignal>

namespace quello {

// While it lives, Ctrl+C, a closed terminal or a kill (SIGINT, SIGHUP, SIGTERM) set stop()
// instead of ending the process, so that a long job stops between chunks and leaves no partial
// file behind; a second signal ends the process as usual. One at a time, on the main thread.
class JobSignals {
public:
    JobSignals();
    ~JobSignals();
    JobSignals(const JobSignals&) = delete;
    JobSignals& operator=(const JobSignals&) = delete;

    static const std::atomic<bool>* stop();

private:
    struct sigaction m_old[3]{};
};

} // namespace quello
