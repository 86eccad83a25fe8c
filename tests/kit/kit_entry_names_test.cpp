// Kit entry names become paths inside the template directory, or are refused.
#include <gtest/gtest.h>
#include "kit/kit_entry_names.h"
#include "support/wide_text.h"

namespace tpl {

namespace {
std::string Relative(const std::u16string& name) {
    WideString relative(u"unchanged");
    if (!MakeRelativeEntryPath(WideString(name.data(), static_cast<uint32_t>(name.size())), &relative))
        return "<refused>";
    return Narrow(relative);
}
}  // namespace

TEST(KitEntryNames, EntryNamesNormaliseToOneSpellingOrAreRefused) {
    setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(Relative(u"a\\b\\c.cfg"), "a/b/c.cfg");
    EXPECT_EQ(Relative(u"a/b\\c.cfg"), "a/b/c.cfg");
    EXPECT_EQ(Relative(u"\\a//.\\b/"), "a/b");
    EXPECT_EQ(Relative(u"..cfg/x..y"), "..cfg/x..y");
    EXPECT_EQ(Relative(u"star*name?.cfg"), "star*name?.cfg");
    // Dots that make no "." or ".." component are kept as they are.
    EXPECT_EQ(Relative(u".../.b.\\c."), ".../.b./c.");

    EXPECT_EQ(Relative(u""), "<refused>");
    EXPECT_EQ(Relative(u"/./\\"), "<refused>");
    EXPECT_EQ(Relative(u".."), "<refused>");
    EXPECT_EQ(Relative(u"a\\..\\..\\b"), "<refused>");
    EXPECT_EQ(Relative(u"a/..\\b"), "<refused>");
    EXPECT_EQ(Relative(std::u16string(u"a\0/../x", 7)), "<refused>");
    EXPECT_EQ(Relative(std::u16string(u"ab\0c/d", 6)), "<refused>");
}

}  // namespace tpl
