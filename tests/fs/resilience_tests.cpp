// The file layer's part in surviving interruptions: the signal flag and the
// tools it protects, permission bits, and journal files with their lock.
#include <csignal>
#include <functional>
#include <sys/file.h>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "fs/directory_lock.h"
#include "fs/file_update_lock.h"
#include "fs/fault_injection.h"
#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/interruption.h"
#include "fs/journal_file.h"
#include "fs/path_mode.h"
#include "fs/user_names.h"
#include "fs/run_program.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

class InterruptionTest : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], nullptr, &saved_[i]);
    }
    void TearDown() override {
        ClearInterruptionRequest();
        for (size_t i = 0; i < 3; ++i) sigaction(kSignals[i], &saved_[i], nullptr);
        FsTest::TearDown();
    }
    struct sigaction saved_[3];
};

TEST_F(InterruptionTest, SignalsAreCaughtAndTheFirstOneIsKept) {
    ASSERT_TRUE(InstallInterruptionHandlers());
    ClearInterruptionRequest();
    EXPECT_FALSE(InterruptionRequested());
    EXPECT_EQ(InterruptionSignal(), 0);
    for (int signal : kSignals) {
        ClearInterruptionRequest();
        ASSERT_EQ(raise(signal), 0);
        EXPECT_TRUE(InterruptionRequested()) << signal;
        EXPECT_EQ(InterruptionSignal(), signal);
    }
    ClearInterruptionRequest();
    raise(SIGHUP);
    raise(SIGINT);
    EXPECT_EQ(InterruptionSignal(), SIGHUP);
}

// A program started for the user stays stoppable while we catch the
// interruption signals ourselves.
TEST_F(InterruptionTest, ProgramsStartedForTheUserStayStoppable) {
    ASSERT_TRUE(InstallInterruptionHandlers());
    for (const char* signal : {"INT", "TERM", "HUP"}) {
        const std::string script = std::string("kill -") + signal + " $$; exit 7";
        EXPECT_EQ(RunProgramAndWait({NarrowString("sh"), NarrowString("-c"), NarrowString(script.c_str())}, true), -1)
            << signal;
    }
    EXPECT_FALSE(InterruptionRequested());
}

TEST_F(FsTest, EntryTestSeesDanglingLinksThatTheFinderMisses) {
    ASSERT_EQ(::symlink("nowhere", Path("dangling").c_str()), 0);
    EXPECT_TRUE(PathEntryExists(WPath("dangling")));
    EXPECT_FALSE(PathExists(WPath("dangling")));
    EXPECT_FALSE(PathEntryExists(WPath("missing")));
}

class DirectoryLockTest : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        for (const char* directory : {"tmp", "t/sub", "cc"}) std::filesystem::create_directories(Path(directory));
        ::setenv("TMPDIR", Path("tmp").c_str(), 1);
    }
    // Another run holds held; the code and busy name of a run into asked.
    std::pair<uint32_t, std::string> LockWhileHeld(const std::string& held, const std::string& asked) {
        DirectoryLock other, mine;
        WideString locked;
        EXPECT_EQ(other.LockNearest(WPath(held), &locked), 0u) << held;
        const uint32_t code = mine.LockNearest(WPath(asked), &locked);
        EXPECT_EQ(mine.Held(), code == 0);
        return {code, ToUtf8(mine.BusyDirectory())};
    }
    static std::string ToUtf8(const WideString& text);
};

std::string DirectoryLockTest::ToUtf8(const WideString& text) {
    return std::string(text.Data(), text.Data() + text.Length());  // the paths here are ASCII
}

