#include "session/system_texts.h"

#include <cstring>

#include "catalog/message_catalog.h"
#include "fs/system_language.h"

namespace tpl {

const char* SystemLanguageName(int32_t languageId) {
    const CatalogLanguage* language = MessageCatalog::Language(languageId);
    const CatalogLanguage* english = MessageCatalog::Language(kEnglishLanguageId);
    if (language == nullptr || english == nullptr || language->texts == english->texts) return "en";
    // The system's catalogs name Chinese by its script's region.
    if (std::strcmp(language->code, "zh") == 0) return "zh_CN";
    return language->code;
}

void FollowCatalogLanguageInSystemTexts() {
    SelectSystemLanguage(SystemLanguageName(MessageCatalog::CurrentLanguage()));
}

}  // namespace tpl
