#include "app/interface_language.h"

#include <cstring>

#include "app/usage_texts.h"
#include "catalog/message_catalog.h"
#include "fs/system_language.h"
#include "session/console_text.h"
#include "text/convert.h"
#include "text/utf8.h"

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

bool ConsoleShowsUsage(const char* code) {
    const char* body = FindUsageBody(code);
    NarrowString shown;
    return body == nullptr || ToNarrowChecked(FromUtf8(body), &shown);
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

void ChooseTerminalLanguage() {
    const int32_t chosen = MessageCatalog::CurrentLanguage();
    const CatalogLanguage* language = LanguageById(chosen);
    // One line in the language and the next in English would be worse than
    // English throughout.
    if (language == nullptr || !ConsoleShowsLanguage(chosen) || !ConsoleShowsUsage(language->code))
        MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    FollowCatalogLanguageInSystemTexts();
}

}  // namespace tpl
