// Moves to another file system: the copy takes the destination's name only
// when whole, with its metadata; a failed one leaves both sides as they were.
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include "fs/fs_testing.h"
#include "fs/path_ops.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

namespace fsys = std::filesystem;
constexpr size_t kSeveralPieces = (5 << 20) / 2;  // the copy goes in 1 MiB pieces
std::string watched;                              // must read "old" while the copy runs
bool touched = false;

class CrossFileSystemMove : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        char pattern[] = "/dev/shm/fs_move.XXXXXX";
        struct stat here, there;
        if (::mkdtemp(pattern) == nullptr) GTEST_SKIP() << "no /dev/shm for a second file system";
        other_ = pattern;
        if (::stat(root_.c_str(), &here) != 0 || ::stat(other_.c_str(), &there) != 0 || here.st_dev == there.st_dev)
            GTEST_SKIP() << "/dev/shm is on the test directory's file system";
    }
    void TearDown() override {
        fs_testing::SetCopyHook(nullptr);
        if (!other_.empty()) fsys::remove_all(other_);
        FsTest::TearDown();
    }
    std::string Other(const std::string& name) const { return other_ + "/" + name; }
    std::string other_;
};

TEST_F(CrossFileSystemMove, CopyTakesTheNameOnlyWhenWholeWithModeTimesAndNothingLeft) {
    const std::string content(kSeveralPieces, 'x');
    WriteText(Path("big.cfg"), content);
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("big.cfg", Path("link").c_str()), 0);
    const struct timespec times[2] = {{1500000000, 111}, {1500000000, 222}};
    for (const char* name : {"big.cfg", "pipe"}) {
        ASSERT_EQ(::chmod(Path(name).c_str(), 0640), 0);
        ASSERT_EQ(::utimensat(AT_FDCWD, Path(name).c_str(), times, 0), 0);
    }
    WriteText(Other("big.cfg"), "old");
    watched = Other("big.cfg");
    touched = false;
    fs_testing::SetCopyHook([](uint64_t) {
        if (ReadText(watched) != "old") touched = true;
        return true;
    });
    for (const char* name : {"big.cfg", "pipe", "link"}) EXPECT_EQ(MovePath(WPath(name), W(Other(name))), 0u) << name;
    EXPECT_FALSE(touched) << "a partial copy stood under the final name";
    for (const char* name : {"big.cfg", "pipe"}) {
        struct stat moved;
        ASSERT_EQ(::lstat(Other(name).c_str(), &moved), 0);
        EXPECT_EQ(moved.st_mode & S_IFMT, name[0] == 'p' ? S_IFIFO : S_IFREG) << name;
        EXPECT_EQ(moved.st_mode & 07777, 0640u) << name;
        // Read before anything opens the file, which sets its access time.
        EXPECT_EQ(moved.st_atim.tv_nsec, 111) << name;
        EXPECT_EQ(moved.st_mtim.tv_nsec, 222) << name;
    }
    EXPECT_TRUE(IsLink(Other("link")));
    EXPECT_EQ(ReadText(Other("big.cfg")), content);
    // No temporary name is left on either side.
    EXPECT_EQ(std::distance(fsys::directory_iterator(root_), {}), 0);
    EXPECT_EQ(std::distance(fsys::directory_iterator(other_), {}), 3);
}

TEST_F(CrossFileSystemMove, FailedCopyKeepsBothSidesAndLeavesNoTemporaryFile) {
    WriteText(Path("a.cfg"), std::string(kSeveralPieces, 'a'));
    WriteText(Other("a.cfg"), "what stood there");
    fs_testing::SetCopyHook([](uint64_t) { return false; });
    EXPECT_NE(MovePath(WPath("a.cfg"), W(Other("a.cfg"))), 0u);
    EXPECT_EQ(ReadText(Path("a.cfg")), std::string(kSeveralPieces, 'a'));
    EXPECT_EQ(Listing(other_), "a.cfg=what stood there");
}

TEST_F(CrossFileSystemMove, ExtendedAttributesComeAlongWhereBothSidesTakeThem) {
    WriteText(Path("x.cfg"), "x");
    WriteText(Other("probe"), "");
    if (::setxattr(Path("x.cfg").c_str(), "user.origin", "kit", 3, 0) != 0 ||
        ::setxattr(Other("probe").c_str(), "user.origin", "p", 1, 0) != 0)
        GTEST_SKIP() << "one of the two file systems takes no user.* attributes";
    ASSERT_EQ(MovePath(WPath("x.cfg"), W(Other("x.cfg"))), 0u);
    char value[16] = {};
    EXPECT_EQ(::getxattr(Other("x.cfg").c_str(), "user.origin", value, sizeof value), 3);
    EXPECT_EQ(std::string(value), "kit");
}

}  // namespace

}  // namespace tpl
