#include "session/system_texts.h"

#include <cstring>

#include "catalog/message_catalog.h"
#include "fs/system_language.h"

namespace tpl {

namespace {

const CatalogLanguage* LanguageById(int32_t id) {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) {
        if (languages[i].id == id) return &languages[i];
    }
    return nullptr;
}

}  // namespace

const char* SystemLanguageName(int32_t languageId) {
    const CatalogLanguage* language = LanguageById(languageId);
    const CatalogLanguage* english = LanguageById(kEnglishLanguageId);
    if (language == nullptr || english == nullptr || language->texts == english->texts) return "en";
    // The system's catalogs name Chinese by its script's region.
    if (std::strcmp(language->code, "zh") == 0) return "zh_CN";
    return language->code;
}

void FollowCatalogLanguageInSystemTexts() {
    SelectSystemLanguage(SystemLanguageName(MessageCatalog::CurrentLanguage()));
}

}  // namespace tpl
