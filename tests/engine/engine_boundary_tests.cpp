// What a run must leave alone: another installation into the same
// directory, files that others put into directories the run made, trees
// behind links that replaced such directories, special files at a
// destination, and names planted in a shared temporary directory.
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "catalog/message_catalog.h"
#include "fs/user_names.h"
#include "engine_test_support.h"
#include "journal/journal_recovery.h"
#include "support/test_times.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {
void Write(const std::string& path, const std::string& text) {
    fsys::create_directories(fsys::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Another process's lock on a directory (an open file description of its own).
struct HeldLock {
    explicit HeldLock(const std::string& directory) : fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY)) {
        EXPECT_GE(fd, 0) << directory;
        EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << directory;
    }
    ~HeldLock() {
        if (fd >= 0) close(fd);
    }
    int fd;
};

}  // namespace

class EngineBoundaryTest : public EngineTest {
protected:
    // Runs the installation in a child that ends without any clean-up
    // right after entry `index`, once `atEnd` has run there.
    void RunInChildEndingAfter(uint32_t index, const std::function<void()>& atEnd) {
        const pid_t child = fork();
        if (child == 0) {
            InstallEngine engine;
            engine.SetEntryHook([&](uint32_t done) {
                if (done != index) return;
                atEnd();
                _exit(9);
            });
            RunInstall(engine);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
    }

    // Someone changes the tree right after entry `index`, and the kit then
    // fails; both ways of undoing must leave what check looks at: the rollback
    // of the failed run, and, after reset clears the first round, the
    // recovery of a run that ended at that point (ended looks at the tree
    // that run left).
    void UndoBothWays(
        uint32_t index, const std::function<void()>& change, const std::function<void()>& reset,
        const std::function<void(const char*)>& check, const std::function<void()>& ended = [] {}) {
        InstallEngine engine;
        engine.SetEntryHook([&](uint32_t done) {
            if (done == index) change();
        });
        EXPECT_EQ(RunInstall(engine), ERROR_ALREADY_EXISTS);
        check("rollback");

        reset();
        RunInChildEndingAfter(index, change);
        ended();
        EXPECT_EQ(RecoverInterruptedInstallations().size(), 1u);
        check("recovery");
    }
};

TEST_F(EngineBoundaryTest, RunIntoADirectoryAnotherRunOverlapsIsRefusedBeforeAnyChange) {
    PutFile("user.cfg", "user's", kOld);
    PutDirectory("sub");
    AgeDirectories();
    LoadKit({Entry("user.cfg", kNew, "kit"), Entry("n/new.cfg", kNew, "new")});
    const std::string real = fsys::canonical(root_).string();
    const struct {
        std::string held, target, busy;  // busy: as the refusal names it
    } cases[] = {
        {target_, target_, target_ + "/"},
        {root_, target_, real},
        {target_ + "/sub", target_, real + "/target/sub"},
        {target_ + "/sub/not/yet", target_, real + "/target/sub/not/yet"},
        // A target that does not exist yet is guarded all the same.
        {root_, root_ + "/made/later", real},
        {root_ + "/made/later/deeper", root_ + "/made/later", real + "/made/later/deeper"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held + " held, into " + c.target);
        DirectoryLock other;
        WideString locked;
        ASSERT_EQ(other.LockNearest(Wide(c.held), &locked), 0u);
        const TreeSnapshot before = SnapshotTree(root_);
        status_.PostJob(&kit_, Wide(c.target + "/"));
        InstallEngine engine;
        EXPECT_EQ(engine.Run(&status_, 0), ERROR_LOCK_VIOLATION);
        const Posted posted = ReadPosted(status_);
        EXPECT_EQ(posted.code, ERROR_LOCK_VIOLATION);
        EXPECT_EQ(posted.text, Narrow(MessageCatalog::GetText("IDS_ERROR_TARGETBUSY")) + " " + c.busy);
        EXPECT_EQ(DescribeDifference(before, SnapshotTree(root_)), "");
    }
    {
        HeldLock otherUser(target_);  // a run of another user meets on the directory itself
        EXPECT_EQ(RunInstall(), ERROR_LOCK_VIOLATION);
        // The wizard's box names the holder below the directory.
        EXPECT_EQ(Narrow(status_.ReadFailureDetail()),
                  target_ + "/\nheld by process " + std::to_string(getpid()) + " of user " + UserName(geteuid()));
    }
    // New siblings leave each other alone, as do runs whose holders have gone.
    DirectoryLock sibling;
    WideString locked;
    ASSERT_EQ(sibling.LockNearest(Wide(root_ + "/cc/t1"), &locked), 0u);
    status_.PostJob(&kit_, Wide(root_ + "/cc/t2/"));
    InstallEngine engine;
    EXPECT_EQ(engine.Run(&status_, 0), 0u);
    EXPECT_EQ(ReadFile(root_ + "/cc/t2/n/new.cfg"), "new");
    EXPECT_EQ(RunInstall(), 0u);
}

TEST_F(EngineBoundaryTest, RunningInstallationHoldsItsTargetEvenOneItMade) {
    LoadKit({Entry("a.cfg", kNew, "a"), Entry("b.cfg", kNew, "b")});
    for (const std::string& target : {target_, root_ + "/fresh/deeper"}) {
        SCOPED_TRACE(target);
        uint32_t second = 0;
        TreeSnapshot duringFirst, afterSecond;
        InstallEngine first;
        first.SetEntryHook([&](uint32_t index) {
            if (index != 0) return;
            duringFirst = SnapshotTree(root_);
            InstallStatus status;
            status.Init();
            status.PostJob(&kit_, Wide(target));
            InstallEngine other;
            second = other.Run(&status, 0);
            afterSecond = SnapshotTree(root_);
        });
        status_.PostJob(&kit_, Wide(target));
        EXPECT_EQ(first.Run(&status_, 0), 0u);
        EXPECT_EQ(second, ERROR_LOCK_VIOLATION);
        EXPECT_EQ(DescribeDifference(duringFirst, afterSecond), "");
        // Made under a private name: nothing of that name is left.
        for (const auto& entry : fsys::directory_iterator(root_))
            EXPECT_EQ(entry.path().filename().string().rfind(".wz4sx", 0), std::string::npos);
        EXPECT_EQ(ReadFile(target + "/b.cfg"), "b");
    }
}

TEST_F(EngineBoundaryTest, RecoveryWaitsWhileAnotherInstallationHoldsTheTarget) {
    PutFile("old.cfg", "original", kOld);
    AgeDirectories();
    LoadKit({Entry("old.cfg", kNew, "new"), Entry("n/a.cfg", kNew, "a"), Entry("z.cfg", kNew, "z")});
    const TreeSnapshot before = SnapshotTree(target_);
    RunInChildEndingAfter(1, [] {});
    const TreeSnapshot interrupted = SnapshotTree(target_);
    {
        HeldLock other(target_);
        const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_TRUE(reports[0].busy);
        EXPECT_FALSE(RecoveryIsComplete(reports[0]));
        EXPECT_EQ(DescribeDifference(interrupted, SnapshotTree(target_)), "");
    }
    const std::vector<RecoveryReport> reports = RecoverInterruptedInstallations();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(RecoveryIsComplete(reports[0]));
    EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
}

// Files that someone else put into directories the run made stay, with the
// directories that hold them; the run's own files go.
TEST_F(EngineBoundaryTest, RollbackAndRecoveryRemoveOnlyWhatTheRunMade) {
    LoadKit({Entry("new/a.cfg", kNew, "a"), Entry("new/sub/b.cfg", kNew, "b"), Entry("new/gone/c.cfg", kNew, "c"),
             Entry("blocker", kNew, "fails: a directory stands there")});
    PutDirectory("blocker");
    const auto addForeign = [this] {
        Write(TargetPath("new/foreign.txt"), "someone else's");
        Write(TargetPath("new/sub/other/x"), "x");
    };
    const auto check = [this](const char* how) {
        SCOPED_TRACE(how);
        EXPECT_EQ(ReadFile(TargetPath("new/foreign.txt")), "someone else's");
        EXPECT_EQ(ReadFile(TargetPath("new/sub/other/x")), "x");
        EXPECT_FALSE(Exists(TargetPath("new/a.cfg")));
        EXPECT_FALSE(Exists(TargetPath("new/sub/b.cfg")));
        EXPECT_FALSE(Exists(TargetPath("new/gone")));
        EXPECT_TRUE(BackupDirectoriesLeft().empty());
    };
    UndoBothWays(
        2, addForeign, [this] { fsys::remove_all(TargetPath("new")); }, check);
}

// What someone puts where the plan meant to add or replace a file, after the
// plan and before the run gets there, decides as it would have in the plan
// (a newer file is kept, a pipe blocks the run); either way it is theirs,
// and the rollback leaves it.
TEST_F(EngineBoundaryTest, WhatTakesAPlannedNameMeanwhileOutlivesTheRollback) {
    const struct {
        const char* name;
        bool planned_replace;  // an older file stood there when the run began
        std::function<void(const std::string&)> put;
    } cases[] = {
        {"newer.cfg", false, [this](const std::string&) { PutFile("newer.cfg", "someone else's", kNew + 100); }},
        {"renewed.cfg", true, [this](const std::string&) { PutFile("renewed.cfg", "renewed", kNew + 100); }},
        {"pipe.cfg", false, [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0640), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fsys::remove_all(TargetPath(c.name));
        if (c.planned_replace) PutFile(c.name, "user's", kOld);
        LoadKit({Entry("first.cfg", kNew, "first"), Entry(c.name, kNew, "kit"), Entry("blocker", kNew, "fails")});
        PutDirectory("blocker");
        InstallEngine engine;
        engine.SetEntryHook([&](uint32_t done) {
            if (done == 0) c.put(TargetPath(c.name));
        });
        EXPECT_EQ(RunInstall(engine), ERROR_ALREADY_EXISTS);
        EXPECT_TRUE(fsys::symlink_status(TargetPath(c.name)).type() != fsys::file_type::not_found);
        EXPECT_FALSE(Exists(TargetPath("first.cfg")));
    }
    EXPECT_EQ(ReadFile(TargetPath("newer.cfg")), "someone else's");
    EXPECT_EQ(ReadFile(TargetPath("renewed.cfg")), "renewed");
}

// A file the run added, replaced by another run afterwards (another user
// installing into a directory below this one, which set the run's file
// aside and committed its own), in a directory the run made and in one that
// was there: undo removes only the file it made, never the other's.
TEST_F(EngineBoundaryTest, UndoRemovesAnAddedFileOnlyWhileItIsTheOneMade) {
    PutDirectory("old");
    PutDirectory("blocker");
    AgeDirectories();
    LoadKit({Entry("sub/f.cfg", kNew, "run's"), Entry("old/g.cfg", kNew, "run's"), Entry("blocker", kNew, "fails")});
    InstallEngine engine;
    engine.SetEntryHook([&](uint32_t done) {
        if (done != 1) return;
        for (const char* name : {"sub/f.cfg", "old/g.cfg"}) {
            const std::string path = TargetPath(name);
            ASSERT_EQ(rename((path + "").c_str(), (path + ".aside").c_str()), 0);
            Write(path, "the other run's");
            ASSERT_EQ(unlink((path + ".aside").c_str()), 0);
        }
    });
    EXPECT_EQ(RunInstall(engine), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReadFile(TargetPath("sub/f.cfg")), "the other run's");
    EXPECT_EQ(ReadFile(TargetPath("old/g.cfg")), "the other run's");
}

// A directory the run made, or one that was there before it, swapped for a
// link to another tree, is never followed when undoing; nor is a link
// that stood inside the template directory before the run followed when
// installing.
TEST_F(EngineBoundaryTest, LinksInPlaceOfDirectoriesAreNeverFollowed) {
    const std::string elsewhere = root_ + "/elsewhere";
    const std::string usersTree = root_ + "/users-tree";
    PutDirectory("sub");
    LoadKit({Entry("made/a.cfg", kNew, "a"), Entry("made/b.cfg", kNew, "b"), Entry("sub/new.cfg", kNew, "new"),
             Entry("blocker", kNew, "fails")});
    PutDirectory("blocker");
    const auto swapForLink = [&] {
        Write(elsewhere + "/a.cfg", "not the run's a");
        Write(elsewhere + "/b.cfg", "not the run's b");
        Write(elsewhere + "/new.cfg", "not the run's new");
        fsys::rename(TargetPath("made"), root_ + "/made-aside");
        fsys::create_directory_symlink(elsewhere, TargetPath("made"));
        fsys::rename(TargetPath("sub"), root_ + "/sub-aside");
        fsys::create_directory_symlink(elsewhere, TargetPath("sub"));
    };
    const auto check = [&](const char* how) {
        SCOPED_TRACE(how);
        EXPECT_EQ(ReadFile(elsewhere + "/a.cfg"), "not the run's a");
        EXPECT_EQ(ReadFile(elsewhere + "/b.cfg"), "not the run's b");
        EXPECT_EQ(ReadFile(elsewhere + "/new.cfg"), "not the run's new");
        EXPECT_TRUE(fsys::is_symlink(TargetPath("made")));
    };
    const auto reset = [&] {
        for (const char* name : {"made", "sub"}) fsys::remove(TargetPath(name));
        for (const char* name : {"made-aside", "sub-aside", "elsewhere"}) fsys::remove_all(root_ + "/" + name);
        PutDirectory("sub");
    };
    UndoBothWays(2, swapForLink, reset, check);

    // The user's own link inside the target: the entry below it fails the
    // run, and the tree it leads to is left alone.
    reset();
    PutFile("../users-tree/linked.cfg", "user's original", kOld);
    ASSERT_EQ(symlink(usersTree.c_str(), TargetPath("mine").c_str()), 0);
    LoadKit({Entry("new.cfg", kNew, "new"), Entry("mine/linked.cfg", kNew, "through the user's link")});
    EXPECT_NE(RunInstall(), 0u);
    EXPECT_EQ(ReadFile(usersTree + "/linked.cfg"), "user's original");
    EXPECT_EQ(MtimeSeconds(usersTree + "/linked.cfg"), kOld);
    EXPECT_FALSE(Exists(TargetPath("new.cfg")));
}

// A directory the run made, replaced by another real directory while the
// run goes on (or before the recovery), is someone else's: undo neither
// deletes the recorded names inside it nor removes it or what it holds,
// an empty directory of the same name as one the run made included.
TEST_F(EngineBoundaryTest, ReplacedMadeDirectoriesAreNeverEnteredWhenUndoing) {
    LoadKit({Entry("made/a.cfg", kNew, "a"), Entry("made/inner/b.cfg", kNew, "b"), Entry("blocker", kNew, "fails")});
    PutDirectory("blocker");
    const auto swapForDirectory = [&] {
        fsys::rename(TargetPath("made"), root_ + "/made-aside");
        Write(TargetPath("made/a.cfg"), "not the run's a");
        fsys::create_directories(TargetPath("made/inner"));
    };
    const auto check = [&](const char* how) {
        SCOPED_TRACE(how);
        EXPECT_EQ(ReadFile(TargetPath("made/a.cfg")), "not the run's a");
        EXPECT_TRUE(fsys::is_directory(TargetPath("made/inner")));
    };
    const auto reset = [&] {
        fsys::remove_all(TargetPath("made"));
        fsys::remove_all(root_ + "/made-aside");
    };
    UndoBothWays(1, swapForDirectory, reset, check);
}

TEST_F(EngineBoundaryTest, FileEntryOnAnExistingDirectoryFailsWhateverTheTimes) {
    PutDirectory("conf.d");
    PutFile("conf.d/user.cfg", "user's", kNew + 100);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);
    // Older and newer than the directory's own time (aged to 1400000000).
    for (int64_t kitTime : {int64_t{1300000000}, kNew}) {
        LoadKit({Entry("first.cfg", kNew, "first"), Entry("conf.d", kitTime, "a file")});
        EXPECT_EQ(RunInstall(), ERROR_ALREADY_EXISTS) << kitTime;
        EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << kitTime;
    }
}

// A FIFO or a device where the kit has a file stops the run before it
// changes anything, as a directory does, however old or new it is; nothing
// opens it (that would block for good).
TEST_F(EngineBoundaryTest, SpecialFileAtADestinationBlocksTheRunUnopened) {
    ASSERT_EQ(mkfifo(TargetPath("pipe.cfg").c_str(), 0640), 0);
    ASSERT_EQ(symlink("/dev/null", TargetPath("null.cfg").c_str()), 0);
    PutFile("user.cfg", "user's", kOld);
    AgeDirectories();
    const TreeSnapshot before = SnapshotTree(target_);
    alarm(60);  // a run that blocks ends the test instead of hanging it
    for (const char* special : {"pipe.cfg", "null.cfg"}) {
        for (int64_t kitTime : {int64_t{1300000000}, kNew}) {
            SCOPED_TRACE(std::string(special) + " against " + std::to_string(kitTime));
            LoadKit({Entry("user.cfg", kNew, "kit"), Entry(special, kitTime, "kit")});
            EXPECT_EQ(RunInstall(), ERROR_ALREADY_EXISTS);
            EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "");
            EXPECT_EQ(Narrow(status_.ReadFailureDetail()), TargetPath(special) + "\nFile exists");
        }
    }
    alarm(0);
}

