// Whoever can write the directory that holds a run's backup (a shared
// temporary directory, or the parent of a template directory on another
// file system than the temporary one) can rename the backup away and put a
// link to a private directory in its place, during the run or before the
// recovery. The run, its rollback and the recovery must keep working on
// the backup they made, and never move, import or delete what the link
// names. The swaps come at fixed steps of the run (entry and operation
// hooks), never after a delay.
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "journal/journal_recovery.h"
#include "engine_fault_fixture.h"
#include "support/tmpfs_mount.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {

// Where the run keeps its backup.
enum class Placement { Temporary, Beside };

int64_t g_swapAtOperation = 0;
std::string g_swapPath, g_swapLink;

// Renames path away and puts a link to linkTarget under its name, as the
// co-user does.
bool SwapForLink(const std::string& path, const std::string& linkTarget) {
    return ::rename(path.c_str(), (path + ".moved").c_str()) == 0 && ::symlink(linkTarget.c_str(), path.c_str()) == 0;
}

void SwapAtOperation(int64_t n) {
    if (n == g_swapAtOperation) SwapForLink(g_swapPath, g_swapLink);
}

}  // namespace

class SwappedBackupTest : public EngineTest, public ::testing::WithParamInterface<Placement> {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (GetParam() == Placement::Beside) {
            shm_ = std::make_unique<OtherTemporaryFileSystem>(root_);
            if (!shm_->made) GTEST_SKIP() << "no second file system for the temporary directory";
            setenv("TMPDIR", shm_->path.c_str(), 1);
        }
        victim_ = Path("victim");
        fsys::create_directories(victim_ + "/sub");
        Write(victim_ + "/a.cfg", "victim's a");
        Write(victim_ + "/evil.cfg", "the co-user's");
        Write(victim_ + "/sub/deep.cfg", "victim's deep");
        ASSERT_EQ(chmod(victim_.c_str(), 0700), 0);
        PutFile("a.cfg", "original a", kOld);
        PutFile("b.cfg", "original b", kOld);
        AgeDirectories();
    }
    void TearDown() override {
        fault_injection::SetOperationHook(nullptr);
        shm_.reset();
        EngineTest::TearDown();
    }
    static void Write(const std::string& path, const std::string& text) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0) << path;
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
    }
    // The one backup directory of the run, wherever the placement puts it.
    std::string BackupPath() const {
        const bool beside = GetParam() == Placement::Beside;
        const std::string where = beside ? root_ : tmp_;
        for (const auto& entry : fsys::directory_iterator(where)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(beside ? ".wz4sxbk" : "wz4sx", 0) == 0 && !entry.is_symlink()) return entry.path().string();
        }
        return std::string();
    }
    // Swaps the backup for a link to the victim after the entry done.
    void SwapAfterEntry(InstallEngine& engine, uint32_t done) {
        engine.SetEntryHook([this, done](uint32_t entry) {
            if (entry != done) return;
            const std::string backup = BackupPath();
            ASSERT_FALSE(backup.empty());
            ASSERT_TRUE(SwapForLink(backup, victim_));
        });
    }
    // A run that ends without warning after the entry done, in a child.
    void KillAfterEntry(uint32_t done) {
        const pid_t child = fork();
        if (child == 0) {
            InstallEngine engine;
            engine.SetEntryHook([done](uint32_t entry) {
                if (entry == done) _exit(9);
            });
            RunInstall(engine);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    }
    bool JournalAnywhere() const {
        for (const std::string& where : {root_, tmp_, victim_})
            for (const auto& entry : fsys::recursive_directory_iterator(where))
                if (entry.path().filename() == "wz4sx.journal") return true;
        return false;
    }

    std::unique_ptr<OtherTemporaryFileSystem> shm_;
    std::string victim_;
};

// The swap comes after the first replaced file was set aside; the second
// goes to the backup the run made, and the commit empties that one.
TEST_P(SwappedBackupTest, CommitNeverEmptiesWhatTheLinkNames) {
    LoadKit({Entry("a.cfg", kNew, "new a"), Entry("b.cfg", kNew, "new b"), Entry("c.cfg", kNew, "new c")});
    const TreeSnapshot victim = SnapshotTree(victim_);
    InstallEngine engine;
    SwapAfterEntry(engine, 0);
    EXPECT_EQ(RunInstall(engine), 0u);
    EXPECT_EQ(DescribeDifference(victim, SnapshotTree(victim_)), "");
    EXPECT_EQ(ReadFile(TargetPath("a.cfg")), "new a");
    EXPECT_EQ(ReadFile(TargetPath("b.cfg")), "new b");
    EXPECT_EQ(ReadFile(TargetPath("c.cfg")), "new c");
    EXPECT_FALSE(JournalAnywhere());
}

