// Installation runs: what is written, skipped, backed up, recorded and posted.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include "catalog/message_catalog.h"
#include "engine/backup_removal.h"
#include "engine/install_observer.h"
#include "engine_test_support.h"
#include "fs/fault_injection.h"
#include "fs/fs_testing.h"
#include "fs/file_io.h"
#include "support/file_size_limit.h"
#include "support/test_times.h"

namespace tpl {

namespace {

std::string EngineText(const char* id) {
    return Narrow(MessageCatalog::GetText(id));
}
}  // namespace

class EngineRunTest : public EngineTest {};

// The program's one run lets the unpacked kit go once every entry is
// written (its pages need not reach the disk with the run's files); a run
// that fails before, or one whose caller reuses the kit, keeps it.
TEST_F(EngineRunTest, AKitSpentByTheRunGoesOnceEveryEntryIsWritten) {
    const auto unpackedKits = [this] {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(tmp_))
            count += entry.path().filename().string().rfind("txk", 0) == 0;
        return count;
    };
    LoadKit({Entry("a.cfg", kNew, "a"), Entry("blocker", kNew, "b")});
    PutDirectory("blocker");
    for (bool spent : {false, true}) {
        status_.PostJob(&kit_, Wide(target_ + "/"), spent);
        InstallEngine engine;
        EXPECT_EQ(engine.Run(&status_, 0), ERROR_ALREADY_EXISTS);
        EXPECT_EQ(kit_.GetFileEntryCount(), 2u);
    }
    std::filesystem::remove(TargetPath("blocker"));
    ASSERT_EQ(RunInstall(), 0u);
    EXPECT_EQ(unpackedKits(), 1);
    std::filesystem::remove(TargetPath("a.cfg"));
    std::filesystem::remove(TargetPath("blocker"));
    status_.PostJob(&kit_, Wide(target_ + "/"), true);
    InstallEngine engine;
    ASSERT_EQ(engine.Run(&status_, 0), 0u);
    EXPECT_EQ(ReadFile(TargetPath("blocker")), "b");
    EXPECT_EQ(kit_.GetFileEntryCount(), 0u);
    EXPECT_EQ(unpackedKits(), 0);
}

TEST_F(EngineRunTest, WritesMissingAndOlderFilesKeepsNewerOnesAndCommits) {
    PutFile("older.cfg", "old", kOld, 0600);
    PutFile("newer.cfg", "user's newer", kNew + 10);
    PutFile("same.cfg", "user's same", kNew);
    LoadKit({Entry("older.cfg", kNew, "kit older"), Entry("newer.cfg", kNew, "kit newer"),
             Entry("same.cfg", kNew, "kit same"), Entry("deep\\er\\new.cfg", kNew, "kit new")});

    std::vector<Posted> progress;
    InstallEngine engine;
    engine.SetEntryHook([&](uint32_t) { progress.push_back(ReadPosted(status_)); });
    ASSERT_EQ(RunInstall(engine), 0u);

    EXPECT_EQ(ReadFile(TargetPath("older.cfg")), "kit older");
    EXPECT_EQ(MtimeSeconds(TargetPath("older.cfg")), kNew);
    EXPECT_EQ(ReadFile(TargetPath("newer.cfg")), "user's newer");
    EXPECT_EQ(ReadFile(TargetPath("same.cfg")), "user's same");
    EXPECT_EQ(ReadFile(TargetPath("deep/er/new.cfg")), "kit new");
    EXPECT_TRUE(BackupDirectoriesLeft().empty());

    // Skipped entries still post their line; percent is i * 100 / N.
    ASSERT_EQ(progress.size(), 4u);
    const int32_t percents[] = {0, 25, 50, 75};
    const char* names[] = {"older.cfg", "newer.cfg", "same.cfg", "deep/er/new.cfg"};
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].code, 0u);
        EXPECT_EQ(progress[i].percent, percents[i]);
        EXPECT_EQ(progress[i].text, TargetPath(names[i]));
    }
    const Posted final = ReadPosted(status_);
    EXPECT_EQ(final.code, 0u);
    EXPECT_EQ(final.percent, 100);
    EXPECT_EQ(final.text, "Copying complete...");

    const InstallTransaction& done = engine.Top();
    ASSERT_EQ(done.createdDirectories.size(), 2u);
    EXPECT_EQ(Narrow(done.createdDirectories[0]), TargetPath("deep"));
    EXPECT_EQ(Narrow(done.createdDirectories[1]), TargetPath("deep/er"));
}

