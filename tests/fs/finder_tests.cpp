#include <set>
#include <string>
#include <unistd.h>
#include "fs/file_finder.h"
#include "fs_test_support.h"
#include "text/convert.h"

namespace tpl {

namespace {

class FinderTest : public FsTest {
protected:
    // name -> "d" (directory attribute), "f", with "@" for a link itself.
    std::set<std::string> FindAll(const std::string& searchPath) {
        std::set<std::string> found;
        FileFinder finder;
        for (bool more = finder.FindFirst(W(searchPath)); more; more = finder.FindNext()) {
            std::string kind = (finder.FoundAttributes() & FILE_ATTRIBUTE_DIRECTORY) ? "d" : "f";
            if (finder.FoundIsSymbolicLink()) kind += "@";
            found.insert(std::string(ToNarrow(finder.FoundName()).Data()) + ":" + kind);
        }
        return found;
    }
};

TEST_F(FinderTest, WildcardListsEverythingIncludingHiddenAndDots) {
    WriteText(Path("a.txt"), "");
    WriteText(Path(".hidden"), "");
    ASSERT_EQ(::mkdir(Path("sub").c_str(), 0700), 0);
    EXPECT_EQ(FindAll(Path("*")), (std::set<std::string>{".:d", "..:d", ".hidden:f", "a.txt:f", "sub:d"}));
    // The listing built on it leaves the two dots out and keeps the kinds.
    ASSERT_EQ(::symlink("sub", Path("link").c_str()), 0);
    std::set<std::string> listed;
    for (const DirectoryEntry& entry : ListDirectory(W(Path("")))) {
        listed.insert(std::string(ToNarrow(entry.name).Data()) + ":" + (entry.isDirectory ? "d" : "f") +
                      (entry.isSymbolicLink ? "@" : ""));
    }
    EXPECT_EQ(listed, (std::set<std::string>{".hidden:f", "a.txt:f", "sub:d", "link:d@"}));
    listed.clear();
    for (const DirectoryEntry& entry : ListDirectory(W(Path("")), u"*.txt"))
        listed.insert(std::string(ToNarrow(entry.name).Data()));
    EXPECT_EQ(listed, (std::set<std::string>{"a.txt"}));
}

TEST_F(FinderTest, PatternSelectsAndBackslashIsOrdinary) {
    WriteText(Path("a.txt"), "");
    WriteText(Path("b.txt"), "");
    WriteText(Path("c.dat"), "");
    WriteText(Path("x\\y.dat"), "");
    EXPECT_EQ(FindAll(Path("*.txt")), (std::set<std::string>{"a.txt:f", "b.txt:f"}));
    EXPECT_EQ(FindAll(Path("x\\*")), (std::set<std::string>{"x\\y.dat:f"}));
}

TEST_F(FinderTest, SingleEntryModeIsAnExistenceTest) {
    WriteText(Path("plain"), "");
    WriteText(Path("what?"), "");
    FileFinder finder;
    ASSERT_TRUE(finder.FindFirst(WPath("plain")));
    EXPECT_EQ(std::string(ToNarrow(finder.FoundName()).Data()), "plain");
    EXPECT_FALSE(finder.FindNext());
    // "?" and "[" alone do not select wildcard mode.
    EXPECT_TRUE(finder.FindFirst(WPath("what?")));
    EXPECT_FALSE(finder.FindFirst(WPath("wha[t]?")));
    EXPECT_FALSE(finder.FindFirst(WPath("missing")));
    EXPECT_TRUE(finder.FindFirst(W(root_)));
    EXPECT_EQ(finder.FoundAttributes(), FILE_ATTRIBUTE_DIRECTORY);
    // Without any "/" a wildcard search path names no directory.
    EXPECT_FALSE(finder.FindFirst(u"*"));
}

TEST_F(FinderTest, MissingDirectoryFindsNothing) {
    FileFinder finder;
    EXPECT_FALSE(finder.FindFirst(WPath("nowhere/*")));
    EXPECT_FALSE(finder.FindNext());
}

TEST_F(FinderTest, LinksAreFollowedForAttributesAndFlagged) {
    ASSERT_EQ(::mkdir(Path("dir").c_str(), 0700), 0);
    WriteText(Path("file"), "");
    ASSERT_EQ(::symlink("dir", Path("to_dir").c_str()), 0);
    ASSERT_EQ(::symlink("file", Path("to_file").c_str()), 0);
    ASSERT_EQ(::symlink("gone", Path("dangling").c_str()), 0);
    WriteText(Path("z_after"), "");
    // The dangling link neither ends the walk nor hides the entries after it.
    EXPECT_EQ(FindAll(Path("*")), (std::set<std::string>{".:d", "..:d", "dangling:f@", "dir:d", "file:f", "to_dir:d@",
                                                         "to_file:f@", "z_after:f"}));
    FileFinder finder;
    ASSERT_TRUE(finder.FindFirst(WPath("to_dir")));
    EXPECT_TRUE(finder.FoundIsSymbolicLink());
    EXPECT_EQ(finder.FoundAttributes(), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(FinderTest, RootSpecListsTheRoot) {
    std::set<std::string> found = FindAll("/*");
    EXPECT_TRUE(found.count("tmp:d") || found.count("usr:d")) << found.size();
}

TEST_F(FinderTest, FinderCanBeReusedAndClosedTwice) {
    WriteText(Path("a"), "");
    FileFinder finder;
    ASSERT_TRUE(finder.FindFirst(WPath("*")));
    ASSERT_TRUE(finder.FindFirst(WPath("*")));  // the first stream is closed, not leaked
    finder.FindClose();
    finder.FindClose();
    EXPECT_FALSE(finder.FindNext());
}

TEST_F(FinderTest, PathExistsTakesNamesLiterally) {
    WriteText(Path("star*name"), "");
    EXPECT_TRUE(PathExists(WPath("star*name")));
    EXPECT_FALSE(PathExists(WPath("st*")));
    EXPECT_TRUE(PathExists(W(root_)));
    ASSERT_EQ(::symlink("gone", Path("dangling").c_str()), 0);
    EXPECT_FALSE(PathExists(WPath("dangling")));  // the link's target is what counts
}

}  // namespace

}  // namespace tpl