// The run fails after the swap: its rollback puts back both originals from
// the backup it made, and imports nothing from the link.
TEST_P(SwappedBackupTest, RollbackRestoresFromTheBackupItMadeAndImportsNothing) {
    PutFile("blocker", "a file where the kit needs a directory", kOld);
    AgeDirectories();
    LoadKit({Entry("a.cfg", kNew, "new a"), Entry("b.cfg", kNew, "new b"), Entry("blocker/x.cfg", kNew, "x")});
    const TreeSnapshot before = SnapshotTree(target_), victim = SnapshotTree(victim_);
    InstallEngine engine;
    SwapAfterEntry(engine, 0);
    EXPECT_NE(RunInstall(engine), 0u);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    EXPECT_EQ(DescribeDifference(victim, SnapshotTree(victim_)), "");
    EXPECT_FALSE(JournalAnywhere());
}

// A killed run's backup flipped to a link once the recovery has begun
// (at its first counted step): the recovery goes on with the directory it
// opened and checked, and leaves the link's tree alone.
TEST_P(SwappedBackupTest, RecoveryWorksOnlyFromTheDirectoryItChecked) {
    LoadKit({Entry("a.cfg", kNew, "new a"), Entry("b.cfg", kNew, "new b"), Entry("c.cfg", kNew, "new c")});
    const TreeSnapshot before = SnapshotTree(target_), victim = SnapshotTree(victim_);
    ASSERT_NO_FATAL_FAILURE(KillAfterEntry(1));
    g_swapPath = BackupPath();
    g_swapLink = victim_;
    ASSERT_FALSE(g_swapPath.empty());
    g_swapAtOperation = 1;
    fault_injection::ResetCount();
    fault_injection::SetOperationHook(&SwapAtOperation);
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations({Wide(target_)});
    fault_injection::SetOperationHook(nullptr);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    EXPECT_EQ(DescribeDifference(victim, SnapshotTree(victim_)), "");
    EXPECT_FALSE(JournalAnywhere());
}

// A killed run's backup renamed away by whoever can write beside it: the
// next start can neither find nor use it, and says so (once) rather than
// "nothing to recover" over a half-installed template directory.
TEST_P(SwappedBackupTest, ABackupRenamedAwayIsReportedMissing) {
    LoadKit({Entry("a.cfg", kNew, "new a"), Entry("b.cfg", kNew, "new b"), Entry("c.cfg", kNew, "new c")});
    ASSERT_NO_FATAL_FAILURE(KillAfterEntry(1));
    const std::string backup = BackupPath();
    ASSERT_FALSE(backup.empty());
    ASSERT_EQ(rename(backup.c_str(), Path("hidden").c_str()), 0);
    std::vector<RecoveryReport> reports = RecoverInterruptedInstallations({Wide(target_)});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].missing);
    EXPECT_FALSE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(Narrow(reports[0].targetDirectory), target_ + "/");
    EXPECT_NE(std::string(DescribeRecovery(reports[0]).Data()).find("which is gone"), std::string::npos);
    EXPECT_TRUE(RecoverInterruptedInstallations({Wide(target_)}).empty());
}

// The same backup left where it was made is found by the index even when
// the next start is not told the template directory (a backup beside it is
// otherwise looked for only beside the directories a start knows).
TEST_P(SwappedBackupTest, ABackupIsFoundWhereItWasMadeWithoutBeingToldTheTarget) {
    LoadKit({Entry("a.cfg", kNew, "new a"), Entry("b.cfg", kNew, "new b"), Entry("c.cfg", kNew, "new c")});
    const TreeSnapshot before = SnapshotTree(target_);
    ASSERT_NO_FATAL_FAILURE(KillAfterEntry(1));
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    EXPECT_TRUE(BackupPath().empty());
}

