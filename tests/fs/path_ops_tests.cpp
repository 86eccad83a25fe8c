// Each operation with a system-call fast path runs every case twice, once on
// the fast path and once forced onto the tool, and both must agree.
#include <cerrno>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/path_ops.h"
#include "fs/fs_testing.h"
#include "fs/last_error.h"
#include "fs/tree_ops.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

struct Outcome {
    std::string results;  // the operation's return values, in order
    std::string tree;     // the directory afterwards
};

class DirOpsTest : public FsTest {
protected:
    void TearDown() override {
        fs_testing::ForceToolPath(false);
        FsTest::TearDown();
    }

    // Runs the scenario in a fresh subdirectory per mode and checks that both
    // agree; returns the fast path's outcome for the caller's expectations.
    Outcome BothWays(const std::function<void(const std::string&)>& prepare,
                     const std::function<std::string(const std::string&)>& act) {
        Outcome outcomes[2];
        for (int tool = 0; tool < 2; ++tool) {
            const std::string dir = Path(tool ? "tool" : "fast");
            EXPECT_EQ(::mkdir(dir.c_str(), 0700), 0);
            prepare(dir);
            fs_testing::ForceToolPath(tool == 1);
            outcomes[tool].results = act(dir);
            fs_testing::ForceToolPath(false);
            outcomes[tool].tree = Listing(dir);
        }
        EXPECT_EQ(outcomes[0].results, outcomes[1].results);
        EXPECT_EQ(outcomes[0].tree, outcomes[1].tree);
        return outcomes[0];
    }
};

std::string Num(uint32_t value) {
    return std::to_string(value) + " ";
}

TEST_F(DirOpsTest, CreateDirectoryPathCases) {
    Outcome out = BothWays(
        [](const std::string& d) {
            ASSERT_EQ(::mkdir((d + "/exists").c_str(), 0700), 0);
            WriteText(d + "/file", "f");
            ASSERT_EQ(::symlink("exists", (d + "/link").c_str()), 0);
        },
        [](const std::string& d) {
            return Num(CreateDirectoryPath(W(d + "/exists"))) + Num(CreateDirectoryPath(W(d + "/a/b//c/"))) +
                   Num(CreateDirectoryPath(W(d + "/file"))) + Num(CreateDirectoryPath(W(d + "/file/sub"))) +
                   Num(CreateDirectoryPath(W(d + "/link/in"))) + Num(CreateDirectoryPath(W(d + "/a/../up"))) +
                   Num(CreateDirectoryPath(u""));
        });
    EXPECT_EQ(out.results, "0 0 2 2 0 0 2 ");
    EXPECT_EQ(out.tree, "a/{b/{c/{}}} exists/{in/{}} file=f link@ up/{}");
}

TEST_F(DirOpsTest, CreateDirectoryPathModesMatchTheTool) {
    for (mode_t mask : {mode_t{022}, mode_t{077}, mode_t{0277}}) {
        const std::string sub = "m" + std::to_string(mask);
        ASSERT_EQ(::mkdir(Path(sub).c_str(), 0700), 0);
        unsigned modes[2][2];
        for (int tool = 0; tool < 2; ++tool) {
            const std::string base = Path(sub) + (tool ? "/tool" : "/fast");
            fs_testing::ForceToolPath(tool == 1);
            const mode_t old = ::umask(mask);
            const uint32_t result = CreateDirectoryPath(W(base + "/parent/leaf"));
            ::umask(old);
            fs_testing::ForceToolPath(false);
            ASSERT_EQ(result, 0u) << mask;
            modes[tool][0] = ModeOf(base + "/parent");
            modes[tool][1] = ModeOf(base + "/parent/leaf");
        }
        EXPECT_EQ(modes[0][0], modes[1][0]) << std::oct << mask;
        EXPECT_EQ(modes[0][1], modes[1][1]) << std::oct << mask;
        EXPECT_EQ(modes[0][1], 0777u & ~mask);
        EXPECT_EQ(modes[0][0], (0777u & ~mask) | 0300u);
    }
}

