#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/path_ops.h"
#include "fs/temp_names.h"
#include "fs/tree_ops.h"
#include "fs/unique_file_handle.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

class FaultInjectionTest : public FsTest {
protected:
    void TearDown() override {
        fault_injection::FailOperationAt(0);
        FsTest::TearDown();
    }

    // One of each counted operation, in a fixed order; returns the results.
    std::string RunCountedSequence() {
        std::string results;
        auto note = [&results](uint32_t r) { results += std::to_string(r) + " "; };
        UniqueFileHandle opened;
        note(FileOpen(WPath("opened"), GENERIC_WRITE, 0, CREATE_ALWAYS, opened.OutPtr(), 0));
        // The handle for the next three comes from outside the count, so
        // that each operation's result depends on its own turn only.
        UniqueFileHandle file(::open(Path("file").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600));
        uint32_t written = 0;
        note(FileWrite(file.Get(), "abc", 3, &written, nullptr));
        note(FileTruncate(file.Get()));
        const FILETIME when = FileTimeFromUnixSeconds(1000000000);
        note(FileSetWriteTime(file.Get(), nullptr, nullptr, &when));
        note(CreateDirectoryPath(WPath("a/b")));
        note(CreateDirectoryExclusive(WPath("x"), 0700));
        note(MovePath(WPath("file"), WPath("moved")));
        WideString temp;
        note(MakeTempFileName(W(root_), u"t", &temp));
        return results;
    }
};

TEST_F(FaultInjectionTest, UncountedOperationsLeaveTheCountAlone) {
    fault_injection::FailOperationAt(1);
    WriteText(Path("f"), "x");
    UniqueFileHandle reader;
    ASSERT_EQ(FileOpen(WPath("f"), GENERIC_READ, 0, OPEN_EXISTING, reader.OutPtr(), 0), 0u);
    char buffer[4];
    uint32_t got = 0;
    EXPECT_EQ(FileRead(reader.Get(), buffer, 4, &got, nullptr), 0u);
    EXPECT_EQ(DeleteFilePath(WPath("f")), 0u);
    ASSERT_EQ(::mkdir(Path("d").c_str(), 0700), 0);
    EXPECT_EQ(RemoveDirectoryTree(WPath("d")), 0u);
    ASSERT_EQ(::mkdir(Path("from").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("to").c_str(), 0700), 0);
    WriteText(Path("from/g"), "g");
    MoveTree(WPath("to"), WPath("from"));
    EXPECT_EQ(ReadText(Path("to/g")), "g");
    EXPECT_EQ(fault_injection::CountedOperations(), 0);
}

TEST_F(FaultInjectionTest, EachCountedOperationFailsOnceWhenItsTurnComes) {
    fault_injection::FailOperationAt(0);
    const std::string clean = RunCountedSequence();
    EXPECT_EQ(clean, "0 0 0 0 0 0 0 0 ");
    const int64_t total = fault_injection::CountedOperations();
    ASSERT_EQ(total, 8);

    for (int64_t n = 1; n <= total; ++n) {
        SCOPED_TRACE(n);
        TearDown();
        SetUp();
        fault_injection::FailOperationAt(n);
        const std::string results = RunCountedSequence();
        // Exactly the n-th result is 87; everything after it succeeds again.
        std::string expected;
        for (int64_t i = 1; i <= total; ++i) expected += i == n ? "87 " : "0 ";
        EXPECT_EQ(results, expected);
        EXPECT_EQ(fault_injection::CountedOperations(), total);
    }
}

TEST_F(FaultInjectionTest, AnInjectedFailureDoesNothingAndSetsTheLastError) {
    fault_injection::FailOperationAt(1);
    EXPECT_EQ(CreateDirectoryPath(WPath("a/b")), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLastFileError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(errno, EIO);
    EXPECT_FALSE(Exists(Path("a")));
    EXPECT_EQ(CreateDirectoryPath(WPath("a/b")), 0u);

    WriteText(Path("f"), "x");
    fault_injection::FailOperationAt(1);
    EXPECT_EQ(MovePath(WPath("f"), WPath("g")), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Listing(root_), "a/{b/{}} f=x");

    fault_injection::FailOperationAt(1);
    FileHandle handle = 99;
    EXPECT_EQ(FileOpen(WPath("new"), GENERIC_WRITE, 0, CREATE_ALWAYS, &handle, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(handle, 99);
    EXPECT_FALSE(Exists(Path("new")));

    fault_injection::FailOperationAt(1);
    WideString temp;
    EXPECT_EQ(MakeTempFileName(W(root_), u"t", &temp), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(temp.Empty());
    EXPECT_EQ(Listing(root_), "a/{b/{}} f=x");
}

TEST_F(FaultInjectionTest, AnInjectedFailureCanCarryAChosenErrno) {
    UniqueFileHandle file(::open(Path("file").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600));
    fault_injection::FailOperationAt(1, ENOSPC);
    uint32_t written = 0;
    EXPECT_EQ(FileWrite(file.Get(), "abc", 3, &written, nullptr), ERROR_DISK_FULL);
    EXPECT_EQ(GetLastFileErrno(), ENOSPC);
    EXPECT_EQ(FileWrite(file.Get(), "abc", 3, &written, nullptr), 0u);
    fault_injection::FailOperationAt(1, ENOSPC);
    EXPECT_EQ(CreateDirectoryPath(WPath("d")), ERROR_DISK_FULL);
    EXPECT_FALSE(Exists(Path("d")));
}

TEST_F(FaultInjectionTest, ResetCountRestartsTheCount) {
    fault_injection::FailOperationAt(2);
    EXPECT_EQ(CreateDirectoryPath(WPath("one")), 0u);
    fault_injection::ResetCount();
    EXPECT_EQ(CreateDirectoryPath(WPath("two")), 0u);  // counted as the first again
    EXPECT_EQ(CreateDirectoryPath(WPath("three")), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(fault_injection::CountedOperations(), 2);
}

}  // namespace

}  // namespace tpl