TEST_F(EngineRunTest, FailureAtSixthOfTenPostsFiftyAndRemovesWhatTheRunAdded) {
    PutFile("keep/replaced.cfg", "original", kOld, 0640);
    PutFile("blocker", "a file where the kit wants a directory", kOld);
    PutDirectory("keep/empty", 0750);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);

    std::vector<KitMemoryEntry> entries = {Entry("a.cfg", kNew, "a"),
                                           Entry("n1\\n2\\b.cfg", kNew, "b"),
                                           Entry("keep\\replaced.cfg", kNew, "new"),
                                           Entry("keep/empty/c.cfg", kNew, "c"),
                                           Entry("n1/n3/d.cfg", kNew, "d"),
                                           Entry("blocker/e.cfg", kNew, "e"),
                                           Entry("f.cfg", kNew, "f"),
                                           Entry("g.cfg", kNew, "g"),
                                           Entry("h.cfg", kNew, "h"),
                                           Entry("i.cfg", kNew, "i")};
    LoadKit(entries);
    EXPECT_EQ(RunInstall(), ERROR_PATH_NOT_FOUND);

    const Posted final = ReadPosted(status_);
    EXPECT_EQ(final.code, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(final.percent, 50);
    EXPECT_EQ(final.text, EngineText("IDS_INSTALL_ERROR"));
    // The box adds where it failed and why, in the system's words.
    EXPECT_EQ(Narrow(status_.ReadFailureDetail()), TargetPath("blocker/e.cfg") + "\nNot a directory");
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    EXPECT_TRUE(Exists(target_));
    EXPECT_TRUE(Exists(tmp_));
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

TEST_F(EngineRunTest, BackupDirectoryTakesTheFirstFreeNumber) {
    ASSERT_EQ(mkdir((tmp_ + "/wz4sx0").c_str(), 0700), 0);
    { std::ofstream(tmp_ + "/wz4sx1") << "x"; }
    PutFile("r.cfg", "old", kOld);
    LoadKit({Entry("r.cfg", kNew, "new")});

    std::string backupSeen;
    InstallEngine engine;
    engine.SetEntryHook([&](uint32_t) { backupSeen = Narrow(engine.Top().backupDirectory); });
    ASSERT_EQ(RunInstall(engine), 0u);
    EXPECT_EQ(backupSeen, tmp_ + "/wz4sx2/");
    // The backup held the replaced file while the run went on.
    EXPECT_EQ(BackupDirectoriesLeft().size(), 2u);
    EXPECT_FALSE(Exists(tmp_ + "/wz4sx2"));
}

// A run that finds every file as new as the kit's (an empty kit, or the
// same kit again) changes nothing: no backup, no journal, no sync of the
// file system, no directory time touched.
TEST_F(EngineRunTest, ARunWithNothingToDoMakesNoBackupNoJournalAndNoSync) {
    for (const bool empty : {true, false}) {
        SCOPED_TRACE(empty ? "empty kit" : "the same kit again");
        LoadKit(empty ? std::vector<KitMemoryEntry>{}
                      : std::vector<KitMemoryEntry>{Entry("a.cfg", 1600000000, "alpha"),
                                                    Entry("sub\\b.cfg", 1600000000, "beta")});
        if (!empty) {
            ASSERT_EQ(RunInstall(), 0u);
        }
        AgeDirectories();
        const TreeSnapshot before = SnapshotTree(target_);
        fault_injection::ResetCount();
        InstallEngine engine;
        ASSERT_EQ(RunInstall(engine), 0u);
        EXPECT_EQ(fault_injection::CountedOperations(), 0);
        EXPECT_TRUE(engine.Top().backupDirectory.Empty());
        const Posted final = ReadPosted(status_);
        EXPECT_EQ(final.code, 0u);
        EXPECT_EQ(final.percent, 100);
        EXPECT_TRUE(BackupDirectoriesLeft().empty());
        EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
    }
    // One entry to write, and the run is a transaction again.
    LoadKit({Entry("a.cfg", 1700000000, "newer")});
    InstallEngine engine;
    ASSERT_EQ(RunInstall(engine), 0u);
    EXPECT_FALSE(engine.Top().backupDirectory.Empty());
    EXPECT_EQ(ReadFile(TargetPath("a.cfg")), "newer");
}

// The same destination twice in one kit (once through "\", once through
// "/"): which entry is installed would depend on the order, and the second
// would set aside the first as if it were the user's. The kit is refused as
// damaged before anything changes.
TEST_F(EngineRunTest, SameDestinationTwiceIsRefusedBeforeAnyChange) {
    PutFile("dir/f.cfg", "user's original", kOld, 0600);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);
    EXPECT_EQ(TryLoadKit({Entry("dir\\f.cfg", kNew, "first"), Entry("dir/./f.cfg", kNew + 5, "second")}),
              ERROR_INVALID_DATA);
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
}

