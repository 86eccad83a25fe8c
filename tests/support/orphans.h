#pragma once
// Watching for processes that outlive the one that started them. A test
// becomes the sub-reaper (prctl PR_SET_CHILD_SUBREAPER) so that the orphans
// of a process it kills are handed to it and can be seen and reaped.
#include <cerrno>
#include <chrono>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>

namespace tpl {

namespace test_support {

// True when some process that was ours (reparented to us as the sub-reaper)
// is still alive; the ones that ended are reaped on the way.
inline bool OrphanAlive() {
    int status = 0;
    for (;;) {
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid > 0) continue;  // one that had already ended
        return pid == 0;        // 0: a child lives; -1 (ECHILD): none
    }
}

// Waits up to timeout for every child of ours to end; true when none is left.
inline bool OrphansGoneWithin(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (OrphanAlive()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace test_support

}  // namespace tpl
