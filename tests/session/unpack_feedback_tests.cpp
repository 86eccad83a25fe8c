// The feedback of a long unpacking: nothing before the delay, the percentage
// after it, and a stop by the user or by a signal.
#include <gtest/gtest.h>

#include <csignal>
#include <vector>

#include "fs/interruption.h"
#include "session/unpack_feedback.h"

namespace tpl {

namespace {

class RecordingFeedback final : public UnpackFeedback {
public:
    bool ShowUnpacking(int32_t percent) override {
        shown.push_back(percent);
        return goOn;
    }
    std::vector<int32_t> shown;
    bool goOn = true;
};

constexpr int32_t kAnHour = 3600 * 1000;

}  // namespace

TEST(UnpackFeedbackTest, NothingIsShownBeforeTheDelayOrTheMinimumRun) {
    RecordingFeedback feedback;
    feedback.goOn = false;  // would stop the unpacking if it were asked
    // An hour since the program's start, or an hour of unpacking, is not yet reached.
    DelayedUnpackObserver sinceStart(&feedback, kAnHour, 0);
    DelayedUnpackObserver ownRun(&feedback, 0, kAnHour);
    for (DelayedUnpackObserver* observer : {&sinceStart, &ownRun}) {
        EXPECT_TRUE(observer->OnUnpackProgress(0, 1000));
        EXPECT_TRUE(observer->OnUnpackProgress(1000, 1000));
        EXPECT_FALSE(observer->Stopped());
    }
    EXPECT_TRUE(feedback.shown.empty());
}

TEST(UnpackFeedbackTest, AfterTheDelayThePercentageIsShownAndTheUserCanStop) {
    RecordingFeedback feedback;
    DelayedUnpackObserver observer(&feedback, 0, 0);
    EXPECT_TRUE(observer.OnUnpackProgress(0, 3000));
    EXPECT_TRUE(observer.OnUnpackProgress(1000, 3000));
    EXPECT_TRUE(observer.OnUnpackProgress(3000, 3000));
    EXPECT_TRUE(observer.OnUnpackProgress(0, 0));  // an empty kit is done at once
    EXPECT_EQ(feedback.shown, (std::vector<int32_t>{0, 33, 100, 100}));

    feedback.goOn = false;
    EXPECT_FALSE(observer.OnUnpackProgress(2000, 3000));
    EXPECT_TRUE(observer.Stopped());
}

TEST(UnpackFeedbackTest, APaceThatProjectsALongUnpackingShowsItBeforeTheDelay) {
    RecordingFeedback feedback;
    // Neither the delay nor the minimum run is reached; 0.5 s still to go counts as long.
    DelayedUnpackObserver observer(&feedback, kAnHour, kAnHour, 0, 500);
    // Nine tenths done already: what is left cannot take half a second.
    EXPECT_TRUE(observer.OnUnpackProgress(900, 1000));
    EXPECT_TRUE(feedback.shown.empty());
    // A byte in the time those nine tenths took projects far beyond it.
    DelayedUnpackObserver slow(&feedback, kAnHour, kAnHour, 0, 500);
    EXPECT_TRUE(slow.OnUnpackProgress(1, uint64_t{1} << 50));
    // Once shown it stays, also when the rest would go quickly.
    EXPECT_TRUE(slow.OnUnpackProgress((uint64_t{1} << 50) - 1, uint64_t{1} << 50));
    EXPECT_EQ(feedback.shown, (std::vector<int32_t>{0, 99}));
    // Nothing read yet, or a pace not yet watched for long enough, tells nothing.
    DelayedUnpackObserver unread(&feedback, kAnHour, kAnHour, 0, 500);
    DelayedUnpackObserver early(&feedback, kAnHour, kAnHour, kAnHour, 0);
    EXPECT_TRUE(unread.OnUnpackProgress(0, 1000));
    EXPECT_TRUE(early.OnUnpackProgress(1, 1000));
    EXPECT_EQ(feedback.shown.size(), 2u);
}

TEST(UnpackFeedbackTest, SignalStopsTheUnpackingWithOrWithoutFeedback) {
    ASSERT_TRUE(InstallInterruptionHandlers());
    std::raise(SIGTERM);
    RecordingFeedback feedback;
    DelayedUnpackObserver shown(&feedback, 0, 0);
    DelayedUnpackObserver silent(nullptr);
    EXPECT_FALSE(shown.OnUnpackProgress(0, 10));
    EXPECT_FALSE(silent.OnUnpackProgress(0, 10));
    EXPECT_TRUE(shown.Stopped() && silent.Stopped());
    EXPECT_TRUE(feedback.shown.empty());
    ClearInterruptionRequest();
}

}  // namespace tpl