TEST_F(DirectoryLockTest, RunsIntoOverlappingDirectoriesExcludeEachOtherSiblingsDoNot) {
    ASSERT_EQ(::symlink("t", Path("link").c_str()), 0);
    const std::string real = std::filesystem::canonical(root_).string();
    const struct {
        const char *held, *asked;
        uint32_t code;
        std::string busy;
    } cases[] = {
        {"t", "t", ERROR_LOCK_VIOLATION, Path("t")},
        {"t", "t/sub", ERROR_LOCK_VIOLATION, real + "/t"},
        {"t/sub", "t", ERROR_LOCK_VIOLATION, real + "/t/sub"},
        {"t/sub/new/deeper", "t", ERROR_LOCK_VIOLATION, real + "/t/sub/new/deeper"},
        {"t", "t/not/yet", ERROR_LOCK_VIOLATION, real + "/t"},
        {"link/sub", "t//sub/x/..", ERROR_LOCK_VIOLATION, Path("t//sub/x/..")},
        {"cc/t1", "cc/t2", 0, ""},
        {"t/sub", "t/subway", 0, ""},
    };
    for (const auto& c : cases) {
        const auto [code, busy] = LockWhileHeld(c.held, c.asked);
        EXPECT_EQ(code, c.code) << c.held << " held, " << c.asked << " asked";
        EXPECT_EQ(busy, c.busy) << c.held << " held, " << c.asked << " asked";
    }
    EXPECT_FALSE(Exists(Path("cc/t1")));
    EXPECT_EQ(ModeOf(Path("tmp/.wz4lock-" + std::to_string(::geteuid()))) & 0777, 0700u);
}

