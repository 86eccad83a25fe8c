#include "session/console_text.h"

#include "catalog/message_catalog.h"
#include "text/convert.h"

NarrowString ConsoleCatalogText(const char* id) {
    const char* english = MessageCatalog::FindUtf8(kEnglishLanguageId, id);
    const char* current = MessageCatalog::FindUtf8(MessageCatalog::CurrentLanguage(), id);
    return ConsoleText(current != nullptr ? current : english, english != nullptr ? english : "");
}

NarrowString ConsoleText(const char* utf8, const char* englishFallback) {
    if (utf8 == nullptr || *utf8 == '\0') return NarrowString(englishFallback);
    // The catalog's texts reach the locale's encoding the way the wizard's
    // do: ToWide of the stored text, then ToNarrow.
    NarrowString narrow = ToNarrow(ToWide(utf8));
    if (narrow.Empty()) return NarrowString(englishFallback);
    return narrow;
}

NarrowString ConsolePath(const WideString& path) {
    return ToNarrow(path);
}
