#pragma once
// What a language does with numbers and sentences beyond its words: which
// plural form a count takes, how its digits are grouped, and how a sentence
// is joined to the reason that follows it.
#include <cstdint>
#include <initializer_list>
#include <string>
#include "text/cow_string.h"

namespace tpl {

// A text that carries a count holds either one wording that suits every
// number, or one form per plural category of its language, separated by
// "|", in the order zero, one, few, many, other (only the categories the
// language has for whole numbers: Russian "one|few|many", Chinese "other").
constexpr char kPluralFormSeparator = '|';

// How many forms a count text of the language (its catalog code) holds, and
// which of them a whole number takes (the language's plural rule).
int PluralFormCount(const char* code);
int PluralFormIndex(const char* code, uint64_t number);

// The form of a count text for number; the text itself when it has a
// single form, the last form when it has fewer than the rule asks for.
std::string PluralForm(const std::string& text, const char* code, uint64_t number);

// number with its digits grouped as the language writes them: "50,000",
// "50.000", "50 000" (the space a no-break one); UTF-8.
std::string GroupedNumber(const char* code, uint64_t number);

// What goes between a sentence and the reason joined after it: ": ", the
// French " : " with a no-break space, the Chinese full-width colon.
const char* ReasonSeparator(const char* code);

// text without its own final full stop or colon (".", "。", "։", "…",
// "...", ":", "："), so that a reason can follow it.
std::string WithoutFinalStop(std::string text);

// The language's catalog code; "en" for an unknown id.
const char* LanguageCode(int32_t languageId);

// The count text id of the language in the form number takes (UTF-8; empty
// when the id is unknown), and the same in the current language.
std::string CountTextUtf8(int32_t languageId, const char* id, uint64_t number);
WideString CountText(const char* id, uint64_t number);

// pattern (UTF-8) with %1, %2, ... replaced by the numbers grouped as the
// language (catalog code) writes them.
std::string WithNumbers(const char* code, const std::string& pattern, std::initializer_list<uint64_t> numbers);

// number grouped as the current language writes it.
WideString GroupedNumberText(uint64_t number);

}  // namespace tpl
