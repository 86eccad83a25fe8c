// A run ended without warning (as by SIGKILL or a crash) at each of its
// steps, in a child process; the next start's recovery must bring the
// template directory back exactly as it was, or leave the completed
// installation, and no backup directory may remain either way.
#include <sys/wait.h>
#include <unistd.h>
#include "journal/journal_recovery.h"
#include "engine_fault_fixture.h"

namespace tpl {

namespace {
constexpr int kKilledStatus = 9;
int64_t g_endAtStep = 0;

void EndProcessAtStep(int64_t step) {
    if (step == g_endAtStep) _exit(kKilledStatus);
}
}  // namespace

class EngineKillTest : public EngineFaultTest {
protected:
    // Runs the installation in a child that ends itself right before its
    // counted operation number step; returns the child's exit status.
    int RunInChildEndingAt(int64_t step) {
        const pid_t child = fork();
        if (child == 0) {
            g_endAtStep = step;
            fault_injection::ResetCount();
            fault_injection::SetOperationHook(&EndProcessAtStep);
            const uint32_t result = RunInstall();
            _exit(result == 0 ? 0 : 1);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
};

TEST_F(EngineKillTest, EndAtEveryStepIsRecoveredAtTheNextStart) {
    int64_t operations = 0;
    TreeSnapshot installed;
    ASSERT_NO_FATAL_FAILURE(RunUnhindered(&operations, &installed));

    int recovered = 0;
    for (int64_t k = 1; k <= operations + 1; ++k) {
        BuildPopulatedTarget();
        const TreeSnapshot before = SnapshotTree(target_);
        const int status = RunInChildEndingAt(k);
        ASSERT_EQ(status, k <= operations ? kKilledStatus : 0) << "k=" << k;

        const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
        ASSERT_LE(reports.size(), 1u) << "k=" << k;
        if (!reports.empty()) {
            ++recovered;
            EXPECT_TRUE(RecoveryIsComplete(reports[0])) << "k=" << k;
            EXPECT_FALSE(reports[0].committed) << "k=" << k;
        }
        if (status == kKilledStatus)
            EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << "k=" << k;
        else
            EXPECT_EQ(DescribeDifference(installed, SnapshotTree(target_, false)), "") << "k=" << k;
        EXPECT_TRUE(BackupDirectoriesLeft().empty()) << "k=" << k;
        if (HasFailure()) break;
    }
    // Every end after the journal's first record left something to recover.
    EXPECT_GE(recovered, operations - 3);
}

}  // namespace tpl
