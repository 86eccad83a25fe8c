// Plural forms, grouped digits and joined sentences, language by language.
#include <gtest/gtest.h>

#include <string>

#include "catalog/language_rules.h"
#include "catalog/message_catalog.h"

namespace tpl {

namespace {

struct PluralRow {
    const char* code;
    uint64_t number;
    int form;
};

// The boundaries of each rule: the teens, the last digits, zero.
const PluralRow kPlurals[] = {
    {"en", 0, 1},  {"en", 1, 0},  {"en", 2, 1},   {"en", 21, 1},
    {"de", 1, 0},  {"de", 11, 1}, {"tr", 1, 0},   {"tr", 3, 1},
    {"fr", 0, 0},  {"fr", 1, 0},  {"fr", 2, 1},   {"hy", 0, 0},  {"hy", 2, 1},
    {"zh", 1, 0},  {"zh", 5, 0},  {"vi", 1, 0},
    {"ru", 1, 0},  {"ru", 2, 1},  {"ru", 4, 1},   {"ru", 5, 2},  {"ru", 11, 2}, {"ru", 12, 2},
    {"ru", 14, 2}, {"ru", 21, 0}, {"ru", 22, 1},  {"ru", 0, 2},  {"ru", 111, 2}, {"ru", 101, 0},
    {"uk", 1, 0},  {"uk", 3, 1},  {"uk", 25, 2},
    {"pl", 1, 0},  {"pl", 2, 1},  {"pl", 5, 2},   {"pl", 12, 2}, {"pl", 21, 2}, {"pl", 22, 1}, {"pl", 0, 2},
    {"lt", 1, 0},  {"lt", 2, 1},  {"lt", 9, 1},   {"lt", 10, 2}, {"lt", 11, 2}, {"lt", 19, 2}, {"lt", 21, 0},
    {"lt", 0, 2},
    {"lv", 0, 0},  {"lv", 1, 1}, {"lv", 2, 2}, {"lv", 10, 0}, {"lv", 11, 0}, {"lv", 19, 0}, {"lv", 21, 1},
    {"lv", 111, 0},
    {"ro", 0, 1},  {"ro", 1, 0},  {"ro", 2, 1},   {"ro", 19, 1}, {"ro", 20, 2}, {"ro", 101, 2}, {"ro", 102, 1}, {"ro", 120, 2},
};

}  // namespace

TEST(LanguageRules, EachLanguageChoosesItsPluralForm) {
    for (const PluralRow& row : kPlurals) {
        EXPECT_EQ(PluralFormIndex(row.code, row.number), row.form) << row.code << " " << row.number;
        EXPECT_LT(row.form, PluralFormCount(row.code)) << row.code;
    }
    EXPECT_EQ(PluralForm("one|few|many", "ru", 3), "few");
    EXPECT_EQ(PluralForm("one|few|many", "ru", 5), "many");
    // A wording that suits every number, and a text short of forms.
    EXPECT_EQ(PluralForm("Files: %1", "ru", 3), "Files: %1");
    EXPECT_EQ(PluralForm("one|other", "ru", 5), "other");
}

TEST(LanguageRules, DigitsAreGroupedAsTheLanguageWritesThem) {
    struct Row {
        const char* code;
        uint64_t number;
        const char* shown;
    };
    for (const Row& row : {Row{"en", 50000, "50,000"}, Row{"en", 999, "999"}, Row{"en", 1000, "1,000"},
                           Row{"en", 1234567, "1,234,567"}, Row{"zh", 50000, "50,000"}, Row{"de", 50000, "50.000"},
                           Row{"it", 1000, "1.000"}, Row{"fr", 50000, "50\u00A0000"}, Row{"ru", 1000, "1\u00A0000"},
                           Row{"es", 1000, "1000"}, Row{"es", 50000, "50.000"}, Row{"pl", 1000, "1000"},
                           Row{"pl", 10000, "10\u00A0000"}, Row{"en", 0, "0"},
                           Row{"en", 18446744073709551615u, "18,446,744,073,709,551,615"}}) {
        EXPECT_EQ(GroupedNumber(row.code, row.number), row.shown) << row.code << " " << row.number;
    }
    EXPECT_EQ(WithNumbers("de", "%1 hinzugefügt, %3 beibehalten, 100%", {50000, 2, 3}),
              "50.000 hinzugefügt, 3 beibehalten, 100%");
}

// The sentence's own stop goes before a reason is joined, in every script.
TEST(LanguageRules, ASentenceLosesItsStopBeforeTheReason) {
    for (const char* sentence : {"Installation error.", "Installation error:", "Installation error...",
                                 "Installation error\u2026", "Installation error\u00A0:"})
        EXPECT_EQ(WithoutFinalStop(sentence), "Installation error") << sentence;
    EXPECT_EQ(WithoutFinalStop("\u4e0d\u8db3\u3002"), "\u4e0d\u8db3");
    EXPECT_EQ(WithoutFinalStop("\u0579\u056f\u0561\u0589"), "\u0579\u056f\u0561");
    EXPECT_EQ(WithoutFinalStop("\u76ee\u5f55\uff1a"), "\u76ee\u5f55");
    EXPECT_STREQ(ReasonSeparator("en"), ": ");
    EXPECT_STREQ(ReasonSeparator("fr"), "\u00A0: ");
    EXPECT_STREQ(ReasonSeparator("zh"), "\uFF1A");
    EXPECT_STREQ(LanguageCode(MessageCatalog::FindLanguage("ar")), "en");
    EXPECT_STREQ(LanguageCode(999), "en");
}

}  // namespace tpl