TEST_F(EngineBoundaryTest, NamesPlantedInTheTemporaryDirectoryCannotStopTheRun) {
    // Planted in memory where that is possible: a hundred thousand names on
    // a disk take long, and the backup may well lie on another file system.
    std::string shared = "/dev/shm/engine_planted_XXXXXX";
    if (mkdtemp(shared.data()) == nullptr) shared = tmp_;
    setenv("TMPDIR", shared.c_str(), 1);
    for (int n = 0; n < 100000; ++n) {
        const std::string name = shared + "/wz4sx" + std::to_string(n);
        const int fd = open(name.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0) << name;
        close(fd);
    }
    LoadKit({Entry("a.cfg", kNew, "a")});
    PutFile("a.cfg", "old", kOld);
    EXPECT_EQ(RunInstall(), 0u);
    EXPECT_EQ(ReadFile(TargetPath("a.cfg")), "a");
    // The backup directory went with the commit; only the planted names stay,
    // and the user's lock directory, which every run shares.
    for (const auto& entry : fsys::directory_iterator(shared)) {
        const bool locks = entry.path().filename() == ".wz4lock-" + std::to_string(geteuid());
        EXPECT_TRUE(entry.is_regular_file() || locks) << entry.path();
    }
    if (shared != tmp_) fsys::remove_all(shared);
}

}  // namespace tpl

