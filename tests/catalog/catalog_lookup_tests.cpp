// Looking texts up: language codes, the current language, conversion.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <thread>
#include <vector>

#include "catalog/message_catalog.h"
#include "support/catalog_fixture.h"
#include "text/convert.h"
#include "support/wide_text.h"

namespace tpl {

namespace {

// Read during static initialisation of this file, before main and in an
// unspecified order relative to the catalog's files: the tables and the
// starting language must already be there.
const int32_t kLanguageBeforeMain = MessageCatalog::CurrentLanguage();
const char* const kTitleBeforeMain = MessageCatalog::FindUtf8(24, "IDR_MAINFRAME");

}  // namespace

using CatalogLookup = CatalogTest;

TEST_F(CatalogLookup, TablesAndEnglishAreReadyBeforeMain) {
    EXPECT_EQ(kLanguageBeforeMain, kEnglishLanguageId);
    ASSERT_NE(kTitleBeforeMain, nullptr);
    EXPECT_STREQ(kTitleBeforeMain, "Εγκατάσταση διαμόρφωσης");
}

TEST_F(CatalogLookup, FindLanguageIsExactAndCaseSensitive) {
    EXPECT_EQ(MessageCatalog::FindLanguage("en"), 5);
    EXPECT_EQ(MessageCatalog::FindLanguage("hy"), 1);
    EXPECT_EQ(MessageCatalog::FindLanguage("ar"), 22);
    EXPECT_EQ(MessageCatalog::FindLanguage("tk"), 23);
    EXPECT_EQ(MessageCatalog::FindLanguage("el"), 24);
    for (const char* code : {"EN", "En", "en_US", "e", "", "C", "POSIX", "eng", "xx"}) {
        EXPECT_EQ(MessageCatalog::FindLanguage(code), 0) << code;
    }
    // A code with an embedded zero is not the code before it.
    EXPECT_EQ(MessageCatalog::FindLanguage(NarrowString("en\0x", 4)), 0);
}

TEST_F(CatalogLookup, GetTextAnswersInTheCurrentLanguage) {
    EXPECT_EQ(Narrow(MessageCatalog::GetText("IDS_WIZARD_BACK")), "< Back");
    MessageCatalog::SetCurrentLanguage(17);
    EXPECT_EQ(MessageCatalog::CurrentLanguage(), 17);
    EXPECT_EQ(Narrow(MessageCatalog::GetText("IDS_WIZARD_NEXT")), "Далее >");
    MessageCatalog::SetCurrentLanguage(8);
    EXPECT_EQ(Narrow(MessageCatalog::GetText("IDR_MAINFRAME")), "Konfiguration wird installiert");
}

TEST_F(CatalogLookup, TextsAreWholeWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    MessageCatalog::SetCurrentLanguage(17);
    EXPECT_STREQ(MessageCatalog::GetUtf8("IDS_WIZARD_NEXT"), "Далее >");
    const WideString next = MessageCatalog::GetText("IDS_WIZARD_NEXT");
    EXPECT_EQ(std::u16string(next.Data(), next.Length()), u"Далее >");
    EXPECT_STREQ(MessageCatalog::GetUtf8("IDS_UNKNOWN"), "");
    MessageCatalog::SetCurrentLanguage(18);
    EXPECT_STREQ(MessageCatalog::GetUtf8("IDS_WIZARD_NEXT"), "");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST_F(CatalogLookup, UnknownIdsAndLanguagesGiveEmptyText) {
    for (int32_t language : {5, 4, 22}) {
        MessageCatalog::SetCurrentLanguage(language);
        EXPECT_TRUE(MessageCatalog::GetText("IDS_UNKNOWN").Empty()) << language;
        EXPECT_TRUE(MessageCatalog::GetText("IDS_WIZARD_BAC").Empty()) << language;   // a prefix
        EXPECT_TRUE(MessageCatalog::GetText("IDS_WIZARD_BACKX").Empty()) << language;
        EXPECT_TRUE(MessageCatalog::GetText("ids_wizard_back").Empty()) << language;
        EXPECT_TRUE(MessageCatalog::GetText(NarrowString("IDS_WIZARD_BACK\0", 16)).Empty()) << language;
        EXPECT_TRUE(MessageCatalog::GetText("").Empty()) << language;
    }
    // No fallback to English when the current language does not exist.
    for (int32_t language : {0, 18, 25, -1}) {
        MessageCatalog::SetCurrentLanguage(language);
        EXPECT_TRUE(MessageCatalog::GetText("IDS_WIZARD_BACK").Empty()) << language;
        EXPECT_EQ(MessageCatalog::FindUtf8(language, "IDS_WIZARD_BACK"), nullptr) << language;
    }
    EXPECT_EQ(MessageCatalog::FindUtf8(5, nullptr), nullptr);
}

TEST_F(CatalogLookup, ArabicCodeShowsTheEnglishTexts) {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int t = 0; t < kCatalogTextCount; ++t) {
        const char* id = languages[0].texts[t].id;
        MessageCatalog::SetCurrentLanguage(5);
        const WideString english = MessageCatalog::GetText(id);
        MessageCatalog::SetCurrentLanguage(22);
        EXPECT_EQ(MessageCatalog::GetText(id), english) << id;
    }
}

// Every stored text is well-formed UTF-8 that survives the way to the screen:
// ToWide on lookup, ToNarrow before the toolkit. Broken bytes would come back
// empty from the conversion.
TEST_F(CatalogLookup, EveryTextSurvivesTheRoundTripInUtf8) {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) {
        MessageCatalog::SetCurrentLanguage(languages[i].id);
        for (int t = 0; t < kCatalogTextCount; ++t) {
            const CatalogText& text = languages[i].texts[t];
            EXPECT_EQ(Narrow(MessageCatalog::GetText(text.id)), text.text) << languages[i].code << " " << text.id;
        }
    }
}

TEST_F(CatalogLookup, ChineseAndGeorgianBecomeTheRightUtf16Units) {
    MessageCatalog::SetCurrentLanguage(4);
    EXPECT_EQ(MessageCatalog::GetText("IDR_MAINFRAME"), WideString(u"安装配置"));
    MessageCatalog::SetCurrentLanguage(7);
    EXPECT_EQ(MessageCatalog::GetText("IDS_WIZARD_NEXT"), WideString(u"შემდეგ>"));
}

// The worker thread looks texts up while the GUI thread does too.
TEST_F(CatalogLookup, ConcurrentLookupsAgree) {
    MessageCatalog::SetCurrentLanguage(3);
    const WideString expected = MessageCatalog::GetText("IDS_INSTALL_FINISH");
    ASSERT_FALSE(expected.Empty());
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int n = 0; n < 4; ++n) {
        threads.emplace_back([&, n] {
            for (int i = 0; i < 2000; ++i) {
                if (MessageCatalog::GetText("IDS_INSTALL_FINISH") != expected) ++mismatches[n];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int n = 0; n < 4; ++n) EXPECT_EQ(mismatches[n], 0);
}

}  // namespace tpl
