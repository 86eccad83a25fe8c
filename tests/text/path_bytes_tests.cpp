#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "support/legacy_locale.h"
#include "text/path_bytes.h"

namespace tpl {

namespace {

std::string Bytes(const NarrowString& s) { return std::string(s.Data(), s.Length()); }
WideString Wide(const std::u16string& s) { return WideString(s.data(), static_cast<uint32_t>(s.size())); }
std::u16string Text(const WideString& s) { return std::u16string(s.Data(), s.Length()); }

// Bytes no locale decodes, UTF-8 Cyrillic, KOI8-R Cyrillic, a character
// above U+FFFF and a four-byte form beyond U+10FFFF that the C library
// still decodes (found by fuzzing), each as a file name might hold them.
const std::string kNames[] = {"/tmp/\xff\xfe", "/tmp/\xd0\xa8\xd0\xb0\xd0\xb1", "/tmp/\xf7\xc1\xc2",
                              "/tmp/a\xf0\x9f\x98\x80z", "/tmp/\xe2\x82", "/tmp/\xf6\xbd\xbd\xbd"};

class PathBytes : public ::testing::Test {
protected:
    void SetUp() override { saved_ = std::setlocale(LC_ALL, nullptr); }
    void TearDown() override { RestoreLocale(saved_); }

    static void ExpectEveryNameComesBack(const char* locale) {
        for (const std::string& name : kNames) {
            const WideString path = PathFromBytes(name.c_str());
            EXPECT_EQ(Bytes(PathToBytes(path)), name) << locale;
        }
    }

private:
    std::string saved_;
};

TEST_F(PathBytes, EveryNameOnDiskComesBackAsTheSameBytes) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    ExpectEveryNameComesBack("C");
    EXPECT_TRUE(HasEscapedBytes(PathFromBytes("/tmp/\xd0\xa8")));
    EXPECT_FALSE(HasEscapedBytes(PathFromBytes("/tmp/plain")));
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    ExpectEveryNameComesBack("C.UTF-8");
    EXPECT_EQ(Text(PathFromBytes("/tmp/\xd0\xa8")), u"/tmp/\u0428");
    EXPECT_TRUE(HasEscapedBytes(PathFromBytes("/tmp/\xff")));
    EXPECT_FALSE(HasEscapedBytes(PathFromBytes("/tmp/a\xf0\x9f\x98\x80z")));
    if (!SelectKoi8Locale()) GTEST_SKIP() << "no KOI8-R locale";
    ExpectEveryNameComesBack("KOI8-R");
}

TEST_F(PathBytes, TypedCharactersTheLocaleLacksAreWrittenAsUtf8) {
    const WideString cyrillic = Wide(u"/tmp/\u0428\u0430\u0431");
    const WideString chinese = Wide(u"/tmp/\u6a21\u677f");
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(Bytes(PathToBytes(cyrillic)), "/tmp/\xd0\xa8\xd0\xb0\xd0\xb1");
    // The typed name and the name read back from disk name the same file.
    EXPECT_EQ(Bytes(PathToBytes(PathFromBytes(Bytes(PathToBytes(cyrillic)).c_str()))),
              Bytes(PathToBytes(cyrillic)));
    if (!SelectKoi8Locale()) GTEST_SKIP() << "no KOI8-R locale";
    EXPECT_EQ(Bytes(PathToBytes(cyrillic)), "/tmp/\xfb\xc1\xc2");
    EXPECT_EQ(Text(PathFromBytes("/tmp/\xfb\xc1\xc2")), u"/tmp/\u0428\u0430\u0431");
    EXPECT_EQ(Bytes(PathToBytes(chinese)), "/tmp/\xe6\xa8\xa1\xe6\x9d\xbf");
}

TEST_F(PathBytes, UnwritablePathsAreEmptyNeverShortened) {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_TRUE(PathToBytes(Wide(u"/tmp/x\xD800y")).Empty());
    EXPECT_TRUE(PathToBytes(Wide(u"/tmp/x\xDC10")).Empty());  // not an escaped byte
    EXPECT_EQ(Bytes(PathToBytes(Wide(std::u16string(u"/tmp/a\0/b", 9)))), "/tmp/a");
    EXPECT_TRUE(PathFromBytes(nullptr).Empty());
}

}  // namespace

}  // namespace tpl