TEST_F(DirOpsTest, MovePathCases) {
    Outcome out = BothWays(
        [](const std::string& d) {
            WriteText(d + "/plain", "1");
            WriteText(d + "/over", "2");
            WriteText(d + "/old", "old");
            WriteText(d + "/into", "3");
            WriteText(d + "/vialink", "4");
            WriteText(d + "/self", "5");
            WriteText(d + "/nodir", "6");
            ASSERT_EQ(::mkdir((d + "/dir").c_str(), 0700), 0);
            ASSERT_EQ(::mkdir((d + "/target").c_str(), 0700), 0);
            ASSERT_EQ(::symlink("target", (d + "/dirlink").c_str()), 0);
            ASSERT_EQ(::symlink("plain", (d + "/filelink").c_str()), 0);
            ASSERT_EQ(::mkdir((d + "/tree").c_str(), 0700), 0);
            WriteText(d + "/tree/leaf", "7");
        },
        [](const std::string& d) {
            return Num(MovePath(W(d + "/missing"), W(d + "/x"))) +        // missing source
                   Num(MovePath(W(d + "/plain"), W(d + "/renamed"))) +    // new name
                   Num(MovePath(W(d + "/over"), W(d + "/old"))) +         // existing file replaced
                   Num(MovePath(W(d + "/into"), W(d + "/dir"))) +         // into a directory
                   Num(MovePath(W(d + "/vialink"), W(d + "/dirlink"))) +  // into a linked directory
                   Num(MovePath(W(d + "/self"), W(d + "/self"))) +        // the same file
                   Num(MovePath(W(d + "/nodir"), W(d + "/none/x"))) +     // missing destination directory
                   Num(MovePath(W(d + "/filelink"), W(d + "/moved_link"))) +
                   Num(MovePath(W(d + "/tree"), W(d + "/tree2")));
        });
    EXPECT_EQ(out.results, "2 0 0 0 0 2 2 0 0 ");
    EXPECT_EQ(out.tree,
              "dir/{into=3} dirlink@ moved_link@ nodir=6 old=2 renamed=1 self=5 target/{vialink=4} tree2/{leaf=7}");
}

TEST_F(DirOpsTest, DeleteFilePathCases) {
    Outcome out = BothWays(
        [](const std::string& d) {
            WriteText(d + "/file", "f");
            WriteText(d + "/kept", "k");
            ASSERT_EQ(::symlink("kept", (d + "/link").c_str()), 0);
            ASSERT_EQ(::mkdir((d + "/dir").c_str(), 0700), 0);
        },
        [](const std::string& d) {
            // Gone or never there is success; a directory stays, and says why.
            const std::string results = Num(DeleteFilePath(W(d + "/file"))) + Num(DeleteFilePath(W(d + "/link"))) +
                                        Num(DeleteFilePath(W(d + "/missing"))) +
                                        Num(DeleteFilePath(W(d + "/kept/below"))) + Num(DeleteFilePath(W(d + "/dir")));
            return results + Num(static_cast<uint32_t>(GetLastFileErrno()));
        });
    EXPECT_EQ(out.results, "0 0 0 0 87 " + std::to_string(EISDIR) + " ");
    EXPECT_EQ(out.tree, "dir/{} kept=k");
}

