// The language table and the lookups over it.
#include "catalog/message_catalog.h"

#include <atomic>
#include <cstring>

#include "catalog/catalog_texts.h"
#include "text/utf8.h"

namespace tpl {

namespace {

// Ordered by id. 18 is not assigned; "ar" shows the English texts; Greek is
// offered under "el".
constexpr CatalogLanguage kLanguages[] = {
    {1, "hy", kTexts_hy},
    {2, "az", kTexts_az},
    {3, "bg", kTexts_bg},
    {4, "zh", kTexts_zh},
    {5, "en", kTexts_en},
    {6, "fr", kTexts_fr},
    {7, "ka", kTexts_ka},
    {8, "de", kTexts_de},
    {9, "es", kTexts_es},
    {10, "hu", kTexts_hu},
    {11, "it", kTexts_it},
    {12, "kk", kTexts_kk},
    {13, "lv", kTexts_lv},
    {14, "lt", kTexts_lt},
    {15, "pl", kTexts_pl},
    {16, "ro", kTexts_ro},
    {17, "ru", kTexts_ru},
    {19, "tr", kTexts_tr},
    {20, "uk", kTexts_uk},
    {21, "vi", kTexts_vi},
    {22, "ar", kTexts_en},
    {23, "tk", kTexts_tk},
    {24, "el", kTexts_el},
};
constexpr int kLanguageCount = static_cast<int>(sizeof kLanguages / sizeof kLanguages[0]);

// Written once at start-up before the worker thread exists, read by both
// threads afterwards; atomic so that the reads never race with that write.
std::atomic<int32_t> g_currentLanguage{kEnglishLanguageId};

bool SameBytes(const NarrowString& a, const char* b) {
    const size_t length = std::strlen(b);
    return a.Length() == length && std::memcmp(a.Data(), b, length) == 0;
}

const CatalogLanguage* LanguageById(int32_t id) {
    for (const CatalogLanguage& language : kLanguages) {
        if (language.id == id) return &language;
    }
    return nullptr;
}

const char* TextIn(const CatalogLanguage& language, const NarrowString& id) {
    for (int i = 0; i < kCatalogTextCount; ++i) {
        if (SameBytes(id, language.texts[i].id)) return language.texts[i].text;
    }
    return nullptr;
}

}  // namespace

int32_t MessageCatalog::FindLanguage(const NarrowString& code) {
    for (const CatalogLanguage& language : kLanguages) {
        if (SameBytes(code, language.code)) return language.id;
    }
    return 0;
}

void MessageCatalog::SetCurrentLanguage(int32_t id) {
    g_currentLanguage.store(id, std::memory_order_relaxed);
}

int32_t MessageCatalog::CurrentLanguage() {
    return g_currentLanguage.load(std::memory_order_relaxed);
}

WideString MessageCatalog::GetText(const NarrowString& id) {
    const CatalogLanguage* language = LanguageById(CurrentLanguage());
    if (language == nullptr) return WideString();
    const char* text = TextIn(*language, id);
    if (text == nullptr) return WideString();
    // The stored UTF-8, not the locale's encoding: every text must survive
    // whatever the locale can represent.
    return FromUtf8(text);
}

const char* MessageCatalog::FindUtf8(int32_t languageId, const char* id) {
    const CatalogLanguage* language = LanguageById(languageId);
    if (language == nullptr || id == nullptr) return nullptr;
    return TextIn(*language, NarrowString(id));
}

const char* MessageCatalog::GetUtf8(const char* id) {
    const char* text = FindUtf8(CurrentLanguage(), id);
    return text != nullptr ? text : "";
}

const CatalogLanguage* MessageCatalog::Language(int32_t id) {
    return LanguageById(id);
}

const CatalogLanguage* MessageCatalog::Languages(int* count) {
    if (count != nullptr) *count = kLanguageCount;
    return kLanguages;
}

}  // namespace tpl
