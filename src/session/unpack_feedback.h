#pragma once
// What the user sees while the kit is unpacked: nothing while it is quick,
// so that a small kit goes straight on without a flash; once the program has
// run for kUnpackFeedbackDelayMs and the unpacking itself for
// kUnpackMinimumRunMs, a progress display the front end provides (a small
// window, a line on a terminal), which can also stop the unpacking. The user
// has waited since the start, not since the unpacking began: counting from
// the start keeps the first feedback near 0.2 s however slow the start-up.
// A long unpacking is recognised before that: once it has run for
// kUnpackProjectionMs, its pace so far tells whether it will still run for
// kUnpackLongRemainingMs, and then the feedback comes at once (long enough
// to be read, never a flash).
#include <chrono>
#include <cstdint>
#include "kit/kit_load_observer.h"

namespace tpl {

constexpr int32_t kUnpackFeedbackDelayMs = 200;  // since the program started
constexpr int32_t kUnpackMinimumRunMs = 100;     // since the unpacking started
constexpr int32_t kUnpackProjectionMs = 40;      // since the unpacking started
constexpr int32_t kUnpackLongRemainingMs = 500;  // projected from the pace so far

class UnpackFeedback {
public:
    virtual ~UnpackFeedback() = default;
    // Shows or updates the progress, 0..100; called often (the toolkit may
    // handle its events here). Returns false when the user stops the run.
    virtual bool ShowUnpacking(int32_t percent) = 0;
};

// Turns the kit's progress reports into feedback after the delay, and stops
// the unpacking when the user asks to or an interruption signal arrives.
class DelayedUnpackObserver final : public KitLoadObserver {
public:
    explicit DelayedUnpackObserver(UnpackFeedback* feedback, int32_t delayMs = kUnpackFeedbackDelayMs,
                                   int32_t minimumRunMs = kUnpackMinimumRunMs,
                                   int32_t projectionMs = kUnpackProjectionMs,
                                   int32_t longRemainingMs = kUnpackLongRemainingMs);
    bool OnUnpackProgress(uint64_t done, uint64_t total) override;
    // Whether it has stopped the unpacking.
    bool Stopped() const noexcept { return stopped_; }

    // Only the end-to-end tests' build of the program sets one: the
    // unpacking then waits at its start, its feedback shown as usual, for as
    // long as the hold returns true. nullptr removes it.
    using Hold = bool (*)();
    static void SetHoldForTesting(Hold hold) noexcept;

private:
    bool Report(uint64_t done, uint64_t total);
    // Whether the pace so far projects at least longRemaining_ still to go.
    bool ProjectedLong(uint64_t done, uint64_t total, std::chrono::steady_clock::duration ran) const;
    bool WaitWhileHeld(uint64_t done, uint64_t total);

    UnpackFeedback* feedback_;  // may be null: only signals then stop the unpacking
    std::chrono::steady_clock::time_point start_;
    std::chrono::milliseconds delay_;
    std::chrono::milliseconds minimumRun_;
    std::chrono::milliseconds projection_;
    std::chrono::milliseconds longRemaining_;
    bool holdChecked_ = false;
    bool shown_ = false;
    bool stopped_ = false;
};

}  // namespace tpl