namespace tpl {

// Another user of a shared (group-writable) template directory plants links
// to a private file outside it at the names a run is about to write, in a
// directory the run has just made: the run writes through none of them.
TEST_F(EngineBoundaryTest, LinksPlantedByAnotherUserAreNeverWrittenThrough) {
    const std::string secret = root_ + "/secret";
    Write(secret, "private");
    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
    struct timespec old[2] = {{kOld, 0}, {kOld, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, secret.c_str(), old, 0), 0);
    ASSERT_EQ(chmod(root_.c_str(), 0755), 0);
    ASSERT_EQ(chmod(target_.c_str(), 0777), 0);
    constexpr int kPlanted = 40;
    std::vector<KitMemoryEntry> entries{Entry("new/first.cfg", kNew, "first")};
    for (int i = 0; i < kPlanted; ++i) entries.push_back(Entry("new/f" + std::to_string(i) + ".cfg", kNew, "kit"));
    LoadKit(entries);

    InstallEngine engine;
    engine.SetEntryHook([&](uint32_t done) {
        if (done != 0) return;
        const pid_t planter = fork();
        if (planter == 0) {
            // As someone else where the test can be someone else.
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            int planted = 0;
            for (int i = 0; i < kPlanted; ++i)
                planted += symlink(secret.c_str(), TargetPath("new/f" + std::to_string(i) + ".cfg").c_str()) == 0;
            _exit(planted == kPlanted ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(planter, &status, 0), planter);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the links could not be planted";
    });
    const mode_t mask = umask(0);  // the run's new directory is as open as the target
    RunInstall(engine);
    umask(mask);
    EXPECT_EQ(ReadFile(secret), "private");
    EXPECT_EQ(MtimeSeconds(secret), kOld);
    EXPECT_TRUE(BackupDirectoriesLeft().empty());
}

}  // namespace tpl
