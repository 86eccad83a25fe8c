#include "catalog/language_rules.h"

#include <cstring>

#include "catalog/message_catalog.h"
#include "text/utf8.h"

namespace tpl {

namespace {

enum class PluralRule {
    None,         // no plural forms: Chinese, Vietnamese
    OneIsOne,     // one for 1: English, German and most others
    OneIsZeroOne, // one for 0 and 1: French, Armenian
    EastSlavic,   // one / few / many by the last digits: Russian, Ukrainian
    Polish,       // one for 1 only, then few / many by the last digits
    Lithuanian,   // one / few / other
    Latvian,      // zero / one / other
    Romanian,     // one / few / other
};

bool Is(const char* code, const char* what) {
    return code != nullptr && std::strcmp(code, what) == 0;
}

PluralRule RuleOf(const char* code) {
    if (Is(code, "zh") || Is(code, "vi")) return PluralRule::None;
    if (Is(code, "fr") || Is(code, "hy")) return PluralRule::OneIsZeroOne;
    if (Is(code, "ru") || Is(code, "uk")) return PluralRule::EastSlavic;
    if (Is(code, "pl")) return PluralRule::Polish;
    if (Is(code, "lt")) return PluralRule::Lithuanian;
    if (Is(code, "lv")) return PluralRule::Latvian;
    if (Is(code, "ro")) return PluralRule::Romanian;
    return PluralRule::OneIsOne;
}

bool InRange(uint64_t value, uint64_t low, uint64_t high) {
    return value >= low && value <= high;
}

}  // namespace

int PluralFormCount(const char* code) {
    switch (RuleOf(code)) {
        case PluralRule::None: return 1;
        case PluralRule::OneIsOne:
        case PluralRule::OneIsZeroOne: return 2;
        case PluralRule::EastSlavic:
        case PluralRule::Polish:
        case PluralRule::Lithuanian:
        case PluralRule::Latvian:
        case PluralRule::Romanian: return 3;
    }
    return 1;
}

int PluralFormIndex(const char* code, uint64_t n) {
    const uint64_t last = n % 10;
    const uint64_t lastTwo = n % 100;
    switch (RuleOf(code)) {
        case PluralRule::None: return 0;
        case PluralRule::OneIsOne: return n == 1 ? 0 : 1;
        case PluralRule::OneIsZeroOne: return n <= 1 ? 0 : 1;
        case PluralRule::EastSlavic:
            if (last == 1 && lastTwo != 11) return 0;
            if (InRange(last, 2, 4) && !InRange(lastTwo, 12, 14)) return 1;
            return 2;
        case PluralRule::Polish:
            if (n == 1) return 0;
            if (InRange(last, 2, 4) && !InRange(lastTwo, 12, 14)) return 1;
            return 2;
        case PluralRule::Lithuanian:
            if (InRange(lastTwo, 11, 19)) return 2;
            if (last == 1) return 0;
            if (last >= 2) return 1;
            return 2;
        case PluralRule::Latvian:  // zero, one, other
            if (last == 0 || InRange(lastTwo, 11, 19)) return 0;
            if (last == 1) return 1;
            return 2;
        case PluralRule::Romanian:
            if (n == 1) return 0;
            if (n == 0 || InRange(lastTwo, 2, 19)) return 1;
            return 2;
    }
    return 0;
}

std::string PluralForm(const std::string& text, const char* code, uint64_t number) {
    if (text.find(kPluralFormSeparator) == std::string::npos) return text;
    int wanted = PluralFormIndex(code, number);
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find(kPluralFormSeparator, begin);
        if (end == std::string::npos) return text.substr(begin);
        if (wanted-- == 0) return text.substr(begin, end - begin);
        begin = end + 1;
    }
}

std::string GroupedNumber(const char* code, uint64_t number) {
    const std::string digits = std::to_string(number);
    const char* separator = "\u00A0";
    if (Is(code, "en") || Is(code, "zh")) {
        separator = ",";
    } else if (Is(code, "de") || Is(code, "es") || Is(code, "it") || Is(code, "tr") || Is(code, "el") ||
               Is(code, "ro") || Is(code, "az") || Is(code, "vi")) {
        separator = ".";
    }
    // Spanish and Polish leave four-digit numbers whole ("1000", "50.000").
    const size_t fewestGrouped = Is(code, "es") || Is(code, "pl") ? 5 : 4;
    if (digits.size() < fewestGrouped) return digits;
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += separator;
        grouped += digits[i];
    }
    return grouped;
}

const char* ReasonSeparator(const char* code) {
    if (Is(code, "fr")) return "\u00A0: ";
    if (Is(code, "zh")) return "\uFF1A";
    return ": ";
}

std::string WithoutFinalStop(std::string text) {
    for (bool dropped = true; dropped && !text.empty();) {
        dropped = false;
        for (const char* stop : {".", "\u3002", "\u0589", "\u2026", ":", "\uFF1A", " ", "\u00A0"}) {
            const size_t length = std::strlen(stop);
            if (text.size() >= length && text.compare(text.size() - length, length, stop) == 0) {
                text.erase(text.size() - length);
                dropped = true;
            }
        }
    }
    return text;
}

const char* LanguageCode(int32_t languageId) {
    const CatalogLanguage* language = MessageCatalog::Language(languageId);
    if (language == nullptr || std::strcmp(language->code, "ar") == 0) return "en";
    return language->code;
}

std::string CountTextUtf8(int32_t languageId, const char* id, uint64_t number) {
    const char* text = MessageCatalog::FindUtf8(languageId, id);
    if (text == nullptr) return std::string();
    return PluralForm(text, LanguageCode(languageId), number);
}

WideString CountText(const char* id, uint64_t number) {
    return FromUtf8(CountTextUtf8(MessageCatalog::CurrentLanguage(), id, number).c_str());
}

std::string WithNumbers(const char* code, const std::string& pattern, std::initializer_list<uint64_t> numbers) {
    std::string text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            static_cast<size_t>(pattern[i + 1] - '1') < numbers.size()) {
            text += GroupedNumber(code, numbers.begin()[pattern[i + 1] - '1']);
            ++i;
            continue;
        }
        text += pattern[i];
    }
    return text;
}

WideString GroupedNumberText(uint64_t number) {
    return FromUtf8(GroupedNumber(LanguageCode(MessageCatalog::CurrentLanguage()), number).c_str());
}

}  // namespace tpl
