#pragma once
// Every user-visible text, by id, in 22 language codes. Constant data, ready
// before main; only the current language id changes (once, at start-up).
#include <cstdint>
#include "text/cow_string.h"

namespace tpl {

struct CatalogText {
    const char* id;
    const char* text;  // UTF-8
};

struct CatalogLanguage {
    int32_t id;
    const char* code;
    const CatalogText* texts;  // kCatalogTextCount entries, in the catalog's id order
};

constexpr int kCatalogTextCount = 82;
constexpr int32_t kEnglishLanguageId = 5;

class MessageCatalog {
public:
    static int32_t FindLanguage(const NarrowString& code);
    static void SetCurrentLanguage(int32_t id);
    static int32_t CurrentLanguage();
    // The text in the current language, or empty when unknown.
    static WideString GetText(const NarrowString& id);
    // The stored UTF-8 text in the given language, or null.
    static const char* FindUtf8(int32_t languageId, const char* id);
    // The stored UTF-8 text in the current language, or "" when unknown.
    static const char* GetUtf8(const char* id);
    static const CatalogLanguage* Languages(int* count);
    // The entry of a language id, or null.
    static const CatalogLanguage* Language(int32_t id);
};

}  // namespace tpl
