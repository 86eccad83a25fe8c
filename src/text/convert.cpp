// Conversions between 16-bit text and the locale's multibyte encoding.
//
// The locale is selected once by InitProcessLocale(); wcstombs and mbstowcs
// only read it, so the GUI thread and the installation worker may convert
// at the same time.
//
// A text holding a character that the locale cannot represent (the C
// functions report -1) converts to an EMPTY string, never to the prefix
// before the bad character: a truncated path such as "/home/u/tpl/" cut from
// "/home/u/tpl/<bad>" names a parent directory, and a removal or a write
// would land there. The empty path makes every file operation fail harmlessly.
#include "text/convert.h"
#include "text/utf8.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

namespace tpl {

namespace {

// Texts up to this many units convert without touching the heap except for
// the result itself. Paths are nearly always shorter.
constexpr size_t kStackUnits = 256;

// A wide-character array of a given size, on the stack when it is small.
class WideBuffer {
public:
    explicit WideBuffer(size_t size) {
        if (size > kStackUnits) {
            heap_.reset(new wchar_t[size]);
            data_ = heap_.get();
        }
    }
    wchar_t* Get() { return data_; }

private:
    wchar_t stack_[kStackUnits];
    std::unique_ptr<wchar_t[]> heap_;
    wchar_t* data_ = stack_;
};

NarrowString MultibyteFromWide(const wchar_t* wide, size_t units) {
    const size_t maxBytes = units * MB_CUR_MAX + 1;
    char stack[kStackUnits * 4];
    if (maxBytes <= sizeof(stack)) {
        const size_t n = wcstombs(stack, wide, sizeof(stack));
        if (n == static_cast<size_t>(-1)) return NarrowString();
        return NarrowString(stack, static_cast<uint32_t>(n));
    }
    // Long text: measure first, then convert straight into the result.
    const size_t n = wcstombs(nullptr, wide, 0);
    if (n == static_cast<size_t>(-1) || n > NarrowString::kMaxLength) return NarrowString();
    NarrowString result = NarrowString::WithLength(static_cast<uint32_t>(n));
    if (n != 0) wcstombs(result.MutableData(), wide, n + 1);
    return result;
}

WideString WideFromMultibyte(const char* text, size_t bytes) {
    // mbstowcs never yields more characters than there are bytes.
    WideBuffer wide(bytes + 1);
    const size_t n = mbstowcs(wide.Get(), text, bytes + 1);
    if (n == static_cast<size_t>(-1)) return WideString();
    const wchar_t* w = wide.Get();
    size_t units = n;
    for (size_t i = 0; i < n; ++i) {
        // A form the C library decodes beyond U+10FFFF is no character.
        if (!IsUnicodeScalar(static_cast<uint32_t>(w[i]))) return WideString();
        if (static_cast<uint32_t>(w[i]) > 0xFFFF) ++units;
    }
    if (units > WideString::kMaxLength) return WideString();
    WideString result = WideString::WithLength(static_cast<uint32_t>(units));
    char16_t* out = result.MutableData();
    // A character above U+FFFF becomes a surrogate pair: cutting it to its
    // low 16 bits would turn a typed or chosen path into another name, and
    // the files would land in a directory the user never named.
    for (size_t i = 0; i < n; ++i) {
        const uint32_t c = static_cast<uint32_t>(w[i]);
        if (c > 0xFFFF) {
            *out++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            *out++ = static_cast<char16_t>(c);
        }
    }
    return result;
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

void InitProcessLocale() {
    setlocale(LC_ALL, "");
}

NarrowString ToNarrow(const WideString& text) {
    const char16_t* units = text.Data();
    // An embedded 0 unit ends the text, as for every zero-terminated consumer.
    size_t n = 0;
    const size_t length = text.Length();
    while (n < length && units[n] != 0) ++n;
    if (n == 0) return NarrowString();
    WideBuffer wide(n + 1);
    wchar_t* w = wide.Get();
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
        // A surrogate pair is one character; a lone surrogate stays as it is
        // and makes the conversion fail (it has no multibyte form).
        if (IsHighSurrogate(units[i]) && i + 1 < n && IsLowSurrogate(units[i + 1])) {
            w[count++] = static_cast<wchar_t>(0x10000 + ((units[i] - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            w[count++] = static_cast<wchar_t>(units[i]);
        }
    }
    w[count] = 0;
    return MultibyteFromWide(w, count);
}

bool ToNarrowChecked(const WideString& text, NarrowString* out) {
    *out = ToNarrow(text);
    // Only a text that is empty up to its first 0 unit converts to nothing.
    return !out->Empty() || text.Empty() || text[0] == 0;
}

WideString ToWide(const NarrowString& text) {
    return WideFromMultibyte(text.Data(), strnlen(text.Data(), text.Length()));
}

WideString ToWide(const char* zeroTerminated) {
    if (zeroTerminated == nullptr) return WideString();
    return WideFromMultibyte(zeroTerminated, strlen(zeroTerminated));
}

}  // namespace tpl