TEST_F(EngineRunTest, RefusesNamesThatLeaveTheTargetAndDirectoriesInTheWay) {
    PutFile("a.cfg", "user's", kOld);
    PutDirectory("conf.d");
    PutFile("conf.d/inner", "inside", kOld);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);

    const std::pair<const char*, uint32_t> cases[] = {
        {"..\\escaped.cfg", ERROR_INVALID_DATA},
        {"sub/../../escaped.cfg", ERROR_INVALID_DATA},
        {"\\", ERROR_INVALID_DATA},
        {"conf.d", ERROR_ALREADY_EXISTS},
    };
    for (const auto& [name, code] : cases) {
        // The kit loader may already refuse such a name; if it lets one
        // through, the engine must.
        if (TryLoadKit({Entry("a.cfg", kNew, "kit"), Entry(name, kNew, "evil")}) == 0) {
            EXPECT_EQ(RunInstall(), code) << name;
        }
        EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << name;
        EXPECT_FALSE(Exists(root_ + "/escaped.cfg")) << name;
    }
}

// A dangling link is invisible to a plain existence test; writing through it
// would create a file outside the template directory.
TEST_F(EngineRunTest, DanglingLinkIsReplacedNotWrittenThrough) {
    const std::string outside = root_ + "/outside.cfg";
    ASSERT_EQ(symlink(outside.c_str(), TargetPath("link.cfg").c_str()), 0);
    PutFile("blocker", "x", kOld);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);

    LoadKit({Entry("link.cfg", kNew, "kit"), Entry("blocker/x", kNew, "fails")});
    EXPECT_NE(RunInstall(), 0u);
    EXPECT_FALSE(Exists(outside));
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");

    LoadKit({Entry("link.cfg", kNew, "kit")});
    ASSERT_EQ(RunInstall(), 0u);
    EXPECT_FALSE(Exists(outside));
    EXPECT_FALSE(std::filesystem::is_symlink(TargetPath("link.cfg")));
    EXPECT_EQ(ReadFile(TargetPath("link.cfg")), "kit");
}

namespace {
// The first step of the second entry that can fail does, once the first
// entry is in place.
void FailTheSecondEntry(InstallEngine& engine) {
    engine.SetEntryHook([](uint32_t index) {
        if (index == 0) fault_injection::FailOperationAt(1);
    });
}
}  // namespace

namespace {
// Fails a call of its own when told of a failed entry, as a log whose file
// cannot be written would: the thread's last error then holds that call's.
class FailingAfterAFailedEntry : public InstallObserver {
public:
    void EntryHandled(const WideString&, EntryAction, uint32_t code, int systemError) override {
        if (code == 0) return;
        told = systemError;
        FileHandle log = INVALID_FILE_HANDLE;
        later = FileOpen(u"/nonexistent/log", GENERIC_READ, 0, OPEN_EXISTING, &log, 0);
    }
    void DirectoryCreated(const WideString&) override {}
    void Committed() override {}
    void RolledBackStep(RollbackStep, const WideString&, bool) override {}
    void RolledBack(uint32_t, bool) override {}
    int told = -1;
    uint32_t later = 0;
};
}  // namespace

