#include "text/utf8.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace tpl {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

void AppendUtf8(std::string* out, char32_t c) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

namespace {

void AppendUtf16(std::u16string* out, char32_t c) {
    if (c < 0x10000) {
        out->push_back(static_cast<char16_t>(c));
    } else {
        out->push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
}

// Decodes one character at text[*pos] and advances past it; a malformed
// sequence yields U+FFFD and advances by one byte.
char32_t DecodeOne(const unsigned char* text, size_t bytes, size_t* pos) {
    const unsigned char lead = text[*pos];
    size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++*pos;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
        ++*pos;
        return kReplacement;
    }
    if (bytes - *pos < length) {
        ++*pos;
        return kReplacement;
    }
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = text[*pos + i];
        if ((next & 0xC0) != 0x80) {
            ++*pos;
            return kReplacement;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < minimum || !IsUnicodeScalar(c)) {
        ++*pos;
        return kReplacement;
    }
    *pos += length;
    return c;
}

}  // namespace

NarrowString ToUtf8(const WideString& text) {
    const char16_t* units = text.Data();
    const size_t n = text.Length();
    std::string out;
    out.reserve(n * 3);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = units[i];
        if (IsHigh(units[i]) && i + 1 < n && IsLow(units[i + 1])) {
            c = 0x10000 + ((units[i] - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (IsHigh(units[i]) || IsLow(units[i])) {
            c = kReplacement;
        }
        AppendUtf8(&out, c);
    }
    return NarrowString(out.data(), static_cast<uint32_t>(out.size()));
}

WideString FromUtf8(const char* text, size_t bytes) {
    if (text == nullptr) return WideString();
    const auto* data = reinterpret_cast<const unsigned char*>(text);
    std::u16string out;
    out.reserve(bytes);
    size_t pos = 0;
    while (pos < bytes) AppendUtf16(&out, DecodeOne(data, bytes, &pos));
    return WideString(out.data(), static_cast<uint32_t>(out.size()));
}

WideString FromUtf8(const char* zeroTerminated) {
    return FromUtf8(zeroTerminated, zeroTerminated ? std::strlen(zeroTerminated) : 0);
}

}  // namespace tpl
