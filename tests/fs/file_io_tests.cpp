#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <thread>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/file_copy.h"
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/mapped_window.h"
#include "fs/system_language.h"
#include "fs/unique_file_handle.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

class FileIoTest : public FsTest {};

uint64_t FileSize(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : ~0ull;
}

TEST_F(FileIoTest, CreateAlwaysKeepsOldLengthUntilTruncate) {
    for (bool truncate : {false, true}) {
        const std::string path = Path(truncate ? "t" : "k");
        WriteText(path, std::string(100, 'x'));
        UniqueFileHandle file;
        ASSERT_EQ(FileOpen(W(path), GENERIC_WRITE, 0, CREATE_ALWAYS, file.OutPtr(), FILE_ATTRIBUTE_NORMAL), 0u);
        uint32_t written = 0;
        ASSERT_EQ(FileWrite(file.Get(), "0123456789", 10, &written, nullptr), 0u);
        EXPECT_EQ(written, 10u);
        if (truncate) {
            ASSERT_EQ(FileTruncate(file.Get()), 0u);
        }
        ASSERT_EQ(file.Reset(), 0u);
        EXPECT_EQ(FileSize(path), truncate ? 10u : 100u);
        EXPECT_EQ(ReadText(path).substr(0, 12), truncate ? "0123456789" : "0123456789xx");
    }
}

TEST_F(FileIoTest, NewFileGetsReadWriteBitsLessUmask) {
    const mode_t old = ::umask(022);
    FileHandle handle = INVALID_FILE_HANDLE;
    const uint32_t result = FileOpen(WPath("new"), GENERIC_WRITE, 0, CREATE_ALWAYS, &handle, 0);
    ::umask(old);
    ASSERT_EQ(result, 0u);
    UniqueFileHandle owner(handle);
    EXPECT_EQ(ModeOf(Path("new")), 0640u);
}

// The worker and the GUI thread each read their own last error, as errno.
TEST_F(FileIoTest, LastErrorBelongsToTheThreadThatFailed) {
    FileHandle handle = INVALID_FILE_HANDLE;
    ASSERT_EQ(FileOpen(WPath("missing"), GENERIC_READ, 0, OPEN_EXISTING, &handle, 0), ERROR_FILE_NOT_FOUND);
    uint32_t otherThreadSaw = 0;
    int otherThreadErrno = -1;
    std::thread other([&] {
        otherThreadSaw = GetLastFileError();
        otherThreadErrno = GetLastFileErrno();
        uint32_t written = 0;
        FileWrite(INVALID_FILE_HANDLE, "x", 1, &written, nullptr);
    });
    other.join();
    EXPECT_EQ(otherThreadSaw, 0u);
    EXPECT_EQ(otherThreadErrno, 0);
    EXPECT_EQ(GetLastFileError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastFileErrno(), ENOENT);
}

