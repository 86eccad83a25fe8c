#include "app/interface_language.h"

#include "app/usage_texts.h"
#include "catalog/message_catalog.h"
#include "session/console_text.h"
#include "session/system_texts.h"
#include "text/convert.h"
#include "text/utf8.h"

namespace tpl {

namespace {

const char* CodeOf(int32_t id) {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) {
        if (languages[i].id == id) return languages[i].code;
    }
    return nullptr;
}

bool ConsoleShowsUsage(const char* code) {
    const char* body = FindUsageBody(code);
    NarrowString shown;
    return body == nullptr || ToNarrowChecked(FromUtf8(body), &shown);
}

}  // namespace

void ChooseTerminalLanguage() {
    const int32_t chosen = MessageCatalog::CurrentLanguage();
    const char* code = CodeOf(chosen);
    // One line in the language and the next in English would be worse than
    // English throughout.
    if (code == nullptr || !ConsoleShowsLanguage(chosen) || !ConsoleShowsUsage(code))
        MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    FollowCatalogLanguageInSystemTexts();
}

}  // namespace tpl
