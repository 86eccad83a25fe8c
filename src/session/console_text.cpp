#include "session/console_text.h"

#include "catalog/message_catalog.h"
#include "text/convert.h"
#include "text/path_bytes.h"
#include "text/utf8.h"
#include "text/text_helpers.h"

namespace tpl {

NarrowString ConsoleCatalogText(const char* id) {
    const char* english = MessageCatalog::FindUtf8(kEnglishLanguageId, id);
    const char* current = MessageCatalog::FindUtf8(MessageCatalog::CurrentLanguage(), id);
    return ConsoleText(current != nullptr ? current : english, english != nullptr ? english : "");
}

bool ConsoleShowsLanguage(int32_t languageId) {
    const CatalogLanguage* language = MessageCatalog::Language(languageId);
    if (language == nullptr) return false;
    for (int t = 0; t < kCatalogTextCount; ++t) {
        NarrowString shown;
        if (!ToNarrowChecked(FromUtf8(language->texts[t].text), &shown)) return false;
    }
    return true;
}

NarrowString ConsoleText(const char* utf8, const char* englishFallback) {
    if (utf8 == nullptr || *utf8 == '\0') return NarrowString(englishFallback);
    // Decoded as the UTF-8 it is, whatever the locale, then encoded for the
    // terminal; a locale that cannot show the text gets the English one.
    NarrowString narrow = ToNarrow(FromUtf8(utf8));
    if (narrow.Empty()) return NarrowString(englishFallback);
    return narrow;
}

NarrowString ConsolePath(const WideString& path) {
    return PathToBytes(path);
}

std::string ErrorLine(const WideString& path, const NarrowString& what, const NarrowString& reason) {
    std::string line = "tplsetup";
    if (!path.Empty()) {
        const NarrowString bytes = ConsolePath(path);
        line += ": " + EscapeControlCharacters(std::string(bytes.Data(), bytes.Length()));
    }
    std::string text(what.Data(), what.Length());
    while (!text.empty() && (text.back() == '.' || text.back() == ':' || text.back() == ' ')) text.pop_back();
    if (!text.empty()) line += ": " + EscapeControlCharacters(text);
    if (!reason.Empty()) {
        const NarrowString shown = ConsoleText(reason.Data(), reason.Data());
        line += ": " + EscapeControlCharacters(std::string(shown.Data(), shown.Length()));
    }
    return line;
}

}  // namespace tpl