TEST_F(FileIoTest, OpenFailuresFollowTheErrnoRuleAndKeepTheHandle) {
    FileHandle handle = 12345;
    EXPECT_EQ(FileOpen(WPath("missing"), GENERIC_READ, 0, OPEN_EXISTING, &handle, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastFileError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(handle, 12345);

    ASSERT_EQ(::mkdir(Path("dir").c_str(), 0700), 0);
    EXPECT_EQ(FileOpen(WPath("dir"), GENERIC_WRITE, 0, CREATE_ALWAYS, &handle, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLastFileError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(handle, 12345);

    // Only regular files open: a FIFO would block the open or every read for
    // good, and a device or a directory holds no file's bytes. Refused at
    // once (a run that blocks ends the test instead of hanging it).
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    alarm(60);
    const std::pair<std::string, int> refused[] = {
        {Path("fifo"), EINVAL}, {"/dev/null", EINVAL}, {Path("dir"), EISDIR}};
    for (const auto& [path, err] : refused) {
        EXPECT_EQ(FileOpen(W(path), GENERIC_READ, 0, OPEN_EXISTING, &handle, 0), ERROR_INVALID_PARAMETER) << path;
        EXPECT_EQ(GetLastFileErrno(), err) << path;
        EXPECT_EQ(handle, 12345);
    }
    alarm(0);

    // A success clears the last error left by the failure before it.
    WriteText(Path("present"), "x");
    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(WPath("present"), GENERIC_READ, 0, OPEN_EXISTING, file.OutPtr(), 0), 0u);
    EXPECT_EQ(GetLastFileError(), 0u);
}

TEST_F(FileIoTest, AFullDiskIsReportedAsSuchWithItsErrno) {
    // /dev/full answers every write with ENOSPC, like a file system without room.
    UniqueFileHandle full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full);
    uint32_t written = 0;
    EXPECT_EQ(FileWrite(full.Get(), "abc", 3, &written, nullptr), ERROR_DISK_FULL);
    EXPECT_EQ(GetLastFileError(), ERROR_DISK_FULL);
    EXPECT_EQ(GetLastFileErrno(), ENOSPC);
    EXPECT_EQ(ErrorFromErrno(EDQUOT), ERROR_DISK_FULL);
    EXPECT_EQ(WriteAll(full.Get(), "abc", 3), ERROR_DISK_FULL);
    uint64_t done = 7;
    EXPECT_EQ(fs_detail::WriteAllUncounted(full.Get(), "abc", 3, &done), ERROR_DISK_FULL);
    EXPECT_EQ(done, 0u);

    // The system's own cause stays beside the coarser code, and a success
    // or an error of the layer's own clears it.
    ASSERT_EQ(::mkdir(Path("dir").c_str(), 0700), 0);
    FileHandle handle = INVALID_FILE_HANDLE;
    EXPECT_EQ(FileOpen(WPath("dir"), GENERIC_WRITE, 0, CREATE_ALWAYS, &handle, 0), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLastFileErrno(), EISDIR);
    EXPECT_EQ(FileWrite(INVALID_FILE_HANDLE, "a", 1, &written, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetLastFileErrno(), 0);
}

// The system's words follow the selected language, not the locale: in UTF-8 where the
// system has the language (Bulgarian, Chinese), in English where it has not
// (Armenian), also under the C locale, which alone would always answer in
// English and could not spell Cyrillic.
TEST_F(FileIoTest, SystemReasonFollowsTheSelectedLanguageElseEnglish) {
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    const char* language = std::getenv("LANGUAGE");
    const std::string saved = language != nullptr ? language : "";
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    const struct {
        const char* language;
        const char* reason;
    } cases[] = {{"bg", "Директория е"},
                 {"zh_CN", "是一个目录"},
                 {"hy", "Is a directory"},
                 {"en", "Is a directory"}};
    for (const auto& c : cases) {
        SelectSystemLanguage(c.language);
        EXPECT_EQ(std::string(SystemErrorText(EISDIR).Data()), c.reason) << c.language;
    }
    EXPECT_EQ(std::string(SystemErrorText(0).Data()), "");
    SelectSystemLanguage(saved.c_str());
    std::setlocale(LC_ALL, locale.c_str());
}

TEST_F(FileIoTest, WriteAllWritesEverythingAndCountsOnlyRealWrites) {
    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(WPath("out"), GENERIC_WRITE, 0, CREATE_ALWAYS, file.OutPtr(), 0), 0u);
    const std::string big(3u << 20, 'z');  // more than one pipe or page-cache chunk
    EXPECT_EQ(WriteAll(file.Get(), big.data(), big.size()), 0u);
    fault_injection::FailOperationAt(1, ENOSPC);
    EXPECT_EQ(WriteAll(file.Get(), nullptr, 0), 0u);  // nothing to write is not an operation
    EXPECT_EQ(WriteAll(file.Get(), "tail", 4), ERROR_DISK_FULL);
    EXPECT_EQ(fs_detail::WriteAllUncounted(file.Get(), "tail", 4), 0u);
    fault_injection::FailOperationAt(0);
    file.Reset();
    EXPECT_TRUE(ReadText(Path("out")) == big + "tail");
}

TEST_F(FileIoTest, PathEndsAtEmbeddedZero) {
    WriteText(Path("real"), "abc");
    WideString path = WPath("real");
    path.Append(u'\0');
    path.Append(u"junk", 4);
    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(path, GENERIC_READ, 0, OPEN_EXISTING, file.OutPtr(), 0), 0u);
}

TEST_F(FileIoTest, TruncateExistingEmptiesAndRequiresTheFile) {
    WriteText(Path("f"), "contents");
    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(WPath("f"), GENERIC_WRITE, 0, TRUNCATE_EXISTING, file.OutPtr(), 0), 0u);
    EXPECT_EQ(FileSize(Path("f")), 0u);
    FileHandle handle = INVALID_FILE_HANDLE;
    EXPECT_EQ(FileOpen(WPath("g"), GENERIC_WRITE, 0, TRUNCATE_EXISTING, &handle, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Exists(Path("g")));
}

TEST_F(FileIoTest, ReadFillsTheCountThenReportsEndOfFile) {
    WriteText(Path("f"), "hello world");
    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(WPath("f"), GENERIC_READ, 0, OPEN_EXISTING, file.OutPtr(), FILE_FLAG_SEQUENTIAL_SCAN | 128), 0u);
    char buffer[32] = {};
    uint32_t got = 99;
    ASSERT_EQ(FileRead(file.Get(), buffer, 5, &got, nullptr), 0u);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    ASSERT_EQ(FileRead(file.Get(), buffer, sizeof buffer, &got, nullptr), 0u);
    EXPECT_EQ(got, 6u);  // short count: end of file, not an error
    ASSERT_EQ(FileRead(file.Get(), buffer, sizeof buffer, &got, nullptr), 0u);
    EXPECT_EQ(got, 0u);
}

