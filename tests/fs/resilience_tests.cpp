// The file layer's part in surviving interruptions: the signal flag and the
// tools it protects, permission bits, and journal files with their lock.
#include <csignal>
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

// A directory its owner may write to but not read is locked all the same,
// and another's lock directory under the user's name is not trusted.
TEST_F(DirectoryLockTest, ADirectoryThatCannotBeReadIsLockedAndForeignLockDirectoriesRefused) {
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

    if (!asRoot) return;
    const std::string own = Path("tmp/.wz4lock-0");
    std::filesystem::create_directories(own);
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    DirectoryLock lock;
    EXPECT_NE(lock.Lock(WPath("t")), 0u);
    EXPECT_FALSE(lock.Held());
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
