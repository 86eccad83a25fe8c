// Names a screen reader reads for the wizard's buttons.
#include <gtest/gtest.h>

#include <string>

#include "catalog/message_catalog.h"
#include "ui/accessible_name.h"

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

}  // namespace tpl