TEST_F(FileIoTest, CopyRangeTakesItsOffsetAndStopsWhereTheSourceEnds) {
    WriteText(Path("src"), "0123456789");
    UniqueFileHandle source;
    UniqueFileHandle target;
    ASSERT_EQ(FileOpen(WPath("src"), GENERIC_READ, 0, OPEN_EXISTING, source.OutPtr(), 128), 0u);
    ASSERT_EQ(FileOpen(WPath("dst"), GENERIC_WRITE, 0, CREATE_ALWAYS, target.OutPtr(), 128), 0u);
    uint32_t copied = 0;
    ASSERT_EQ(FileCopyRange(source.Get(), 2, target.Get(), 3, &copied), 0u);
    EXPECT_EQ(copied, 3u);
    ASSERT_EQ(FileCopyRange(source.Get(), 7, target.Get(), 100, &copied), 0u);
    EXPECT_EQ(copied, 3u);  // the source ends first
    EXPECT_EQ(ReadText(Path("dst")), "234789");
    EXPECT_EQ(FileSeek(source.Get(), 0, 0, FILE_CURRENT), 0);  // the source's position stays
    EXPECT_EQ(FileCopyRange(INVALID_FILE_HANDLE, 0, target.Get(), 1, &copied), ERROR_INVALID_HANDLE);
}

TEST_F(FileIoTest, ReadGathersPiecesFromAPipe) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "abc", 3), 3);
    ASSERT_EQ(::write(fds[1], "def", 3), 3);
    ::close(fds[1]);
    char buffer[8];
    uint32_t got = 0;
    EXPECT_EQ(FileRead(fds[0], buffer, 6, &got, nullptr), 0u);
    EXPECT_EQ(std::string(buffer, got), "abcdef");
    ::close(fds[0]);
}

