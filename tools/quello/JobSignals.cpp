#include "JobSignals.h"

namespace quello {
namespace {

std::atomic<bool> g_stop{false};
constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnStopSignal(int) {
    g_stop.store(true);
}

} // namespace

JobSignals::JobSignals() {
    g_stop.store(false);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &m_old[i]);
}

JobSignals::~JobSignals() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &m_old[i], nullptr);
}

const std::atomic<bool>* JobSignals::stop() {
    return &g_stop;
}

} // namespace quello
