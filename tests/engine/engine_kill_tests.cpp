// A run ended without warning (as by SIGKILL or a crash) at each of its
// steps, in a child process; the next start's recovery must bring the
// template directory back exactly as it was, or leave the completed
// installation, and no backup directory may remain either way. The same
// with a power loss at each step: what had not reached the disk is lost.
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "journal/journal_recovery.h"
#include "engine_fault_fixture.h"

namespace tpl {

namespace {
constexpr int kKilledStatus = 9;
int64_t g_endAtStep = 0;
bool g_powerLoss = false;

[[noreturn]] void EndProcess(int status) {
    if (g_powerLoss) fault_injection::SimulatePowerLoss();
    _exit(status);
}

void EndProcessAtStep(int64_t step) {
    if (step == g_endAtStep) EndProcess(kKilledStatus);
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
            fault_injection::TrackUnsyncedData(g_powerLoss);
            fault_injection::ResetCount();
            fault_injection::SetOperationHook(&EndProcessAtStep);
            const uint32_t result = RunInstall();
            // A power loss right after a run that reported success must
            // still find it installed.
            EndProcess(result == 0 ? 0 : 1);
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }

    // volatileTemp: a temporary directory on another file system that the
    // power loss empties, as a reboot empties one in memory.
    void EndAtEveryStep(bool powerLoss, const std::string& volatileTemp = std::string());
};

void EngineKillTest::EndAtEveryStep(bool powerLoss, const std::string& volatileTemp) {
    g_powerLoss = powerLoss;
    if (!volatileTemp.empty()) setenv("TMPDIR", volatileTemp.c_str(), 1);
    int64_t operations = 0;
    TreeSnapshot installed;
    ASSERT_NO_FATAL_FAILURE(RunUnhindered(&operations, &installed));

    int recovered = 0;
    for (int64_t k = 1; k <= operations + 1; ++k) {
        BuildPopulatedTarget();
        const TreeSnapshot before = SnapshotTree(target_);
        const int status = RunInChildEndingAt(k);
        ASSERT_EQ(status, k <= operations ? kKilledStatus : 0) << "k=" << k;
        if (!volatileTemp.empty())
            for (const auto& entry : std::filesystem::directory_iterator(volatileTemp))
                std::filesystem::remove_all(entry.path());

        const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations({Wide(target_)});
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
        for (const auto& entry : std::filesystem::directory_iterator(root_))
            EXPECT_EQ(entry.path().filename().string().find("wz4sx"), std::string::npos) << "k=" << k;
        if (HasFailure()) break;
    }
    // Every end after the journal's first record left something to recover.
    EXPECT_GE(recovered, operations - 3);
}

TEST_F(EngineKillTest, EndAtEveryStepIsRecoveredAtTheNextStart) {
    EndAtEveryStep(false);
}

TEST_F(EngineKillTest, PowerLossAtEveryStepIsRecoveredAtTheNextStart) {
    EndAtEveryStep(true);
}

// With the temporary directory on another file system, the backup lies
// beside the target.
TEST_F(EngineKillTest, EndAtEveryStepWithTheBackupBesideTheTarget) {
    OtherTemporaryFileSystem temp(root_);
    if (!temp.made) GTEST_SKIP() << "no second file system for the temporary directory";
    setenv("TMPDIR", temp.path.c_str(), 1);
    EndAtEveryStep(false);
}

TEST_F(EngineKillTest, PowerLossWithTheTemporaryDirectoryInMemoryLosesNothing) {
    OtherTemporaryFileSystem memory(root_);
    if (!memory.made) GTEST_SKIP() << "no file system in memory for the temporary directory";
    EndAtEveryStep(true, memory.path);
}

}  // namespace tpl