TEST_F(EngineRunTest, AFailureIsReportedWithTheReasonOfTheStepThatFailedNotOfACallAfterIt) {
    LoadKit({Entry("a.cfg", kNew, "a"), Entry("b.cfg", kNew, "b")});
    InstallEngine engine;
    FailingAfterAFailedEntry observer;
    engine.SetObserver(&observer);
    engine.SetEntryHook([](uint32_t index) {
        if (index == 0) fault_injection::FailOperationAt(1, ENOSPC);
    });
    EXPECT_EQ(RunInstall(engine), ERROR_DISK_FULL);
    fault_injection::FailOperationAt(0);
    EXPECT_EQ(observer.told, ENOSPC);
    EXPECT_EQ(observer.later, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadPosted(status_).text, EngineText("IDS_ERROR_DISKFULL"));
    EXPECT_EQ(Narrow(status_.ReadFailureDetail()), TargetPath("b.cfg") + "\n" + std::strerror(ENOSPC));

    // A copy that fails on a helper thread, while the run goes on, is told
    // as its own entry's failure with the system's reason, and undone: with
    // a few entries, and with more than the helpers' queue holds before and
    // after it (the run waits for room, files after the failure are made but
    // never filled), into an empty target and over older files of the user;
    // and the same where one core leaves the run to copy every file itself.
    const auto nameOf = [](size_t i) { return "d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".cfg"; };
    for (const uint32_t helpers : {0u, 2u}) {
        for (const size_t count : {3, 300}) {
            for (const bool upgrade : {false, true}) {
                SCOPED_TRACE(std::to_string(count) + (upgrade ? " entries over older files, " : " entries, ") +
                             std::to_string(helpers) + " helpers");
                std::filesystem::remove_all(target_);
                PutDirectory("");
                const size_t failing = count / 2;
                std::vector<KitMemoryEntry> list;
                for (size_t i = 0; i < count; ++i) {
                    list.push_back(i == failing ? Entry("d0/big.bin", kNew, std::string(300000, 'b'))
                                                : Entry(nameOf(i), kNew, "new " + std::to_string(i)));
                    if (upgrade && i != failing) PutFile(nameOf(i), "user's " + std::to_string(i), kOld);
                }
                const TreeSnapshot before = SnapshotTree(target_);
                LoadKit(list);
                InstallEngine copying;
                copying.SetCopyHelpers(helpers);
                FailingAfterAFailedEntry told;
                copying.SetObserver(&told);
                {
                    FileSizeLimit limit(100000);
                    EXPECT_NE(RunInstall(copying), 0u);
                }
                EXPECT_EQ(told.told, EFBIG);
                EXPECT_EQ(Narrow(status_.ReadFailureDetail()), TargetPath("d0/big.bin") + "\n" + std::strerror(EFBIG));
                EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
                EXPECT_TRUE(BackupDirectoriesLeft().empty());
                // Without the limit the same run writes every entry whole.
                InstallEngine whole;
                whole.SetCopyHelpers(helpers);
                ASSERT_EQ(RunInstall(whole), 0u);
                for (size_t i = 0; i < count; ++i) {
                    if (i == failing) continue;
                    EXPECT_EQ(ReadFile(TargetPath(nameOf(i))), "new " + std::to_string(i));
                }
                EXPECT_EQ(ReadFile(TargetPath("d0/big.bin")), std::string(300000, 'b'));
            }
        }
    }
}

TEST_F(EngineRunTest, MissingTargetIsCreatedAndRemovedAgainOnFailureButEmptyTargetIsRefused) {
    target_ = root_ + "/not/yet";
    LoadKit({Entry("a.cfg", kNew, "a"), Entry("sub/b.cfg", kNew, "fails")});
    InstallEngine failing;
    FailTheSecondEntry(failing);
    EXPECT_NE(RunInstall(failing), 0u);
    fault_injection::FailOperationAt(0);
    EXPECT_FALSE(Exists(root_ + "/not"));
    EXPECT_TRUE(BackupDirectoriesLeft().empty());

    status_.PostJob(&kit_, WideString());
    InstallEngine engine;
    EXPECT_EQ(engine.Run(&status_, 0), ERROR_PATH_NOT_FOUND);
    uint32_t code = 0;
    status_.ReadStatus(&code, nullptr, nullptr);
    EXPECT_EQ(code, ERROR_PATH_NOT_FOUND);
}

// In the kit's entry names "\\" separates directories; in the target it is
// a character of the name, as the file system has it.
TEST_F(EngineRunTest, ABackslashSeparatesOnlyInEntryNames) {
    LoadKit({Entry("x\\y.cfg", kNew, "y")});
    status_.PostJob(&kit_, Wide(target_ + "/a\\b"));
    InstallEngine engine;
    ASSERT_EQ(engine.Run(&status_, 0), 0u);
    EXPECT_EQ(ReadFile(TargetPath("a\\b/x/y.cfg")), "y");
    EXPECT_FALSE(Exists(TargetPath("a")));
}

TEST_F(EngineRunTest, RelativeTargetOfOneComponentIsCreatedInTheCurrentDirectory) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(root_.c_str()), 0);
    LoadKit({Entry("a.cfg", kNew, "a"), Entry("sub/b.cfg", kNew, "fails")});
    status_.PostJob(&kit_, u"rel");
    InstallEngine failing;
    FailTheSecondEntry(failing);
    EXPECT_NE(failing.Run(&status_, 0), 0u);
    fault_injection::FailOperationAt(0);
    EXPECT_FALSE(Exists(root_ + "/rel"));

    LoadKit({Entry("a.cfg", kNew, "a")});
    status_.PostJob(&kit_, u"rel");
    InstallEngine engine;
    EXPECT_EQ(engine.Run(&status_, 0), 0u);
    EXPECT_EQ(ReadFile(root_ + "/rel/a.cfg"), "a");
    ASSERT_EQ(chdir(saved), 0);
}

