#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "text/convert.h"

namespace tpl {

namespace {

std::u16string Text(const WideString& s) { return std::u16string(s.Data(), s.Length()); }
std::string Bytes(const NarrowString& s) { return std::string(s.Data(), s.Length()); }

class Convert : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("LC_ALL", "C.UTF-8", 1);
        InitProcessLocale();
    }
};

TEST_F(Convert, RoundTripsUnicodeText) {
    const WideString wide(u"/home/\u00e9l\u00e8ve/\u0428\u0430\u0431\u043b\u043e\u043d\u044b/\u6a21\u677f");
    const NarrowString narrow = ToNarrow(wide);
    EXPECT_EQ("/home/\xc3\xa9l\xc3\xa8ve/\xd0\xa8\xd0\xb0\xd0\xb1\xd0\xbb\xd0\xbe\xd0\xbd\xd1\x8b/"
              "\xe6\xa8\xa1\xe6\x9d\xbf",
              Bytes(narrow));
    EXPECT_EQ(Text(wide), Text(ToWide(narrow)));
    EXPECT_EQ(Text(wide), Text(ToWide(narrow.Data())));
    EXPECT_TRUE(ToNarrow(WideString()).Empty());
    EXPECT_TRUE(ToWide(NarrowString()).Empty());
    EXPECT_TRUE(ToWide(static_cast<const char*>(nullptr)).Empty());
}

TEST_F(Convert, CharacterAboveBmpIsASurrogatePairBothWays) {
    // U+1F600 in UTF-8, between two ASCII letters: a path the user typed
    // must name the same directory after the round trip.
    const WideString w = ToWide("a\xf0\x9f\x98\x80z");
    EXPECT_EQ(u"a\U0001F600z", Text(w));
    EXPECT_EQ("a\xf0\x9f\x98\x80z", Bytes(ToNarrow(w)));
    // A high surrogate at the very end has no partner.
    const char16_t cut[] = {u'a', 0xD83D, 0};
    EXPECT_TRUE(ToNarrow(WideString(cut)).Empty());
}

TEST_F(Convert, UnconvertibleTextGivesAnEmptyString) {
    // A lone surrogate has no UTF-8 form; invalid UTF-8 has no characters.
    const char16_t lone[] = {u'/', u't', u'm', u'p', u'/', 0xD800, u'x', 0};
    EXPECT_TRUE(ToNarrow(WideString(lone)).Empty());
    EXPECT_TRUE(ToWide("/tmp/\xff" "x").Empty());

    std::u16string longText(3000, u'\u00e9');
    longText += char16_t(0xDC00);
    EXPECT_TRUE(ToNarrow(WideString(longText.data(), uint32_t(longText.size()))).Empty());
    std::string longBytes(5000, 'a');
    longBytes += "\xc3";  // truncated sequence at the very end
    EXPECT_TRUE(ToWide(longBytes.c_str()).Empty());
}

TEST_F(Convert, LongTextsConvertCompletely) {
    // Longer than any internal stack buffer, with multibyte characters.
    std::u16string text;
    for (int i = 0; i < 3000; ++i) text += (i % 3 == 0) ? u'\u6a21' : u'q';
    const WideString wide(text.data(), uint32_t(text.size()));
    const NarrowString narrow = ToNarrow(wide);
    EXPECT_EQ(1000u * 3 + 2000u, narrow.Length());
    EXPECT_EQ(text, Text(ToWide(narrow)));
}

TEST_F(Convert, EmbeddedZeroEndsTheText) {
    const char16_t units[] = {u'a', u'b', 0, u'c'};
    EXPECT_EQ("ab", Bytes(ToNarrow(WideString(units, 4))));
    const char bytes[] = {'x', 0, 'y'};
    EXPECT_EQ(u"x", Text(ToWide(NarrowString(bytes, 3))));
}

TEST_F(Convert, TwoThreadsConvertAtOnce) {
    const WideString path(u"/home/user/\u0428\u0430\u0431\u043b\u043e\u043d\u044b/file-name.cfg");
    const NarrowString expected = ToNarrow(path);
    auto work = [&](int* mismatches) {
        for (int i = 0; i < 20000; ++i) {
            const NarrowString n = ToNarrow(path);
            if (!n.Equals(expected) || !ToWide(n).Equals(path)) ++*mismatches;
        }
    };
    int first = 0;
    int second = 0;
    std::thread a(work, &first), b(work, &second);
    a.join();
    b.join();
    EXPECT_EQ(0, first);
    EXPECT_EQ(0, second);
}

}  // namespace

}  // namespace tpl
