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
    // Each row holds for the text and for the bytes alike.
    const struct {
        const char* path;
        const char* parent;
        const char* trimmed;
    } rows[] = {
        {"/t/a/b.cfg", "/t/a", "/t/a/b.cfg"},
        {"/t/a//b.cfg//", "/t/a", "/t/a//b.cfg"},
        {"/b.cfg", "/", "/b.cfg"},
        {"//b.cfg/", "/", "//b.cfg"},
        {"/", "/", "/"},
        {"///", "/", "/"},
        {"b.cfg", ".", "b.cfg"},
        {"a/b", "a", "a/b"},
        {"", ".", ""},
    };
    for (const auto& row : rows) {
        const WideString wide = Wide(row.path);
        EXPECT_EQ(ParentDirectory(std::string(row.path)), row.parent) << row.path;
        EXPECT_EQ(ParentDirectory(wide), Wide(row.parent)) << row.path;
        EXPECT_EQ(WithoutFinalSeparator(std::string(row.path)), row.trimmed) << row.path;
        EXPECT_EQ(WithoutFinalSeparator(wide), Wide(row.trimmed)) << row.path;
    }
    EXPECT_EQ(NormalizeTargetDirectory(u"/t/x\\y"), W(u"/t/x\\y/"));
    EXPECT_EQ(NormalizeTargetDirectory(u"/t\\"), W(u"/t\\/"));
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
