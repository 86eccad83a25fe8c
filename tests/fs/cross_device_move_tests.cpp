// Moves to another file system: the copy takes the destination's name only
// when it is whole, carries the metadata, and a failure leaves both sides as
// they were.
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include "fs/dir_ops.h"
#include "fs/fs_testing.h"
#include "fs_test_support.h"

namespace {

constexpr size_t kSeveralPieces = (5 << 20) / 2;  // the copy goes in 1 MiB pieces

std::string watchedDestination;
std::string watchedContent;
bool destinationWasTouched = false;

// Notes whether the destination's name showed anything but its old content
// while the copy was under way.
bool WatchDestination(uint64_t)
{
    if (ReadText(watchedDestination) != watchedContent)
        destinationWasTouched = true;
    return true;
}

bool FailCopy(uint64_t)
{
    return false;
}

// The names in a directory, sorted, without opening anything (a FIFO would block).
std::string Names(const std::string& directory)
{
    std::vector<std::string> names;
    DIR* stream = ::opendir(directory.c_str());
    while (const dirent* entry = stream ? ::readdir(stream) : nullptr)
        if (entry->d_name[0] != '.' || (entry->d_name[1] != '\0' && std::string(entry->d_name) != ".."))
            names.push_back(entry->d_name);
    if (stream)
        ::closedir(stream);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

bool SameTimes(const struct stat& a, const struct stat& b)
{
    return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_atim.tv_sec == b.st_atim.tv_sec && a.st_atim.tv_nsec == b.st_atim.tv_nsec;
}

class CrossFileSystemMove : public FsTest {
protected:
    void SetUp() override
    {
        FsTest::SetUp();
        char pattern[] = "/dev/shm/fs_move.XXXXXX";
        struct stat here, there;
        if (::mkdtemp(pattern) == nullptr)
            GTEST_SKIP() << "no /dev/shm for a second file system";
        other_ = pattern;
        if (::stat(root_.c_str(), &here) != 0 || ::stat(other_.c_str(), &there) != 0 || here.st_dev == there.st_dev)
            GTEST_SKIP() << "/dev/shm is on the same file system as the test directory";
    }
    void TearDown() override
    {
        fs_testing::SetCopyHook(nullptr);
        if (!other_.empty())
            std::system(("rm -rf '" + other_ + "'").c_str());
        FsTest::TearDown();
    }
    std::string Other(const std::string& name) const { return other_ + "/" + name; }

    // A file with a mode and times to the nanosecond that a move must keep.
    struct stat MakeSource(const std::string& path, const std::string& content)
    {
        WriteText(path, content);
        ::chmod(path.c_str(), 0640);
        const struct timespec times[2] = {{1500000000, 111}, {1500000000, 222}};
        ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
        struct stat status;
        ::lstat(path.c_str(), &status);
        return status;
    }

    std::string other_;
};

TEST_F(CrossFileSystemMove, CopyTakesTheNameOnlyWhenWholeWithModeTimesAndNothingLeft)
{
    const std::string content(kSeveralPieces, 'x');
    const struct stat source = MakeSource(Path("big.cfg"), content);
    WriteText(Other("big.cfg"), "old");
    watchedDestination = Other("big.cfg");
    watchedContent = "old";
    destinationWasTouched = false;
    fs_testing::SetCopyHook(WatchDestination);

    ASSERT_EQ(MovePath(WPath("big.cfg"), W(Other("big.cfg"))), 0u);
    EXPECT_FALSE(destinationWasTouched) << "a partial copy stood under the final name";
    EXPECT_FALSE(Exists(Path("big.cfg")));
    struct stat moved;
    ASSERT_EQ(::lstat(Other("big.cfg").c_str(), &moved), 0);
    EXPECT_EQ(moved.st_mode & 07777, 0640u);
    EXPECT_TRUE(SameTimes(source, moved));  // before reading it sets the access time
    EXPECT_EQ(ReadText(Other("big.cfg")), content);

    // Links and FIFOs are made anew under a temporary name as well.
    ASSERT_EQ(::symlink("big.cfg", Other("link").c_str()), 0);
    ASSERT_EQ(::mkfifo(Other("pipe").c_str(), 0604), 0);
    const struct timespec times[2] = {{1400000000, 5}, {1400000000, 7}};
    ASSERT_EQ(::utimensat(AT_FDCWD, Other("pipe").c_str(), times, 0), 0);
    ASSERT_EQ(MovePath(W(Other("link")), WPath("link")), 0u);
    ASSERT_EQ(MovePath(W(Other("pipe")), WPath("pipe")), 0u);
    EXPECT_TRUE(IsLink(Path("link")));
    struct stat pipe;
    ASSERT_EQ(::lstat(Path("pipe").c_str(), &pipe), 0);
    EXPECT_TRUE(S_ISFIFO(pipe.st_mode));
    EXPECT_EQ(pipe.st_mode & 07777, 0604u);
    EXPECT_EQ(pipe.st_mtim.tv_nsec, 7);
    EXPECT_EQ(Listing(other_), "big.cfg=" + content);
    EXPECT_EQ(Names(root_), "link pipe");
}

TEST_F(CrossFileSystemMove, FailedCopyKeepsBothSidesAndLeavesNoTemporaryFile)
{
    MakeSource(Path("a.cfg"), std::string(kSeveralPieces, 'a'));
    WriteText(Other("a.cfg"), "what stood there");
    fs_testing::SetCopyHook(FailCopy);
    EXPECT_NE(MovePath(WPath("a.cfg"), W(Other("a.cfg"))), 0u);
    EXPECT_EQ(ReadText(Path("a.cfg")), std::string(kSeveralPieces, 'a'));
    EXPECT_EQ(Listing(other_), "a.cfg=what stood there");
}

TEST_F(CrossFileSystemMove, ExtendedAttributesComeAlongWhereBothSidesTakeThem)
{
    MakeSource(Path("x.cfg"), "x");
    if (::setxattr(Path("x.cfg").c_str(), "user.origin", "kit", 3, 0) != 0)
        GTEST_SKIP() << "the test directory's file system takes no user.* attributes";
    WriteText(Other("probe"), "");
    const bool otherTakesThem = ::setxattr(Other("probe").c_str(), "user.origin", "p", 1, 0) == 0;
    ::unlink(Other("probe").c_str());

    ASSERT_EQ(MovePath(WPath("x.cfg"), W(Other("x.cfg"))), 0u);
    char value[16] = {};
    const ssize_t length = ::getxattr(Other("x.cfg").c_str(), "user.origin", value, sizeof value);
    if (!otherTakesThem)
        GTEST_SKIP() << "the move succeeded; /dev/shm takes no user.* attributes to compare";
    EXPECT_EQ(std::string(value, length > 0 ? static_cast<size_t>(length) : 0), "kit");
}

}  // namespace
