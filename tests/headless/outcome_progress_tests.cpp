// Reading an installation's final state, and the progress line without a window.
#include <gtest/gtest.h>

#include "session/install_outcome.h"
#include "headless/progress_reporter.h"
#include "support/captured_stream.h"

namespace tpl {

TEST(InstallOutcomeTest, CodeDecidesBeforePercentAndCancelIsItsOwnOutcome) {
    EXPECT_EQ(OutcomeOfStatus(0, 0), InstallOutcome::Running);
    EXPECT_EQ(OutcomeOfStatus(0, 99), InstallOutcome::Running);
    EXPECT_EQ(OutcomeOfStatus(0, 100), InstallOutcome::Succeeded);
    // A failure posted with the percentage of its entry, even 100.
    EXPECT_EQ(OutcomeOfStatus(3, 100), InstallOutcome::Failed);
    EXPECT_EQ(OutcomeOfStatus(1223, 100), InstallOutcome::Cancelled);
    EXPECT_EQ(OutcomeOfStatus(1223, 40), InstallOutcome::Cancelled);

    EXPECT_EQ(ExitStatusOf(InstallOutcome::Succeeded), 0);
    EXPECT_EQ(ExitStatusOf(InstallOutcome::Failed), 1);
    EXPECT_EQ(ExitStatusOf(InstallOutcome::Cancelled), 2);
    // Another installation's lock: worth a retry, and a script must see that.
    EXPECT_EQ(ExitStatusOf(InstallOutcome::Failed, 33), 75);
    EXPECT_EQ(ExitStatusOf(InstallOutcome::Failed, 183), 1);
    EXPECT_EQ(ExitStatusOf(InstallOutcome::Cancelled, 1223), 2);
}

TEST(ProgressReporterTest, LinesOnlyWhenTenMorePercentAreDone) {
    CapturedStream out;
    ProgressReporter progress(out.Get(), false, "Copying");
    for (int32_t percent : {0, 0, 5, 9, 10, 11, 37, 38, 39, 99, 100, 100}) progress.Show(percent);
    progress.End();  // nothing open: adds nothing
    EXPECT_EQ(out.Text(), "Copying 0%\nCopying 10%\nCopying 37%\nCopying 99%\nCopying 100%\n");
}

TEST(ProgressReporterTest, TerminalLineIsRewrittenAndEndedOnce) {
    CapturedStream out;
    ProgressReporter progress(out.Get(), true, "Copying");
    progress.Show(3);
    progress.Show(3);
    progress.Show(47);
    progress.Show(250);  // out of range values are clamped, never printed raw
    progress.End();
    progress.End();
    EXPECT_EQ(out.Text(), "\rCopying   3%\rCopying  47%\rCopying 100%\n");
}

TEST(ProgressReporterTest, NegativePercentShowsAsZero) {
    CapturedStream out;
    ProgressReporter progress(out.Get(), false, "Copying");
    progress.Show(-5);
    progress.Show(0);
    EXPECT_EQ(out.Text(), "Copying 0%\n");
}

}  // namespace tpl
