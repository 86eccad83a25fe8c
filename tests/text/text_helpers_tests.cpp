#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "text/convert.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

std::u16string Text(const WideString& s) { return std::u16string(s.Data(), s.Length()); }

TEST(FromInteger, FormatsSignedDecimalAndUnsignedOtherRadices) {
    EXPECT_EQ(u"0", Text(FromInteger(0, 10)));
    EXPECT_EQ(u"-15", Text(FromInteger(-15, 10)));
    EXPECT_EQ(u"fffffff1", Text(FromInteger(-15, 16)));
    EXPECT_EQ(u"-2147483648", Text(FromInteger(INT_MIN, 10)));
    EXPECT_EQ(u"2147483647", Text(FromInteger(INT_MAX, 10)));
    EXPECT_EQ(u"11111111111111111111111111111111", Text(FromInteger(-1, 2)));
    EXPECT_EQ(u"z", Text(FromInteger(35, 36)));
    EXPECT_TRUE(FromInteger(7, 0).Empty());
    EXPECT_TRUE(FromInteger(7, 1).Empty());
    EXPECT_TRUE(FromInteger(7, 37).Empty());
}

TEST(ReplaceAll, EqualLengthsOverwriteInPlace) {
    WideString s(u"\\\\\\");
    EXPECT_EQ(3, ReplaceAll(s, u"\\", u"/"));
    EXPECT_EQ(u"///", Text(s));

    // A subject sharing its block with a copy gets a block of its own.
    WideString path(u"C:\\templates\\sub\\file.cfg");
    const WideString copy = path;
    EXPECT_EQ(3, ReplaceAll(path, u"\\", u"/"));
    EXPECT_EQ(u"C:/templates/sub/file.cfg", Text(path));
    EXPECT_EQ(u"C:\\templates\\sub\\file.cfg", Text(copy));

    WideString self(u"same text twice");
    EXPECT_EQ(1, ReplaceAll(self, self, u"SAME TEXT TWICE"));
    EXPECT_EQ(u"SAME TEXT TWICE", Text(self));
}

TEST(ReplaceAll, MatchesDoNotOverlapAndNothingChangesWithoutOne) {
    WideString s(u"aaa");
    EXPECT_EQ(1, ReplaceAll(s, u"aa", u"b"));
    EXPECT_EQ(u"ba", Text(s));

    WideString unchanged(u"abc");
    EXPECT_EQ(0, ReplaceAll(unchanged, WideString(), u"x"));
    EXPECT_EQ(0, ReplaceAll(unchanged, u"abcd", u"x"));
    EXPECT_EQ(0, ReplaceAll(unchanged, u"zz", u"x"));
    EXPECT_EQ(u"abc", Text(unchanged));
    WideString empty;
    EXPECT_EQ(0, ReplaceAll(empty, u"a", u"b"));

    // Inserted text is not scanned again.
    WideString grow(u"a-a");
    EXPECT_EQ(2, ReplaceAll(grow, u"a", u"aa"));
    EXPECT_EQ(u"aa-aa", Text(grow));
}

TEST(ReplaceAll, DifferentLengthsRebuildOnceAtExactSize) {
    std::u16string input;
    std::u16string expected;
    for (int i = 0; i < 100; ++i) {
        input += u"dir\\";
        expected += u"dir//";
    }
    WideString s(input.data(), uint32_t(input.size()));
    EXPECT_EQ(100, ReplaceAll(s, u"\\", u"//"));
    EXPECT_EQ(expected, Text(s));
    EXPECT_EQ(s.Length() + 2, s.Capacity());

    EXPECT_EQ(100, ReplaceAll(s, u"//", WideString()));
    EXPECT_EQ(300u, s.Length());
    EXPECT_EQ(0, s.Find(WideString(u"dirdir")));
}

TEST(PathHelpers, SeparatorsAndParents) {
    EXPECT_EQ(u"/", Text(WithSeparator(u"/")));
    EXPECT_EQ(u"/home/", Text(WithSeparator(u"/home")));
    EXPECT_EQ(u"/home/", Text(WithSeparator(u"/home/")));
    EXPECT_EQ(u"C:\\dir\\", Text(WithSeparator(u"C:\\dir\\")));
    EXPECT_EQ(u"/", Text(WithSeparator(WideString())));

    EXPECT_TRUE(PathIsRoot(u"/"));
    EXPECT_FALSE(PathIsRoot(u"//"));
    EXPECT_FALSE(PathIsRoot(WideString()));
}

TEST(CompareNoCase, IgnoresCaseOfTheNarrowForm) {
    setenv("LC_ALL", "C.UTF-8", 1);
    InitProcessLocale();
    EXPECT_EQ(0, CompareNoCase(u"English", u"ENGLISH"));
    EXPECT_LT(CompareNoCase(u"abc", u"ABD"), 0);
    EXPECT_GT(CompareNoCase(u"b", u"A"), 0);
    EXPECT_NE(0, CompareNoCase(u"en", u"eng"));
}

}  // namespace

TEST(ControlCharacters, AreFoundAndEscapedOnOneLine) {
    for (const char16_t* clean : {u"", u"/srv/tpl", u"/a b/\u00A0x/\u0080y", u"~/Vorlagen f\u00FCr"})
        EXPECT_FALSE(ContainsControlCharacter(clean)) << ToNarrow(WideString(clean)).Data();
    const WideString withZero(u"a\0b", 3);
    for (const WideString& control :
         {WideString(u"a\nb"), WideString(u"\t"), WideString(u"x\x7F"), withZero, WideString(u"\x1F/")})
        EXPECT_TRUE(ContainsControlCharacter(control)) << ToNarrow(EscapeControlCharacters(control)).Data();
    EXPECT_EQ(Text(EscapeControlCharacters(u"/tmp/a\nb\tc\rd")), u"/tmp/a\\nb\\tc\\rd");
    EXPECT_EQ(Text(EscapeControlCharacters(WideString(u"\x01-\x7F-", 4) + withZero)), u"\\x01-\\x7f-a\\x00b");
    EXPECT_EQ(Text(EscapeControlCharacters(u"plain\\path")), u"plain\\path");
    // The bytes form: the same escapes, and the bytes of other characters
    // (UTF-8 here) untouched.
    EXPECT_EQ(EscapeControlCharacters(std::string("a\nb\x1b\x7f\xc3\xa9\t", 8)), "a\\nb\\x1b\\x7f\xc3\xa9\\t");
    EXPECT_EQ(EscapeControlCharacters(std::string("\0\r", 2)), "\\x00\\r");
}

TEST(FormatPattern, PutsEachArgumentInItsPlaceOnce) {
    EXPECT_EQ(Text(FormatPattern(u"%1 files installed in %2", {u"12", u"/srv/t"})), u"12 files installed in /srv/t");
    // Order follows the numbers, not the arguments; an argument is not read again.
    EXPECT_EQ(Text(FormatPattern(u"%2: %1", {u"%2", u"b"})), u"b: %2");
    EXPECT_EQ(Text(FormatPattern(u"100% sure, %3 and %", {u"a"})), u"100% sure, %3 and %");
}

}  // namespace tpl
