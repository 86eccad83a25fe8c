#include "session/unpack_feedback.h"

#include "fs/interruption.h"
#include "fs/sleep.h"

namespace tpl {

namespace {
constexpr int32_t kHoldPollMs = 10;
// A plain pointer, constant-initialised: a test build sets it from a static
// initialiser of its own, which may run before this file's.
DelayedUnpackObserver::Hold g_hold = nullptr;
// Taken while the program's static objects are made, before main.
const std::chrono::steady_clock::time_point g_programStart = std::chrono::steady_clock::now();
}  // namespace

void DelayedUnpackObserver::SetHoldForTesting(Hold hold) noexcept { g_hold = hold; }

DelayedUnpackObserver::DelayedUnpackObserver(UnpackFeedback* feedback, int32_t delayMs, int32_t minimumRunMs,
                                             int32_t projectionMs, int32_t longRemainingMs)
    : feedback_(feedback),
      start_(std::chrono::steady_clock::now()),
      delay_(delayMs),
      minimumRun_(minimumRunMs),
      projection_(projectionMs),
      longRemaining_(longRemainingMs) {}

bool DelayedUnpackObserver::ProjectedLong(uint64_t done, uint64_t total,
                                          std::chrono::steady_clock::duration ran) const {
    if (ran < projection_ || done == 0 || done >= total) return false;
    const double remaining = std::chrono::duration<double>(ran).count() * static_cast<double>(total - done) /
                             static_cast<double>(done);
    return remaining >= std::chrono::duration<double>(longRemaining_).count();
}

bool DelayedUnpackObserver::Report(uint64_t done, uint64_t total) {
    if (InterruptionRequested()) return false;
    if (feedback_ == nullptr) return true;
    const auto now = std::chrono::steady_clock::now();
    const bool due = now - g_programStart >= delay_ && now - start_ >= minimumRun_;
    // Once shown, the feedback stays until the end.
    if (!shown_ && !due && !ProjectedLong(done, total, now - start_)) return true;
    shown_ = true;
    const int32_t percent = total == 0 ? 100 : static_cast<int32_t>(done * 100 / total);
    return feedback_->ShowUnpacking(percent);
}

bool DelayedUnpackObserver::WaitWhileHeld(uint64_t done, uint64_t total) {
    while (g_hold != nullptr && g_hold()) {
        if (!Report(done, total)) return false;
        SleepMilliseconds(kHoldPollMs);
    }
    return true;
}

bool DelayedUnpackObserver::OnUnpackProgress(uint64_t done, uint64_t total) {
    bool goOn = true;
    if (!holdChecked_) {
        holdChecked_ = true;
        goOn = WaitWhileHeld(done, total);
    }
    if (goOn) goOn = Report(done, total);
    stopped_ = !goOn;
    return goOn;
}

}  // namespace tpl
