// The catalog's texts on a terminal: in the locale's encoding, or English.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "session/console_text.h"
#include "support/catalog_fixture.h"
#include "support/legacy_locale.h"

namespace tpl {

namespace {

std::string Bytes(const NarrowString& s) { return std::string(s.Data(), s.Length()); }

using ConsoleTextTest = CatalogTest;

TEST_F(ConsoleTextTest, TextsTakeTheLocalesEncodingOrFallBackToEnglish) {
    MessageCatalog::SetCurrentLanguage(MessageCatalog::FindLanguage("ru"));
    EXPECT_EQ(Bytes(ConsoleCatalogText("IDS_WIZARD_NEXT")), "Далее >");
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(Bytes(ConsoleCatalogText("IDS_WIZARD_NEXT")), "Next >");
    if (!SelectKoi8Locale()) GTEST_SKIP() << "no KOI8-R locale";
    // "Далее >" in KOI8-R, not the catalog's UTF-8 bytes.
    const std::string koi8 = Bytes(ConsoleCatalogText("IDS_WIZARD_NEXT"));
    RestoreLocale("C.UTF-8");
    EXPECT_EQ(koi8, "\xe4\xc1\xcc\xc5\xc5 >");
}

// A path is printed as the file system spells it, as a file listing would,
// never as an empty string.
TEST_F(ConsoleTextTest, PathsPrintAsTheirBytes) {
    const std::u16string typed = u"/tmp/\u0428\u0430\u0431";
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(Bytes(ConsolePath(WideString(typed.data(), static_cast<uint32_t>(typed.size())))),
              "/tmp/\xd0\xa8\xd0\xb0\xd0\xb1");
}

}  // namespace

}  // namespace tpl
