#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "text/utf8.h"

namespace tpl {

namespace {

std::u16string Text(const WideString& s) { return std::u16string(s.Data(), s.Length()); }
std::string Bytes(const NarrowString& s) { return std::string(s.Data(), s.Length()); }

// The C locale cannot represent any of these characters; the conversions
// must not care.
class Utf8 : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, "C");
    }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }

private:
    std::string saved_;
};

TEST_F(Utf8, RoundTripsEveryPlaneInTheCLocale) {
    const std::u16string text = u"\u00e9\u0428\u0540\u10d0\u6a21\U0001F600z";
    const std::string utf8 = "\xc3\xa9\xd0\xa8\xd5\x80\xe1\x83\x90\xe6\xa8\xa1\xf0\x9f\x98\x80z";
    EXPECT_EQ(utf8, Bytes(ToUtf8(WideString(text.data(), static_cast<uint32_t>(text.size())))));
    EXPECT_EQ(text, Text(FromUtf8(utf8.c_str())));
    EXPECT_TRUE(ToUtf8(WideString()).Empty());
    EXPECT_TRUE(FromUtf8(nullptr).Empty());
}

TEST_F(Utf8, LoneSurrogatesBecomeReplacementCharacters) {
    const char16_t units[] = {u'a', 0xD800, u'b', 0xDC00, 0xDBFF};
    EXPECT_EQ("a\xef\xbf\xbd" "b\xef\xbf\xbd\xef\xbf\xbd", Bytes(ToUtf8(WideString(units, 5))));
}

TEST_F(Utf8, MalformedBytesBecomeOneReplacementEach) {
    // Overlong "/", a cut sequence, an encoded surrogate, beyond U+10FFFF,
    // a stray continuation byte, then text that must survive.
    const std::string bad = "\xc0\xaf|\xe2\x82|\xed\xa0\x80|\xf4\x90\x80\x80|\x80ok";
    const std::u16string got = Text(FromUtf8(bad.data(), bad.size()));
    EXPECT_EQ(u"\uFFFD\uFFFD|\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD\uFFFD|\uFFFDok", got);
    // An embedded 0 byte is text when the length is given.
    EXPECT_EQ(3u, FromUtf8("a\0b", 3).Length());
}

}  // namespace

}  // namespace tpl