TEST_F(FileIoTest, MissingArgumentsAndInvalidHandles) {
    char buffer[4];
    int dummy = 0;
    EXPECT_EQ(FileRead(0, buffer, 4, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLastFileError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(FileRead(0, buffer, 4, nullptr, &dummy), 0u);
    uint32_t count = 0;
    EXPECT_EQ(FileRead(INVALID_FILE_HANDLE, buffer, 4, &count, nullptr), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(FileWrite(INVALID_FILE_HANDLE, "x", 1, &count, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FileWrite(INVALID_FILE_HANDLE, "x", 1, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(FileSeek(INVALID_FILE_HANDLE, 0, 0, FILE_BEGIN), -1);
    EXPECT_EQ(GetLastFileError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FileTruncate(INVALID_FILE_HANDLE), ERROR_INVALID_HANDLE);
    FILETIME t = 0;
    EXPECT_EQ(FileGetTimes(INVALID_FILE_HANDLE, nullptr, nullptr, &t), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FileSetWriteTime(INVALID_FILE_HANDLE, nullptr, nullptr, &t), ERROR_INVALID_HANDLE);
    EXPECT_EQ(FileClose(INVALID_FILE_HANDLE), ERROR_INVALID_PARAMETER);

    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(WPath("f"), GENERIC_WRITE, 0, CREATE_ALWAYS, file.OutPtr(), 0), 0u);
    EXPECT_EQ(FileSetWriteTime(file.Get(), nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(FileIoTest, ReadOrThrowThrowsTheLastError) {
    char buffer[4];
    uint32_t got = 0;
    try {
        FileReadOrThrow(INVALID_FILE_HANDLE, buffer, 4, &got);
        FAIL() << "no exception";
    } catch (uint32_t error) {
        EXPECT_EQ(error, ERROR_INVALID_PARAMETER);
    }
}

TEST_F(FileIoTest, SeekOrigins) {
    WriteText(Path("f"), "0123456789");
    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(WPath("f"), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, file.OutPtr(), 0), 0u);
    EXPECT_EQ(FileSeek(file.Get(), 0, 0, FILE_END), 10);
    EXPECT_EQ(FileSeek(file.Get(), 3, 0, FILE_BEGIN), 3);
    EXPECT_EQ(FileSeek(file.Get(), 2, 0, FILE_CURRENT), 5);
    EXPECT_EQ(FileSeek(file.Get(), 0xFFFFFFFEu, -1, FILE_CURRENT), 3);  // -2 as two halves
    EXPECT_EQ(FileSeek(file.Get(), 1, 0, 77), 1);                       // unknown origin: from the start
    EXPECT_EQ(FileSeek(file.Get(), 0, 1, FILE_BEGIN), 0x100000000LL);   // high half counts
    EXPECT_EQ(FileSeek(file.Get(), 0xFFFFFFFFu, -1, FILE_BEGIN), -1);
    EXPECT_EQ(GetLastFileError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FileIoTest, FileTimeConversions) {
    EXPECT_EQ(UnixSecondsFromFileTime(116444736000000000ull), 0);
    EXPECT_EQ(FileTimeFromUnixSeconds(0), 116444736000000000ull);
    EXPECT_EQ(UnixSecondsFromFileTime(FileTimeFromUnixSeconds(1700000000) + 9999999), 1700000000);
    EXPECT_EQ(FileTimeFromUnixSeconds(-1), 116444736000000000ull - 10000000ull);
}

TEST_F(FileIoTest, WriteTimeRoundTripsIncludingAfter2038) {
    for (int64_t seconds : {int64_t{1000000000}, int64_t{4102444800}}) {  // 2001 and 2100
        UniqueFileHandle file;
        ASSERT_EQ(FileOpen(WPath("f"), GENERIC_WRITE, 0, CREATE_ALWAYS, file.OutPtr(), 0), 0u);
        const FILETIME when = FileTimeFromUnixSeconds(seconds) + 1234567;  // sub-second part dropped
        ASSERT_EQ(FileSetWriteTime(file.Get(), nullptr, nullptr, &when), 0u);
        FILETIME write = 0, access = 0, creation = 0;
        ASSERT_EQ(FileGetTimes(file.Get(), &creation, &access, &write), 0u);
        EXPECT_EQ(write, FileTimeFromUnixSeconds(seconds));
        EXPECT_EQ(access, FileTimeFromUnixSeconds(seconds));
        EXPECT_NE(creation, 0u);
        struct stat status;
        ASSERT_EQ(::stat(Path("f").c_str(), &status), 0);
        EXPECT_EQ(static_cast<int64_t>(status.st_mtime), seconds);
    }
}

TEST_F(FileIoTest, SetWriteTimeReportsAFailure) {
    // Times cannot be set on a file of another owner, nor (for root, who
    // owns everything) on a read-only file system.
    std::string path = "/etc/passwd";
    bool mounted = false;
    if (::geteuid() == 0) {
        path = Path("ro/f");
        ASSERT_EQ(::mkdir(Path("ro").c_str(), 0700), 0);
        if (::mount("tpl_fs_ro", Path("ro").c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here";
        WriteText(path, "x");
        mounted = ::mount("tpl_fs_ro", Path("ro").c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const FILETIME when = FileTimeFromUnixSeconds(1000000000);
    const uint32_t result = fd >= 0 ? FileSetWriteTime(fd, nullptr, nullptr, &when) : 0xFFFFFFFFu;
    const uint32_t last = GetLastFileError();
    if (fd >= 0) ::close(fd);
    if (::geteuid() == 0) ::umount(Path("ro").c_str());
    if (::geteuid() == 0 && !mounted) GTEST_SKIP() << "cannot make a read-only file system here";
    EXPECT_EQ(result, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(last, ERROR_INVALID_PARAMETER);
}

TEST_F(FileIoTest, SizeByPathReportsLow32Bits) {
    uint32_t size = 7;
    EXPECT_EQ(GetFileSizeByPath(WPath("missing"), &size), 1u);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(GetFileSizeByPath(WPath("missing"), nullptr), 1u);
    // A sparse 5 GiB file takes no space.
    const int fd = ::open(Path("big").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const bool sized = ::ftruncate(fd, 5LL << 30) == 0;
    ::close(fd);
    if (!sized) GTEST_SKIP() << "no sparse files here";
    EXPECT_EQ(GetFileSizeByPath(WPath("big"), &size), 0u);
    EXPECT_EQ(size, 1u << 30);
}

TEST_F(FileIoTest, UniqueHandleClosesAndMoves) {
    WriteText(Path("f"), "x");
    FileHandle raw = INVALID_FILE_HANDLE;
    {
        UniqueFileHandle first;
        ASSERT_EQ(FileOpen(WPath("f"), GENERIC_READ, 0, OPEN_EXISTING, first.OutPtr(), 0), 0u);
        raw = first.Get();
        UniqueFileHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.Get(), raw);
        UniqueFileHandle third;
        third = std::move(second);
        EXPECT_EQ(::fcntl(raw, F_GETFD), FD_CLOEXEC);  // still open, not inherited by tools
    }
    errno = 0;
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST_F(FileIoTest, MappedWindowShowsTheFileAtAnOffset) {
    const long page = ::sysconf(_SC_PAGESIZE);
    std::string content(static_cast<size_t>(page) + 10, 'a');
    content.replace(static_cast<size_t>(page), 10, "0123456789");
    WriteText(Path("f"), content);
    UniqueFileHandle file;
    ASSERT_EQ(FileOpen(WPath("f"), GENERIC_READ, 0, OPEN_EXISTING, file.OutPtr(), 0), 0u);
    MappedWindow window;
    ASSERT_EQ(window.Map(file.Get(), static_cast<uint64_t>(page), 10), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(window.Data()), window.Length()), "0123456789");
    EXPECT_EQ(window.Map(file.Get(), 1, 10), ERROR_INVALID_PARAMETER);  // unaligned offset
    EXPECT_EQ(window.Data(), nullptr);
    EXPECT_EQ(window.Map(INVALID_FILE_HANDLE, 0, 10), ERROR_INVALID_HANDLE);
}

}  // namespace

}  // namespace tpl