TEST_F(EngineRunTest, ADestinationBeyondThePathLimitFailsBeforeAnythingIsWritten) {
    // Each name fits on its own; below this target the second does not.
    const std::string deep = root_ + "/" + std::string(200, 'd') + "/" + std::string(200, 'e');
    std::string longName;
    for (int i = 0; i < 16; ++i) longName += (i > 0 ? "\\" : "") + std::string(240, static_cast<char>('a' + i));
    target_ = deep + "/target";
    LoadKit({Entry("a.cfg", kNew, "a"), Entry(longName, kNew, "too deep")});
    EXPECT_EQ(RunInstall(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_FALSE(Exists(root_ + "/" + std::string(200, 'd')));
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
    uint32_t code = 0;
    status_.ReadStatus(&code, nullptr, nullptr);
    EXPECT_EQ(code, ERROR_FILENAME_EXCED_RANGE);
}

// What a committed run set aside goes, directories and links included, with
// more files than workers, no helper at all and more workers than files; but
// never what a link in it names (one in place of a directory too), and the
// journal stays for its own removal.
TEST_F(EngineRunTest, EmptyingTheBackupNeverFollowsALink) {
    for (uint32_t workers : {kBackupRemovalWorkers, 0u, 64u}) {
        PutFile("outside/kept.cfg", "user's", kOld);
        for (int i = 0; i < 23; ++i) PutFile("b/d" + std::to_string(i % 3) + "/e/f" + std::to_string(i), "x", kOld);
        for (const char* file : {"b/f1", "b/d/f2", "b/d/e/f3", "b/journal"}) PutFile(file, "x", kOld);
        PutDirectory("b/empty");
        ASSERT_EQ(symlink(TargetPath("outside").c_str(), TargetPath("b/d/link").c_str()), 0);
        ASSERT_EQ(symlink(TargetPath("outside").c_str(), TargetPath("b/d1/e/lnk").c_str()), 0);
        UniqueFileHandle held;
        ASSERT_EQ(OpenDirectoryBeneath(Wide(TargetPath("b")), WideString(), &held), 0u);
        EmptyDirectoryConcurrently(held.Get(), u"journal", workers);
        EXPECT_EQ(SnapshotTree(TargetPath("b"), false).size(), 1u) << workers;
        EXPECT_EQ(ReadFile(TargetPath("b/journal")), "x");
        EXPECT_EQ(ReadFile(TargetPath("outside/kept.cfg")), "user's");
        std::filesystem::remove_all(TargetPath("b"));
    }
}

TEST_F(EngineRunTest, AnUpgradeOfManyFilesCommitsWithoutABackupLeft) {
    std::vector<KitMemoryEntry> entries;
    for (int i = 0; i < 40; ++i) {
        const std::string dir = "dir" + std::to_string(i % 5) + (i % 2 ? "/deep/er" : "");
        PutFile(dir + "/t" + std::to_string(i) + ".cfg", "user's old " + std::to_string(i), kOld);
        entries.push_back(Entry(dir + "/t" + std::to_string(i) + ".cfg", kNew, "kit " + std::to_string(i)));
    }
    LoadKit(entries);
    ASSERT_EQ(RunInstall(), 0u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(ReadFile(TargetPath("dir" + std::to_string(i % 5) + (i % 2 ? "/deep/er" : "") + "/t" +
                                      std::to_string(i) + ".cfg")),
                  "kit " + std::to_string(i));
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

}  // namespace tpl
