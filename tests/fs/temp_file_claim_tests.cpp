// Claimed temporary files survive the clean-up of abandoned ones.
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include "fs/file_io.h"
#include "fs/temp_file_claim.h"
#include "fs/unique_file_handle.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

class TempFileClaimTest : public FsTest {
protected:
    // A file whose last change lies an hour back.
    void WriteOld(const std::string& relative) {
        WriteText(Path(relative), "body");
        struct timeval times[2];
        gettimeofday(&times[0], nullptr);
        times[0].tv_sec -= 3600;
        times[1] = times[0];
        ASSERT_EQ(0, utimes(Path(relative).c_str(), times));
    }
};

TEST_F(TempFileClaimTest, OnlyOldUnclaimedFilesOfOursAreDeleted) {
    WriteOld("txkAbandoned");
    WriteOld("txkClaimed");
    WriteText(Path("txkFresh"), "being unpacked right now");
    WriteOld("other");
    WriteOld("target");
    ASSERT_EQ(0, symlink(Path("target").c_str(), Path("txkLink").c_str()));
    ASSERT_EQ(0, mkdir(Path("txkDirectory").c_str(), 0700));

    UniqueFileHandle claimed;
    ASSERT_EQ(0u, FileOpen(WPath("txkClaimed"), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, claimed.OutPtr(),
                           FILE_ATTRIBUTE_NORMAL));
    ASSERT_EQ(0u, ClaimOpenFile(claimed.Get()));

    // A second claim, even from this process, sees the first one.
    UniqueFileHandle second;
    ASSERT_EQ(0u,
              FileOpen(WPath("txkClaimed"), GENERIC_READ, 0, OPEN_EXISTING, second.OutPtr(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ERROR_ALREADY_EXISTS, ClaimOpenFile(second.Get()));

    EXPECT_EQ(1u, DeleteAbandonedTempFiles(W(root_), W("txk"), 60));
    EXPECT_FALSE(Exists(Path("txkAbandoned")));
    EXPECT_TRUE(Exists(Path("txkClaimed")));
    EXPECT_TRUE(Exists(Path("txkFresh")));
    EXPECT_TRUE(Exists(Path("other")));
    EXPECT_TRUE(Exists(Path("txkLink")));
    EXPECT_TRUE(Exists(Path("target")));
    EXPECT_TRUE(IsDir(Path("txkDirectory")));

    // Once its holder closes it, the file counts as left over.
    claimed.Reset();
    second.Reset();
    EXPECT_EQ(1u, DeleteAbandonedTempFiles(W(root_), W("txk"), 60));
    EXPECT_FALSE(Exists(Path("txkClaimed")));
}

TEST_F(TempFileClaimTest, AnotherUsersFileIsLeftAlone) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
    WriteOld("txkForeign");
    ASSERT_EQ(0, chown(Path("txkForeign").c_str(), 65534, 65534));
    EXPECT_EQ(0u, DeleteAbandonedTempFiles(W(root_), W("txk"), 60));
    EXPECT_TRUE(Exists(Path("txkForeign")));
}

}  // namespace

}  // namespace tpl
