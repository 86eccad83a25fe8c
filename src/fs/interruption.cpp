// Signal handlers that only record the request.
#include "fs/interruption.h"

#include <atomic>
#include <csignal>

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "the signal flag must be lock-free");

std::atomic<int> g_signal{0};

constexpr int kCaughtSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RecordInterruption(int signal) {
    int none = 0;
    g_signal.compare_exchange_strong(none, signal);
}

}  // namespace

bool InstallInterruptionHandlers() {
    struct sigaction action = {};
    action.sa_handler = &RecordInterruption;
    sigemptyset(&action.sa_mask);
    for (int signal : kCaughtSignals) sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    bool all = true;
    for (int signal : kCaughtSignals) all = ::sigaction(signal, &action, nullptr) == 0 && all;
    return all;
}

bool InterruptionRequested() noexcept {
    return g_signal.load() != 0;
}

int InterruptionSignal() noexcept {
    return g_signal.load();
}

void ClearInterruptionRequest() noexcept {
    g_signal.store(0);
}
