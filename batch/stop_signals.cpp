#include "batch/stop_signals.h"

#include <atomic>
#include <csignal>

namespace pelvanor::batch {

namespace {

// Lock-free, so that the handler may store it.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) { g_signal.store(signal); }

}  // namespace

void InstallStopSignals() {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A second Ctrl+C finds the default action again and ends the process.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return g_signal.load(); }

std::string StopSignalName(int signal) { return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "signál " + std::to_string(signal); }

int StoppedExitStatus(int signal) { return 128 + signal; }

}  // namespace pelvanor::batch
