// Path rules that are pure text, shared by the engine and the recovery.
#include <gtest/gtest.h>

#include "support/wide_text.h"
#include "text/path_text.h"

namespace tpl {

namespace {
WideString W(const char16_t* text) {
    return WideString(text);
}
}  // namespace

TEST(PathTextTest, ParentsAndTargetDirectories) {
    EXPECT_EQ(ParentDirectory(u"/t/a/b.cfg"), W(u"/t/a"));
    EXPECT_EQ(ParentDirectory(u"/b.cfg"), W(u"/"));
    EXPECT_EQ(ParentDirectory(u"b.cfg"), W(u""));
    EXPECT_EQ(DirectoryHolding("/t/a/b.cfg"), "/t/a");
    EXPECT_EQ(DirectoryHolding("/t/a//b.cfg//"), "/t/a");
    EXPECT_EQ(DirectoryHolding("/b.cfg"), "/");
    EXPECT_EQ(DirectoryHolding("/"), "/");
    EXPECT_EQ(DirectoryHolding("b.cfg"), ".");
    EXPECT_EQ(DirectoryHolding(""), ".");
    EXPECT_EQ(WithoutFinalSeparator(u"/t/a//"), W(u"/t/a"));
    EXPECT_EQ(WithoutFinalSeparator(u"/"), W(u"/"));
    EXPECT_EQ(NormalizeTargetDirectory(u"C:\\t\\x"), W(u"C:/t/x/"));
    EXPECT_EQ(NormalizeTargetDirectory(u"/t/"), W(u"/t/"));
    EXPECT_EQ(NormalizeTargetDirectory(WideString()), W(u""));
}

// Every unit counts, also one past a zero unit: a recovery must never take
// a sibling ("/t2/") or a longer name for a path below "/t/".
TEST(PathTextTest, PrefixesAndKeysCompareEveryUnit) {
    EXPECT_TRUE(PathStartsWith(u"/t/a.cfg", u"/t/"));
    EXPECT_TRUE(PathStartsWith(u"/t/", u"/t/"));
    EXPECT_TRUE(PathStartsWith(u"/t/", WideString()));
    EXPECT_FALSE(PathStartsWith(u"/t2/a.cfg", u"/t/"));
    EXPECT_FALSE(PathStartsWith(u"/t", u"/t/"));
    EXPECT_FALSE(PathStartsWith(u"/T/a", u"/t/"));
    const WideString withZero(u"/t\0x/", 5);
    EXPECT_FALSE(PathStartsWith(WideString(u"/t\0y/a", 6), withZero));
    EXPECT_EQ(PathKey(withZero).size(), 5u);
    EXPECT_NE(PathKey(withZero), PathKey(u"/t"));
}

}  // namespace tpl