INSTANTIATE_TEST_SUITE_P(Placements, SwappedBackupTest, ::testing::Values(Placement::Temporary, Placement::Beside),
                         [](const ::testing::TestParamInfo<Placement>& info) {
                             return info.param == Placement::Temporary ? "InTemporaryDirectory" : "BesideTarget";
                         });

// A mount inside the template directory makes the move into the backup a
// copy. A directory below the mount swapped for a link to a private
// directory, after the run first entered it: the file set aside is the one
// in the directory the run holds, never the private one the link names.
TEST_F(EngineTest, CopyIntoTheBackupAcrossFileSystemsNeverFollowsASwappedDirectory) {
    PutDirectory("mnt");
    TmpfsMount mount(TargetPath("mnt"), "size=1m");
    if (!mount.Mounted()) GTEST_SKIP() << "mounting a file system needs root";
    PutFile("mnt/sub/a.cfg", "original a", kOld);
    PutFile("mnt/secret/a.cfg", "private a", kOld);
    ASSERT_EQ(chmod(TargetPath("mnt/secret").c_str(), 0700), 0);
    AgeDirectories();
    LoadKit({Entry("mnt/sub/x.cfg", kNew, "new x"), Entry("mnt/sub/a.cfg", kNew, "new a")});
    InstallEngine engine;
    engine.SetEntryHook([this](uint32_t entry) {
        if (entry == 0) {
            ASSERT_TRUE(SwapForLink(TargetPath("mnt/sub"), TargetPath("mnt/secret")));
        }
    });
    EXPECT_EQ(RunInstall(engine), 0u);
    EXPECT_EQ(ReadFile(TargetPath("mnt/secret/a.cfg")), "private a");
    EXPECT_EQ(ReadFile(TargetPath("mnt/sub.moved/a.cfg")), "new a");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

// The superuser installing for a user whose template directory is a link
// the user made to a directory of the superuser's: the link is not
// followed, and the directory it names is left as it was. One the superuser
// made is followed as before.
TEST_F(EngineTest, SuperuserNeverFollowsATargetLinkOfAnotherUser) {
    if (geteuid() != 0) GTEST_SKIP() << "only the superuser is refused a link";
    const std::string rootDirectory = Path("rootdir");
    fsys::create_directory(rootDirectory);
    std::ofstream(rootDirectory + "/a.cfg") << "root's own";
    fsys::remove_all(target_);
    ASSERT_EQ(symlink(rootDirectory.c_str(), target_.c_str()), 0);
    ASSERT_EQ(lchown(target_.c_str(), 65534, 65534), 0);
    const TreeSnapshot before = SnapshotTree(rootDirectory);
    LoadKit({Entry("a.cfg", kNew, "new a"), Entry("b.cfg", kNew, "new b")});
    EXPECT_EQ(RunInstall(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(rootDirectory)), "");
    EXPECT_EQ(ReadPosted(status_).code, ERROR_ACCESS_DENIED);

    ASSERT_EQ(lchown(target_.c_str(), 0, 0), 0);
    EXPECT_EQ(RunInstall(), 0u);
    EXPECT_EQ(ReadFile(rootDirectory + "/b.cfg"), "new b");
}

// Another user's interrupted run beside the template directory: the
// superuser's recovery leaves it to that user, and says so rather than
// "nothing to recover".
TEST_F(EngineTest, AnotherUsersBackupBesideTheTargetIsReportedAndLeftAlone) {
    if (geteuid() != 0) GTEST_SKIP() << "only the superuser can give a directory to another user";
    const std::string backup = Path(".wz4sxbk0");
    fsys::create_directory(backup);
    std::ofstream(backup + "/wz4sx.journal") << "T 0:\n";
    for (const std::string& path : {backup, backup + "/wz4sx.journal"}) ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(backup.c_str(), 0700), 0);
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations({Wide(target_)});
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].foreign);
    EXPECT_EQ(reports[0].foreignOwner, 65534u);
    EXPECT_FALSE(RecoveryIsComplete(reports[0]));
    EXPECT_NE(std::string(DescribeRecovery(reports[0]).Data()).find("belongs to user"), std::string::npos);
    EXPECT_TRUE(fsys::exists(backup + "/wz4sx.journal"));
}

}  // namespace tpl
