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

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

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
    if (n == static_cast<size_t>(-1) || n > WideString::kMaxLength) return WideString();
    WideString result = WideString::WithLength(static_cast<uint32_t>(n));
    char16_t* out = result.MutableData();
    // Characters above U+FFFF keep their low 16 bits; the kit and the
    // launcher files never carry them, and one unit per character keeps
    // positions the same on both sides.
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<char16_t>(wide.Get()[i] & 0xFFFF);
    return result;
}

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
    for (size_t i = 0; i < n; ++i) w[i] = static_cast<wchar_t>(units[i]);
    w[n] = 0;
    return MultibyteFromWide(w, n);
}

WideString ToWide(const NarrowString& text) {
    return WideFromMultibyte(text.Data(), strnlen(text.Data(), text.Length()));
}

WideString ToWide(const char* zeroTerminated) {
    if (zeroTerminated == nullptr) return WideString();
    return WideFromMultibyte(zeroTerminated, strlen(zeroTerminated));
}