// A directory its owner may write to but not read is locked all the same.
TEST_F(DirectoryLockTest, ADirectoryThatCannotBeReadIsLocked) {
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        // Root reads every directory: the runs are those of an ordinary user.
        ASSERT_EQ(::chmod(root_.c_str(), 0711), 0);
        for (const char* path : {"t", "tmp"}) ASSERT_EQ(::chown(Path(path).c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(::chmod(Path("t").c_str(), 0300), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (asRoot && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        DirectoryLock first, second;
        if (first.Lock(WPath("t")) != 0 || !first.Held()) _exit(1);
        _exit(second.Lock(WPath("t")) == ERROR_LOCK_VIOLATION ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not locked, 2: a second run was let in";
    ASSERT_EQ(::chmod(Path("t").c_str(), 0700), 0);

}

// A process of another user (nobody, when the tests run as root; else this
// user) that runs take and keeps what it took until the object ends.
class OtherUserProcess {
public:
    explicit OtherUserProcess(const std::function<bool()>& take) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            if (::geteuid() == 0 && (setgid(kUid) != 0 || setuid(kUid) != 0)) _exit(3);
            const char taken = take() ? '1' : '0';
            if (write(ready[1], &taken, 1) != 1) _exit(4);
            char ignored;
            (void)!read(release[0], &ignored, 1);
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char taken = '0';
        taken_ = read(ready[0], &taken, 1) == 1 && taken == '1';
        close(ready[0]);
    }
    ~OtherUserProcess() {
        if (release_ >= 0) close(release_);
        int status = 0;
        if (pid_ > 0) waitpid(pid_, &status, 0);
    }
    bool Took() const { return taken_; }
    pid_t Pid() const { return pid_; }
    static uint32_t Uid() { return ::geteuid() == 0 ? kUid : ::geteuid(); }

private:
    static constexpr uid_t kUid = 65534;
    pid_t pid_ = -1;
    int release_ = -1;
    bool taken_ = false;
};

// Runs of different users exclude each other when their directories are one
// or nest, as runs of one user do; and anybody who may read a directory can
// lock it, here or above, and keep installations out: each refusal names the
// process and the user that hold the lock.
TEST_F(DirectoryLockTest, OtherUsersRunsAndReadersLocksAreMetAndTheirHolderNamed) {
    const bool asRoot = ::geteuid() == 0;
    // The other user reaches the directories and keeps its own lock files.
    ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(Path("tmp").c_str(), 01777), 0);
    ASSERT_EQ(::chmod(Path("cc").c_str(), 0777), 0);
    const std::string real = std::filesystem::canonical(root_).string();
    const auto flockOf = [](const std::string& path) {
        return [path] {
            const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
            return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;  // kept open until the process ends
        };
    };
    const auto runInto = [this](const std::string& relative) {
        return [this, relative] {
            static DirectoryLock lock;  // the child's own copy, kept until it ends
            WideString locked;
            return lock.LockNearest(WPath(relative), &locked) == 0;
        };
    };
    const struct {
        const char* name;
        std::function<bool()> take;
        const char* asked;
        uint32_t code;
        std::string busy;
    } cases[] = {
        {"a reader's lock on the directory", flockOf(Path("t")), "t", ERROR_LOCK_VIOLATION, Path("t")},
        {"a reader's lock above it", flockOf(root_), "t/sub", ERROR_LOCK_VIOLATION, real},
        {"a run into the same directory", runInto("t"), "t", ERROR_LOCK_VIOLATION, Path("t")},
        {"a run into a directory above", runInto("t"), "t/sub", ERROR_LOCK_VIOLATION, real + "/t"},
        {"a run into a directory below", runInto("t/sub"), "t", ERROR_LOCK_VIOLATION,
         asRoot ? Path("t") : real + "/t/sub"},
        {"a run into a directory it made",
         [this] {
             static DirectoryLock lock;
             WideString locked;
             return lock.LockNearest(WPath("cc/made"), &locked) == 0 && ::mkdir(Path("cc/made").c_str(), 0755) == 0 &&
                    lock.HoldMade({WPath("cc/made")}) == 0;
         },
         "cc/made/sub", ERROR_LOCK_VIOLATION, real + "/cc/made"},
        {"a run into a sibling", runInto("cc/t1"), "cc/t2", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OtherUserProcess other(c.take);
        ASSERT_TRUE(other.Took());
        DirectoryLock mine;
        WideString locked;
        EXPECT_EQ(mine.LockNearest(WPath(c.asked), &locked), c.code);
        EXPECT_EQ(ToUtf8(mine.BusyDirectory()), c.busy);
        if (c.code == 0) continue;
        EXPECT_EQ(mine.Holder().pid, other.Pid());
        EXPECT_TRUE(mine.Holder().userKnown);
        EXPECT_EQ(mine.Holder().uid, OtherUserProcess::Uid());
        EXPECT_EQ(ToUtf8(mine.Holder().userName), UserName(OtherUserProcess::Uid()));
        // The dry run's probe sees the same.
        DirectoryLock probe;
        EXPECT_EQ(probe.ProbeNearest(WPath(c.asked), &locked), c.code);
        EXPECT_EQ(probe.Holder().pid, other.Pid());
    }
}

// Another user's directory or a link under the user's lock directory's name
// in the temporary directory: a private place of the user's stands in, and a
// run that starts after the name was cleared still meets one that started
// before; without a private place the refusal names the path and its owner.
TEST_F(DirectoryLockTest, ATakenLockDirectoryGivesWayToAPrivateOneOrIsNamedWithItsOwner) {
    const bool asRoot = ::geteuid() == 0;
    const std::string name = ".wz4lock-" + std::to_string(::geteuid());
    const std::string usual = Path("tmp/" + name);
    for (const char* directory : {"run", "home", "shared"}) std::filesystem::create_directories(Path(directory));
    ASSERT_EQ(::chmod(Path("run").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(Path("home").c_str(), 0755), 0);
    ASSERT_EQ(::chmod(Path("shared").c_str(), 0777), 0);
    const uint32_t planter = asRoot ? 65534 : ::geteuid();
    const struct {
        const char* name;
        bool asRootOnly;
        std::function<void()> plant;
    } plants[] = {
        {"another's directory", true,
         [&] {
             ASSERT_EQ(::mkdir(usual.c_str(), 0777), 0);
             ASSERT_EQ(::chown(usual.c_str(), planter, planter), 0);
         }},
        {"a link", false,
         [&] {
             ASSERT_EQ(::symlink(Path("cc").c_str(), usual.c_str()), 0);
             ASSERT_EQ(::lchown(usual.c_str(), planter, planter), 0);
         }},
    };
    const struct {
        const char* runtime;  // XDG_RUNTIME_DIR, or none
        const char* home;
        std::string standIn;  // where the lock directory goes instead
    } places[] = {
        {"run", "shared", Path("run/" + name)},
        {nullptr, "home", Path("home/" + name)},
        {"shared", "shared", ""},  // neither is private
    };
    for (const auto& plant : plants) {
        if (plant.asRootOnly && !asRoot) continue;
        for (const auto& place : places) {
            SCOPED_TRACE(std::string(plant.name) + ", instead: " + place.standIn);
            if (place.runtime != nullptr)
                ::setenv("XDG_RUNTIME_DIR", Path(place.runtime).c_str(), 1);
            else
                ::unsetenv("XDG_RUNTIME_DIR");
            ::setenv("HOME", Path(place.home).c_str(), 1);
            plant.plant();
            DirectoryLock first;
            WideString locked;
            if (place.standIn.empty()) {
                EXPECT_EQ(first.LockNearest(WPath("t/not/yet"), &locked), ERROR_ACCESS_DENIED);
                EXPECT_TRUE(first.LockDirectoryTaken());
                EXPECT_FALSE(first.Held());
                EXPECT_EQ(ToUtf8(first.BusyDirectory()), usual);
                EXPECT_TRUE(first.Holder().userKnown);
                EXPECT_EQ(first.Holder().uid, planter);
                EXPECT_EQ(ToUtf8(first.Holder().userName), UserName(planter));
                DirectoryLock probe;
                EXPECT_EQ(probe.ProbeNearest(WPath("t/not/yet"), &locked), ERROR_ACCESS_DENIED);
                EXPECT_TRUE(probe.LockDirectoryTaken());
                std::filesystem::remove(usual);
                continue;
            }
            // The dry run finds nothing in the way: the stand-in would serve.
            DirectoryLock probe;
            EXPECT_EQ(probe.ProbeNearest(WPath("t/not/yet"), &locked), 0u);
            ASSERT_EQ(first.LockNearest(WPath("t/not/yet"), &locked), 0u);
            EXPECT_EQ(ModeOf(place.standIn) & 0777, 0700u);
            std::filesystem::remove(usual);
            DirectoryLock second;
            EXPECT_EQ(second.LockNearest(WPath("t/not/yet"), &locked), ERROR_LOCK_VIOLATION);
            EXPECT_TRUE(IsDir(usual));
            first.Release();
            EXPECT_EQ(second.LockNearest(WPath("t/not/yet"), &locked), 0u);
            second.Release();
            std::filesystem::remove_all(usual);
            std::filesystem::remove_all(place.standIn);
        }
    }
}

// One updater of a file at a time; the lock file beside it goes with the
// last holder, and the file itself is never made for the lock's sake.
TEST_F(FsTest, FileUpdateLockAdmitsOneHolderAndLeavesNothingBehind) {
    FileUpdateLock first, second;
    ASSERT_EQ(first.Acquire(WPath("f.cfg"), 0), 0u);
    EXPECT_TRUE(Exists(Path(".f.cfg.lock")));
    EXPECT_EQ(second.Acquire(WPath("f.cfg"), 20), ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_EQ(Listing(root_), "");
    ASSERT_EQ(second.Acquire(WPath("f.cfg"), 0), 0u);
    second.Release();
    // A link planted under the lock file's name is not followed.
    ASSERT_EQ(::symlink("elsewhere", Path(".f.cfg.lock").c_str()), 0);
    EXPECT_NE(first.Acquire(WPath("f.cfg"), 0), 0u);
    EXPECT_FALSE(Exists(Path("elsewhere")));
}

TEST_F(FsTest, JournalFileIsPrivateExclusiveAndLockedWhileOpen) {
    JournalFile journal;
    ASSERT_EQ(journal.Create(WPath("j")), 0u);
    EXPECT_EQ(ModeOf(Path("j")), 0600u);
    JournalFile second;
    EXPECT_NE(second.Create(WPath("j")), 0u);  // never two writers
    ASSERT_EQ(journal.Append("one\n", false), 0u);
    // Gathered records reach the file only with the next append, in order.
    ASSERT_EQ(journal.AppendLater("gathered\n"), 0u);
    EXPECT_EQ(ReadText(Path("j")), "one\n");
    ASSERT_EQ(journal.Append("two\n", true), 0u);
    ASSERT_EQ(journal.AppendLater("at close\n"), 0u);

    std::string contents;
    JournalLock lock;
    EXPECT_EQ(ReadUnlockedJournal(WPath("j"), &contents, &lock), ERROR_ALREADY_EXISTS);
    journal.Close();
    ASSERT_EQ(ReadUnlockedJournal(WPath("j"), &contents, &lock), 0u);
    EXPECT_EQ(contents, "one\ngathered\ntwo\nat close\n");
    // The recovering side holds the lock now and may add to the journal.
    JournalLock other;
    EXPECT_EQ(ReadUnlockedJournal(WPath("j"), &contents, &other), ERROR_ALREADY_EXISTS);
    ASSERT_EQ(lock.Append("three\n"), 0u);
    lock.Release();
    ASSERT_EQ(ReadUnlockedJournal(WPath("j"), &contents, &other), 0u);
    EXPECT_EQ(contents, "one\ngathered\ntwo\nat close\nthree\n");
}

TEST_F(FsTest, JournalsThatAreNotPlainFilesOfThisUserAreRefused) {
    std::string contents;
    JournalLock lock;
    EXPECT_EQ(ReadUnlockedJournal(WPath("missing"), &contents, &lock), ERROR_FILE_NOT_FOUND);
    WriteText(Path("real"), "T 1:/\n");
    ASSERT_EQ(::symlink("real", Path("link").c_str()), 0);
    EXPECT_EQ(ReadUnlockedJournal(WPath("link"), &contents, &lock), ERROR_ACCESS_DENIED);
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadUnlockedJournal(WPath("fifo"), &contents, &lock), ERROR_ACCESS_DENIED);
    if (geteuid() == 0) {
        ASSERT_EQ(::chown(Path("real").c_str(), 65534, 65534), 0);
        EXPECT_EQ(ReadUnlockedJournal(WPath("real"), &contents, &lock), ERROR_ACCESS_DENIED);
    }
}

TEST_F(FsTest, JournalWritesAreCountedFaults) {
    JournalFile journal;
    fault_injection::FailOperationAt(1);
    EXPECT_EQ(journal.Create(WPath("j")), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(Exists(Path("j")));
    ASSERT_EQ(journal.Create(WPath("j")), 0u);
    fault_injection::FailOperationAt(2);
    EXPECT_EQ(journal.Append("a", false), 0u);
    EXPECT_EQ(journal.Append("b", true), ERROR_INVALID_PARAMETER);
    fault_injection::FailOperationAt(0);
    EXPECT_EQ(ReadText(Path("j")), "a");
}

TEST_F(FsTest, OnlyEmptyDirectoriesAreRemovedAndFileSystemsCompared) {
    ASSERT_EQ(::mkdir(Path("empty").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("full").c_str(), 0700), 0);
    WriteText(Path("full/f"), "x");
    EXPECT_TRUE(RemoveDirectoryIfEmpty(WPath("empty/")));
    EXPECT_FALSE(Exists(Path("empty")));
    EXPECT_FALSE(RemoveDirectoryIfEmpty(WPath("full")));
    EXPECT_EQ(ReadText(Path("full/f")), "x");

    EXPECT_TRUE(OnSameFileSystem(WPath("full"), WPath("full/f")));
    EXPECT_FALSE(OnSameFileSystem(WPath("full"), WPath("missing")));
    struct stat proc, here;
    if (::stat("/proc", &proc) == 0 && ::stat(root_.c_str(), &here) == 0 && proc.st_dev != here.st_dev) {
        EXPECT_FALSE(OnSameFileSystem(W("/proc"), WPath("full")));
    }
}

TEST_F(FsTest, GroupOrOthersWritableDirectoriesAreNotTheUsersOwn) {
    ASSERT_EQ(::mkdir(Path("mine").c_str(), 0700), 0);
    EXPECT_TRUE(IsDirectoryOfCurrentUser(WPath("mine")));
    ASSERT_EQ(::chmod(Path("mine").c_str(), 0770), 0);
    EXPECT_FALSE(IsDirectoryOfCurrentUser(WPath("mine")));
    ASSERT_EQ(::chmod(Path("mine").c_str(), 0707), 0);
    EXPECT_FALSE(IsDirectoryOfCurrentUser(WPath("mine")));
    ASSERT_EQ(::symlink("mine", Path("link").c_str()), 0);
    EXPECT_FALSE(IsDirectoryOfCurrentUser(WPath("link")));
}

}  // namespace

}  // namespace tpl
