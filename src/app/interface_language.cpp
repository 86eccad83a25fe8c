#include "app/interface_language.h"

#include "app/usage_texts.h"
#include "catalog/message_catalog.h"
#include "session/console_text.h"
#include "session/system_texts.h"
#include "text/convert.h"
#include "text/utf8.h"

namespace tpl {

namespace {

bool ConsoleShowsUsage(const char* code) {
    const char* body = FindUsageBody(code);
    NarrowString shown;
    return body == nullptr || ToNarrowChecked(FromUtf8(body), &shown);
}

}  // namespace

void ChooseTerminalLanguage() {
    const int32_t chosen = MessageCatalog::CurrentLanguage();
    const CatalogLanguage* language = MessageCatalog::Language(chosen);
    // One line in the language and the next in English would be worse than
    // English throughout.
    if (language == nullptr || !ConsoleShowsLanguage(chosen) || !ConsoleShowsUsage(language->code))
        MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    FollowCatalogLanguageInSystemTexts();
}

}  // namespace tpl
