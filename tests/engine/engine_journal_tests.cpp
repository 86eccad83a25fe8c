// The journal of a run: what it holds while the run goes on, that nothing of
// it outlives the run, and that no kit entry can overwrite it.
#include <fstream>
#include <sstream>
#include <filesystem>
#include <sys/stat.h>
#include "journal/install_journal.h"
#include "engine_test_support.h"
#include "support/test_times.h"

namespace tpl {

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 07777;
}

// "T path" per record, paths relative to root for reading ease.
std::string Describe(const std::vector<JournalRecord>& records, const std::string& root) {
    std::string text;
    for (const JournalRecord& r : records) {
        std::string path = Narrow(r.path);
        if (path.rfind(root, 0) == 0) path = path.substr(root.size());
        text += std::string(1, r.tag) + " " + path + "\n";
    }
    return text;
}
}  // namespace

class EngineJournalTest : public EngineTest {
protected:
    // The journal of the run under way, found where the run keeps it: in its
    // one backup directory. Empty when there is no such directory.
    std::string RunningJournalPath() const {
        const std::vector<std::string> backups = BackupDirectoriesLeft();
        return backups.size() == 1 ? tmp_ + "/" + backups[0] + "/wz4sx.journal" : std::string();
    }
};

TEST_F(EngineJournalTest, EachStepIsRecordedBeforeItIsTakenAndNothingOutlivesTheRun) {
    PutFile("r.cfg", "original", kOld, 0640);
    PutFile("newer.cfg", "user's", kNew + 10);
    AgeDirectories();
    LoadKit({Entry("r.cfg", kNew, "new r"), Entry("newer.cfg", kNew, "skipped"), Entry("n\\d\\new.cfg", kNew, "deep"),
             Entry("top.cfg", kNew, "top")});

    InstallEngine engine;
    std::string journalPath, recorded;
    mode_t journalMode = 0;
    engine.SetEntryHook([&](uint32_t index) {
        if (index != 3) return;
        journalPath = RunningJournalPath();
        journalMode = ModeOf(journalPath);
        recorded = Describe(DecodeJournal(ReadWholeFile(journalPath)), target_);
    });
    ASSERT_EQ(RunInstall(engine), 0u);

    EXPECT_EQ(journalPath, tmp_ + "/wz4sx0/wz4sx.journal");
    EXPECT_EQ(journalMode, 0600u);
    EXPECT_EQ(recorded,
              "T /\n"
              // The plan, on the disk before the first change:
              "I \n"  // which directory the target is: undo enters only that one
              "N \n"  // the target's own times, before its first change
              "B /r.cfg\n"
              "D /n\n"
              "D /n/d\n"
              "F /n/d/new.cfg\n"
              "F /top.cfg\n"
              // then what the steps found:
              "M /r.cfg\n"
              "I /r.cfg\n"  // which file the run made there
              "I /n\n"  // once made: which directory it is
              "I /n/d\n");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

TEST_F(EngineJournalTest, FailedRunLeavesNeitherBackupNorJournal) {
    PutFile("r.cfg", "original", kOld);
    PutFile("blocker", "a file where a directory is needed", kOld);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);
    LoadKit({Entry("r.cfg", kNew, "new"), Entry("a/b.cfg", kNew, "b"), Entry("blocker/x", kNew, "fails")});
    InstallEngine engine;
    size_t recordsBeforeFailure = 0;
    engine.SetEntryHook([&](uint32_t index) {
        if (index == 1) recordsBeforeFailure = DecodeJournal(ReadWholeFile(RunningJournalPath())).size();
    });
    EXPECT_EQ(RunInstall(engine), ERROR_PATH_NOT_FOUND);
    EXPECT_GT(recordsBeforeFailure, 4u);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

TEST_F(EngineJournalTest, EntryNamedLikeTheJournalNeverReplacesIt) {
    // With a file of the user's there, its backup would land on the journal.
    PutFile("wz4sx.journal", "the user's", kOld);
    PutFile("sub/wz4sx.journal", "deeper is harmless", kOld);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);
    LoadKit({Entry("a.cfg", kNew, "a"), Entry("wz4sx.journal", kNew, "kit's")});
    EXPECT_EQ(RunInstall(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());

    // Below the top, or with nothing to back up, the name is an ordinary one.
    LoadKit({Entry("sub/wz4sx.journal", kNew, "kit's deeper")});
    EXPECT_EQ(RunInstall(), 0u);
    EXPECT_EQ(ReadFile(TargetPath("sub/wz4sx.journal")), "kit's deeper");
    std::remove(TargetPath("wz4sx.journal").c_str());
    LoadKit({Entry("wz4sx.journal", kNew, "kit's")});
    EXPECT_EQ(RunInstall(), 0u);
    EXPECT_EQ(ReadFile(TargetPath("wz4sx.journal")), "kit's");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

TEST_F(EngineJournalTest, ReplacedFilesKeepTheirPermissionBits) {
    PutFile("private.cfg", "old", kOld, 0600);
    PutFile("readonly.cfg", "old", kOld, 0444);
    PutFile("tool.sh", "old", kOld, 0755);
    PutFile("setid.sh", "old", kOld, 0755);
    ASSERT_EQ(chmod(TargetPath("setid.sh").c_str(), 06755), 0);
    PutFile("twice.cfg", "old", kOld, 0604);
    LoadKit({Entry("private.cfg", kNew, "new"), Entry("readonly.cfg", kNew, "new"), Entry("tool.sh", kNew, "new"),
             Entry("setid.sh", kNew, "new"), Entry("twice.cfg", kNew + 5, "second"),
             Entry("fresh.cfg", kNew, "new"), Entry("made/inner.cfg", kNew, "new")});
    const mode_t mask = umask(0);
    umask(mask);
    // The superuser installing for a user leaves the user's tree the user's.
    const bool asRoot = geteuid() == 0;
    const uid_t user = 65534;
    if (asRoot) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(target_))
            ASSERT_EQ(lchown(entry.path().c_str(), user, user), 0);
        ASSERT_EQ(chown(target_.c_str(), user, user), 0);
    }
    ASSERT_EQ(RunInstall(), 0u);
    if (asRoot) {
        for (const char* path : {"private.cfg", "twice.cfg", "fresh.cfg", "made", "made/inner.cfg"}) {
            struct stat status;
            ASSERT_EQ(lstat(TargetPath(path).c_str(), &status), 0) << path;
            EXPECT_EQ(status.st_uid, user) << path;
            EXPECT_EQ(status.st_gid, user) << path;
        }
    }

    EXPECT_EQ(ModeOf(TargetPath("private.cfg")), 0600u);
    EXPECT_EQ(ModeOf(TargetPath("readonly.cfg")), 0444u);
    EXPECT_EQ(ModeOf(TargetPath("tool.sh")), 0755u);
    EXPECT_EQ(ModeOf(TargetPath("setid.sh")), 0755u);  // new contents never inherit set-id bits
    EXPECT_EQ(ModeOf(TargetPath("twice.cfg")), 0604u);
    EXPECT_EQ(ReadFile(TargetPath("twice.cfg")), "second");
    EXPECT_EQ(ModeOf(TargetPath("fresh.cfg")), 0660u & ~mask);
    EXPECT_EQ(ReadFile(TargetPath("readonly.cfg")), "new");
}

}  // namespace tpl
