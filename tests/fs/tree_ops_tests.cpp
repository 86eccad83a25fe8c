#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/path_ops.h"
#include "fs/tree_ops.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

class TreeWalkTest : public FsTest {
protected:
    // outside/{precious=keep, deep/{more=keep}} and a tree that links to it.
    void MakeTreeWithLinks(const std::string& tree) {
        ASSERT_EQ(::mkdir(Path("outside").c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(Path("outside/deep").c_str(), 0700), 0);
        WriteText(Path("outside/precious"), "keep");
        WriteText(Path("outside/deep/more"), "keep");
        ASSERT_EQ(::mkdir(Path(tree).c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(Path(tree + "/sub").c_str(), 0700), 0);
        WriteText(Path(tree + "/.hidden"), "h");
        WriteText(Path(tree + "/sub/file"), "f");
        ASSERT_EQ(::symlink(Path("outside").c_str(), Path(tree + "/sub/to_outside").c_str()), 0);
        ASSERT_EQ(::symlink(Path("outside/precious").c_str(), Path(tree + "/to_file").c_str()), 0);
        ASSERT_EQ(::symlink("gone", Path(tree + "/dangling").c_str()), 0);
    }
};

TEST_F(TreeWalkTest, MoveTreePutsFilesBackAndMovesLinksAsLinks) {
    MakeTreeWithLinks("backup");
    ASSERT_EQ(::mkdir(Path("dest").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("dest/sub").c_str(), 0700), 0);
    WriteText(Path("dest/sub/file"), "replaced");
    MoveTree(WPath("dest"), WPath("backup"));

    // Every file and link came back, overwriting what stood there.
    EXPECT_EQ(Listing(Path("dest")), ".hidden=h dangling@ sub/{file=f to_outside@} to_file@");
    EXPECT_TRUE(IsLink(Path("dest/sub/to_outside")));
    // Nothing was moved out of the directory behind the link; the source
    // keeps its (now empty) directories.
    EXPECT_EQ(Listing(Path("outside")), "deep/{more=keep} precious=keep");
    EXPECT_EQ(Listing(Path("backup")), "sub/{}");
}

TEST_F(TreeWalkTest, MoveTreeCreatesNoDirectoriesAndLeavesUnmovableFiles) {
    ASSERT_EQ(::mkdir(Path("backup").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("backup/gone").c_str(), 0700), 0);
    WriteText(Path("backup/gone/f"), "stays");
    WriteText(Path("backup/top"), "moves");
    ASSERT_EQ(::mkdir(Path("dest").c_str(), 0700), 0);
    MoveTree(WPath("dest/"), WPath("backup/"));
    EXPECT_EQ(Listing(Path("dest")), "top=moves");
    EXPECT_EQ(Listing(Path("backup")), "gone/{f=stays}");
}

TEST_F(TreeWalkTest, MoveTreeOfManyFilesMovesEachOnce) {
    ASSERT_EQ(::mkdir(Path("src").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("dst").c_str(), 0700), 0);
    for (int i = 0; i < 500; ++i) WriteText(Path("src/f" + std::to_string(i)), std::to_string(i));
    MoveTree(WPath("dst"), WPath("src"));
    EXPECT_EQ(Listing(Path("src")), "");
    for (int i = 0; i < 500; i += 97) EXPECT_EQ(ReadText(Path("dst/f" + std::to_string(i))), std::to_string(i));
}

}  // namespace

namespace {

// Names that are not text in the locale cannot be named by the walk; they
// must neither stop it nor send it back into the same directory.
// A name that is not text in the locale is a file like any other: it moves
// with the rest instead of staying behind to be removed with the source.
TEST_F(TreeWalkTest, NamesThatAreNotTextInTheLocaleMoveToo) {
    ASSERT_EQ(::mkdir(Path("tree").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("tree/\xfe").c_str(), 0700), 0);
    WriteText(Path("tree/\xfe/inner"), "i");
    WriteText(Path("tree/\xff"), "x");
    WriteText(Path("tree/ok"), "ok");
    ASSERT_EQ(::mkdir(Path("dest").c_str(), 0700), 0);
    MoveTree(WPath("dest"), WPath("tree"));
    EXPECT_EQ(Listing(Path("dest")), "ok=ok \xff=x");
    EXPECT_EQ(RemoveDirectoryTree(WPath("tree")), 0u);
    EXPECT_FALSE(Exists(Path("tree")));
}

}  // namespace

}  // namespace tpl