TEST_F(DirOpsTest, RemoveDirectoryTreeCases) {
    Outcome out = BothWays(
        [](const std::string& d) {
            ASSERT_EQ(::mkdir((d + "/empty").c_str(), 0700), 0);
            ASSERT_EQ(::mkdir((d + "/full").c_str(), 0700), 0);
            WriteText(d + "/full/x", "x");
            WriteText(d + "/file", "f");
            ASSERT_EQ(::mkdir((d + "/kept").c_str(), 0700), 0);
            WriteText(d + "/kept/inside", "i");
            ASSERT_EQ(::symlink("kept", (d + "/link").c_str()), 0);
        },
        [](const std::string& d) {
            return Num(RemoveDirectoryTree(W(d + "/empty"))) + Num(RemoveDirectoryTree(W(d + "/full/"))) +
                   Num(RemoveDirectoryTree(W(d + "/file"))) + Num(RemoveDirectoryTree(W(d + "/missing"))) +
                   Num(RemoveDirectoryTree(W(d + "/link/")));  // the link goes, its directory stays full
        });
    EXPECT_EQ(out.results, "0 0 0 0 0 ");
    EXPECT_EQ(out.tree, "kept/{inside=i}");
}

TEST_F(DirOpsTest, CreateDirectoryExclusiveNeverTakesAnExistingName) {
    EXPECT_EQ(CreateDirectoryExclusive(WPath("mine"), 0700), 0u);
    EXPECT_EQ(ModeOf(Path("mine")), 0700u);
    EXPECT_EQ(CreateDirectoryExclusive(WPath("mine"), 0700), ERROR_ALREADY_EXISTS);
    ASSERT_EQ(::symlink("elsewhere", Path("planted").c_str()), 0);
    EXPECT_EQ(CreateDirectoryExclusive(WPath("planted"), 0700), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(Exists(Path("elsewhere")));
    EXPECT_EQ(CreateDirectoryExclusive(WPath("no/parent"), 0700), ERROR_FILE_NOT_FOUND);
}

// Moves across file systems need the tool; rename alone would fail with EXDEV.
class CrossDeviceTest : public DirOpsTest {
protected:
    void SetUp() override {
        DirOpsTest::SetUp();
        mount_ = Path("mnt");
        ASSERT_EQ(::mkdir(mount_.c_str(), 0700), 0);
        if (::mount("tpl_fs_test", mount_.c_str(), "tmpfs", 0, "size=1m") != 0) {
            mount_.clear();
            GTEST_SKIP() << "cannot mount a tmpfs here";
        }
    }
    void TearDown() override {
        if (!mount_.empty()) ::umount(mount_.c_str());
        DirOpsTest::TearDown();
    }
    std::string mount_;
};

TEST_F(CrossDeviceTest, MovePathAcrossFileSystems) {
    for (int tool = 0; tool < 2; ++tool) {
        const std::string name = tool ? "tool" : "fast";
        WriteText(Path(name), "payload");
        WriteText(mount_ + "/existing_" + name, "old");
        fs_testing::ForceToolPath(tool == 1);
        EXPECT_EQ(MovePath(W(Path(name)), W(mount_ + "/" + name)), 0u);
        EXPECT_EQ(MovePath(W(mount_ + "/" + name), W(Path("back_" + name))), 0u);
        EXPECT_EQ(MovePath(W(Path("back_" + name)), W(mount_ + "/existing_" + name)), 0u);
        fs_testing::ForceToolPath(false);
        EXPECT_EQ(ReadText(mount_ + "/existing_" + name), "payload");
        EXPECT_FALSE(Exists(Path(name)));
        EXPECT_FALSE(Exists(Path("back_" + name)));
    }
}

TEST_F(CrossDeviceTest, MoveTreeAcrossFileSystems) {
    ASSERT_EQ(::mkdir(Path("src").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("src/sub").c_str(), 0700), 0);
    WriteText(Path("src/a"), "a");
    WriteText(Path("src/sub/b"), "b");
    ASSERT_EQ(::mkdir((mount_ + "/sub").c_str(), 0700), 0);
    MoveTree(W(mount_), WPath("src"));
    EXPECT_EQ(Listing(mount_), "a=a sub/{b=b}");
    EXPECT_EQ(Listing(Path("src")), "sub/{}");
}

}  // namespace

}  // namespace tpl
