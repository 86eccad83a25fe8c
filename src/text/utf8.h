#pragma once
// UTF-8 conversions that ignore the locale: the toolkit takes and gives UTF-8
// whatever the process locale is, and the catalog stores UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include "text/cow_string.h"

namespace tpl {

// True for a character UTF-16 can hold: at most U+10FFFF, no surrogate.
// The C library decodes four-byte forms far beyond that.
constexpr bool IsUnicodeScalar(uint32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// A lone surrogate has no UTF-8 form and becomes U+FFFD.
NarrowString ToUtf8(const WideString& text);
// Each malformed, overlong or surrogate sequence becomes one U+FFFD; a
// character above U+FFFF becomes a surrogate pair.
WideString FromUtf8(const char* text, size_t bytes);
WideString FromUtf8(const char* zeroTerminated);
// Appends one character (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::string* out, char32_t c);

}  // namespace tpl
