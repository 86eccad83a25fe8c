// Every counted file operation of a run is made to fail in turn, and runs
// are ended by exceptions: each time the template directory must come back
// exactly, and no backup may remain.
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <sys/stat.h>
#include <new>
#include <stdexcept>
#include <utility>
#include "journal/journal_recovery.h"
#include "engine_fault_fixture.h"

namespace tpl {


// Fails each counted operation of a run in turn, passes times over: with
// EIO, then a full disk (undo must never need room that it has not freed),
// with copy helpers, then without (one core: the run copies each file).
void EngineFaultTest::FailEveryOperation(int64_t passes) {
    DisarmFaults disarm;
    int64_t operations = 0;
    TreeSnapshot installed;
    ASSERT_NO_FATAL_FAILURE(RunUnhindered(&operations, &installed));

    int failedRuns = 0;
    for (int64_t step = 1; step <= passes * operations; ++step) {
        const int64_t k = (step - 1) % operations + 1;
        const int err = (step - 1) / operations % 2 == 0 ? EIO : ENOSPC;
        const uint32_t helpers = step <= 2 * operations ? 2 : 0;
        SCOPED_TRACE(std::string(err == EIO ? "EIO, " : "ENOSPC, ") + std::to_string(helpers) + " helpers");
        BuildPopulatedTarget();
        const TreeSnapshot before = SnapshotTree(target_);
        fault_injection::FailOperationAt(k, err);
        InstallEngine engine;
        engine.SetCopyHelpers(helpers);
        const uint32_t result = RunInstall(engine);
        fault_injection::FailOperationAt(0);

        uint32_t posted = 0;
        status_.ReadStatus(&posted, nullptr, nullptr);
        EXPECT_EQ(posted, result) << "k=" << k;
        if (result != 0) {
            ++failedRuns;
            EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << "k=" << k;
        } else {
            // A fault the engine could work around must not change the outcome.
            EXPECT_EQ(DescribeDifference(installed, SnapshotTree(target_, false)), "") << "k=" << k;
        }
        EXPECT_TRUE(BackupDirectoriesLeft().empty()) << "k=" << k;
        for (const auto& entry : std::filesystem::directory_iterator(root_))
            EXPECT_EQ(entry.path().filename().string().find("wz4sx"), std::string::npos) << "k=" << k << " " << entry.path().filename();
        if (HasFailure()) break;
    }
    EXPECT_GT(failedRuns, passes / 2 * operations);
    RecordProperty("operations", static_cast<int>(operations));
    RecordProperty("failedRuns", failedRuns);
}

TEST_F(EngineFaultTest, EveryFailedOperationLeavesTheTargetAsBefore) {
    FailEveryOperation(4);
}

TEST_F(EngineFaultTest, EveryFailedOperationWithTheBackupBesideTheTarget) {
    OtherTemporaryFileSystem temp(root_);
    if (!temp.made) GTEST_SKIP() << "no second file system for the temporary directory";
    setenv("TMPDIR", temp.path.c_str(), 1);
    FailEveryOperation(2);
}

// When putting a replaced file back fails, the backup directory is the only
// place that still holds it: it must be kept, never removed.
TEST_F(EngineFaultTest, FailedRestoreKeepsTheBackupWithTheUsersFile) {
    DisarmFaults disarm;
    LoadKit({Entry("r.cfg", kNew, "new"), Entry("added.cfg", kNew, "added"), Entry("blocker/x", kNew, "fails")});
    auto build = [&] {
        std::filesystem::remove_all(target_);
        std::filesystem::create_directory(target_);
        PutFile("r.cfg", "original", kOld);
        PutFile("blocker", "x", kOld);
    };
    build();
    fault_injection::ResetCount();
    ASSERT_NE(RunInstall(), 0u);
    const int64_t operations = fault_injection::CountedOperations();

    int keptBackups = 0;
    for (int64_t k = 1; k <= operations; ++k) {
        build();
        fault_injection::FailOperationAt(k);
        EXPECT_NE(RunInstall(), 0u) << "k=" << k;
        fault_injection::FailOperationAt(0);
        const std::vector<std::string> left = BackupDirectoriesLeft();
        if (ReadFile(TargetPath("r.cfg")) == "original") {
            EXPECT_TRUE(left.empty()) << "k=" << k;
            continue;
        }
        ++keptBackups;
        ASSERT_EQ(left.size(), 1u) << "k=" << k;
        EXPECT_EQ(ReadFile(tmp_ + "/" + left[0] + "/r.cfg"), "original") << "k=" << k;
        // The journal stays with it, so the next start puts the file home,
        // and only that: the path the run had added is not the run's any more.
        ASSERT_FALSE(Exists(TargetPath("added.cfg")));
        PutFile("added.cfg", "made since", kOld);
        const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
        ASSERT_EQ(reports.size(), 1u) << "k=" << k;
        EXPECT_EQ(reports[0].restoredFiles, 1u);
        EXPECT_EQ(reports[0].removedFiles, 0u);
        EXPECT_EQ(ReadFile(TargetPath("r.cfg")), "original");
        EXPECT_EQ(ReadFile(TargetPath("added.cfg")), "made since");
        EXPECT_TRUE(BackupDirectoriesLeft().empty());
    }
    EXPECT_EQ(keptBackups, 1);
}

namespace {
// Makes a directory immutable (nothing in it can be added, removed or
// renamed, not even by the superuser), or lets it go again. False where
// the file system or the process cannot.
bool SetImmutable(const std::string& path, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return done;
}
}  // namespace

// A new directory of the run made immutable before a cancel: its files and
// itself cannot be removed. The rollback says so, keeps them in the journal,
// and the next start removes exactly them (not a file someone makes since
// under a name the rollback did remove) and says how many.
TEST_F(EngineFaultTest, AdditionsThatCannotBeRemovedAreKeptForTheNextStart) {
    PutFile("r.cfg", "original", kOld);
    PutDirectory("blocker");
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_, false);
    LoadKit({Entry("r.cfg", kNew, "new"), Entry("gone.cfg", kNew, "run's"), Entry("locked/a.cfg", kNew, "run's"),
             Entry("locked/b.cfg", kNew, "run's"), Entry("blocker", kNew, "fails")});
    InstallEngine engine;
    bool immutable = false;
    engine.SetEntryHook([&](uint32_t done) {
        if (done == 3) immutable = SetImmutable(TargetPath("locked"), true);
    });
    ASSERT_EQ(RunInstall(engine), ERROR_ALREADY_EXISTS);
    if (!immutable) GTEST_SKIP() << "this file system or process cannot make a directory immutable";
    EXPECT_EQ(ReadFile(TargetPath("r.cfg")), "original");
    EXPECT_EQ(BackupDirectoriesLeft().size(), 1u);
    // A name the rollback did free is someone else's from now on.
    PutFile("gone.cfg", "made since", kOld);
    std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].unremovedFiles, 2u);
    EXPECT_FALSE(RecoveryIsComplete(reports[0]));
    EXPECT_NE(std::string(DescribeRecovery(reports[0]).Data()).find("2 added files and"), std::string::npos);
    ASSERT_TRUE(SetImmutable(TargetPath("locked"), false));
    reports = RecoverInterruptedInstallations();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(reports[0].removedFiles, 2u);
    EXPECT_EQ(reports[0].removedDirectories, 1u);
    EXPECT_EQ(ReadFile(TargetPath("gone.cfg")), "made since");
    std::filesystem::remove(TargetPath("gone.cfg"));
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_, false)), "");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

// An exception ends the run with a rollback; only a failed allocation is
// reported as a lack of memory.
TEST_F(EngineFaultTest, ThrowingRunIsRolledBackWithItsOwnCode) {
    PutFile("a.cfg", "user's", kOld, 0600);
    AgeDirectories();
    LoadKit({Entry("a.cfg", kNew, "new a"), Entry("n/b.cfg", kNew, "new b")});
    const TreeSnapshot before = SnapshotTree(target_);
    const std::pair<std::function<void()>, uint32_t> cases[] = {
        {[] { throw std::bad_alloc(); }, ERROR_NOT_ENOUGH_MEMORY},
        {[] { throw std::length_error("basic_string"); }, ERROR_INVALID_PARAMETER},
    };
    for (const auto& [raise, expected] : cases) {
        InstallEngine engine;
        engine.SetEntryHook([&](uint32_t index) {
            if (index == 1) raise();
        });
        EXPECT_EQ(RunInstall(engine), expected);
        uint32_t code = 0;
        status_.ReadStatus(&code, nullptr, nullptr);
        EXPECT_EQ(code, expected);
        EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << expected;
        EXPECT_TRUE(BackupDirectoriesLeft().empty()) << expected;
    }
}

}  // namespace tpl
