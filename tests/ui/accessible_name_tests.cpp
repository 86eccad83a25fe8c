// Names a screen reader reads for the wizard's buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/message_catalog.h"
#include "ui/accessible_name.h"
#include "ui/mnemonics.h"

namespace tpl {

TEST(AccessibleName, ButtonsAreNamedWithoutTheirArrows) {
    EXPECT_EQ(PlainButtonName("< Back"), "Back");
    EXPECT_EQ(PlainButtonName("Next >"), "Next");
    EXPECT_EQ(PlainButtonName("\xe7\xbb\xa7\xe7\xbb\xad>"), "\xe7\xbb\xa7\xe7\xbb\xad");  // 继续>
    EXPECT_EQ(PlainButtonName("Finish"), "Finish");
    EXPECT_EQ(PlainButtonName("a < b"), "a < b");  // arrows inside a label stay
    EXPECT_EQ(PlainButtonName(">>"), ">>");
    // Every language's Back and Next keep a name, and no arrow in it.
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) {
        for (const char* id : {"IDS_WIZARD_BACK", "IDS_WIZARD_NEXT"}) {
            const std::string name = PlainButtonName(MessageCatalog::FindUtf8(languages[i].id, id));
            EXPECT_FALSE(name.empty()) << languages[i].code << " " << id;
            EXPECT_EQ(name.find_first_of("<>"), std::string::npos) << languages[i].code << " " << name;
        }
    }
}

TEST(Mnemonics, EachControlOfAWindowGetsAKeyOfItsOwn) {
    // The first free letter, case-insensitively; an underscore stays literal.
    std::vector<Mnemonic> keys =
        AssignMnemonics({{"Next >", "Next >"}, {"< Back", "< Back"}, {"Cancel", "Cancel"}, {"no_tail", "x"}});
    EXPECT_EQ(keys[0].label, "_Next >");
    EXPECT_EQ(keys[1].label, "< _Back");
    EXPECT_EQ(keys[2].label, "_Cancel");
    EXPECT_EQ(keys[3].label, "n_o__tail");  // n is Next's
    EXPECT_EQ(keys[3].key, U'o');
    // A script typed through an input method takes an English letter.
    keys = AssignMnemonics({{"\u7EE7\u7EED>", "Next >"}, {"\u6A21\u677F\u76EE\u5F55\uFF1A", "Template directory:"}});
    EXPECT_EQ(keys[0].label, "\u7EE7\u7EED(_N)>");
    EXPECT_EQ(keys[1].label, "\u6A21\u677F\u76EE\u5F55(_T)\uFF1A");
    // A key without a label to mark, and a label with no letter to give.
    keys = AssignMnemonics({{"Next", "Next"}, {"...", "Choose Directory", false}, {"...", "..."}});
    EXPECT_EQ(keys[1].label, "...");
    EXPECT_EQ(keys[1].key, U'c');
    EXPECT_EQ(keys[2].key, 0u);
    EXPECT_EQ(WithoutMnemonic("< _Back"), "< Back");
    EXPECT_EQ(WithoutMnemonic("n_o__tail"), "no_tail");
}

// In every language, the wizard's window and the Yes/No question have a key
// for each control and no key twice.
TEST(Mnemonics, TheWizardsKeysAreUniqueInEveryLanguage) {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) {
        MessageCatalog::SetCurrentLanguage(languages[i].id);
        std::vector<char32_t> keys;
        for (const char* id : {"IDS_WIZARD_NEXT", "IDS_WIZARD_BACK", "IDS_WIZARD_CANCEL", "IDS_WIZARD_FINISH",
                               "IDS_TEMPLATE_CATALOG", "IDS_CHOOSEDIR_TITLE", "IDS_SUCCESS_OPENDESCR"}) {
            const Mnemonic mnemonic = WizardMnemonic(id);
            EXPECT_NE(mnemonic.key, 0u) << languages[i].code << " " << id;
            for (char32_t other : keys) EXPECT_NE(mnemonic.key, other) << languages[i].code << " " << id;
            keys.push_back(mnemonic.key);
        }
        const std::vector<Mnemonic> question = AssignMnemonics(
            {{MessageCatalog::GetUtf8("IDS_BUTTON_YES"), "Yes"}, {MessageCatalog::GetUtf8("IDS_BUTTON_NO"), "No"}});
        EXPECT_NE(question[0].key, question[1].key) << languages[i].code;
        EXPECT_NE(question[1].key, 0u) << languages[i].code;
    }
    MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
}

}  // namespace tpl
