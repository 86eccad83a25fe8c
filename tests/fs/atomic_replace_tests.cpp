#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/atomic_replace.h"
#include "fs/last_error.h"
#include "support/tmpfs_mount.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

class ReplaceFileTest : public FsTest {};

TEST_F(ReplaceFileTest, ReplacesContentsAndKeepsPermissionBits) {
    WriteText(Path("cfg"), "old contents that are longer");
    ASSERT_EQ(::chmod(Path("cfg").c_str(), 0604), 0);
    struct stat before;
    ASSERT_EQ(::stat(Path("cfg").c_str(), &before), 0);
    EXPECT_EQ(WriteFileReplacing(WPath("cfg"), "new", 3), 0);
    EXPECT_EQ(ReadText(Path("cfg")), "new");
    EXPECT_EQ(ModeOf(Path("cfg")), 0604u);
    struct stat after;
    ASSERT_EQ(::stat(Path("cfg").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed into place, not rewritten
    EXPECT_EQ(Listing(root_), "cfg=new");    // no temporary left behind
}

TEST_F(ReplaceFileTest, NewFileGetsDefaultPermissions) {
    const mode_t old = ::umask(027);
    const int result = WriteFileReplacing(WPath("fresh"), "", 0);
    ::umask(old);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadText(Path("fresh")), "");
    EXPECT_EQ(ModeOf(Path("fresh")), 0640u);
}

TEST_F(ReplaceFileTest, LinkIsKeptAndItsTargetReplaced) {
    ASSERT_EQ(::mkdir(Path("real").c_str(), 0700), 0);
    WriteText(Path("real/cfg"), "old");
    ASSERT_EQ(::symlink("real/cfg", Path("hop2").c_str()), 0);
    ASSERT_EQ(::symlink(Path("hop2").c_str(), Path("cfg").c_str()), 0);
    EXPECT_EQ(WriteFileReplacing(WPath("cfg"), "new", 3), 0);
    EXPECT_TRUE(IsLink(Path("cfg")));
    EXPECT_TRUE(IsLink(Path("hop2")));
    EXPECT_EQ(ReadText(Path("real/cfg")), "new");
    EXPECT_EQ(Listing(Path("real")), "cfg=new");

    ASSERT_EQ(::symlink("loop_b", Path("loop_a").c_str()), 0);
    ASSERT_EQ(::symlink("loop_a", Path("loop_b").c_str()), 0);
    EXPECT_EQ(WriteFileReplacing(WPath("loop_a"), "x", 1), ERROR_INVALID_PARAMETER);
}

TEST_F(ReplaceFileTest, FailuresLeaveTheOldFileAndNoTemporary) {
    EXPECT_EQ(WriteFileReplacing(WPath("missing/cfg"), "x", 1), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(::mkdir(Path("dir").c_str(), 0700), 0);
    EXPECT_EQ(WriteFileReplacing(WPath("dir"), "x", 1), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WriteFileReplacing(WPath("null"), nullptr, 5), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Listing(root_), "dir/{}");

    if (::geteuid() == 0) return;  // root writes into read-only directories
    ASSERT_EQ(::mkdir(Path("ro").c_str(), 0700), 0);
    WriteText(Path("ro/cfg"), "old");
    ASSERT_EQ(::chmod(Path("ro").c_str(), 0500), 0);
    EXPECT_EQ(WriteFileReplacing(WPath("ro/cfg"), "new", 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Listing(Path("ro")), "cfg=old");
}

TEST_F(ReplaceFileTest, FullDiskIsToldAndKeepsTheOldFile) {
    ASSERT_EQ(::mkdir(Path("small").c_str(), 0700), 0);
    TmpfsMount small(Path("small"), "size=64k");
    if (!small.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
    WriteText(Path("small/cfg"), "old");
    const std::string big(1 << 20, 'x');
    bool created = false;
    EXPECT_EQ(WriteFileReplacing(WPath("small/cfg"), big.data(), big.size(), &created), ERROR_DISK_FULL);
    EXPECT_TRUE(created);
    EXPECT_EQ(GetLastFileError(), ERROR_DISK_FULL);
    EXPECT_EQ(Listing(Path("small")), "cfg=old");
}

}  // namespace

}  // namespace tpl
