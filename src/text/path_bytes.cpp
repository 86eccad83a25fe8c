#include "text/path_bytes.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

#include "text/utf8.h"

namespace tpl {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscapedByte(char16_t u) { return u >= 0xDC80 && u <= 0xDCFF; }
bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Every path the file layer is given passes here, several times per entry
// of a kit: the string is asked for its units once, not per unit.
size_t UnitsBeforeZero(const WideString& path) {
    const char16_t* units = path.Data();
    const size_t length = path.Length();
    size_t n = 0;
    while (n < length && units[n] != 0) ++n;
    return n;
}

bool AllAscii(const char16_t* units, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (units[i] >= 0x80) return false;
    return true;
}

// The characters of the path, one at a time: an escaped byte, a character,
// or (false) a lone surrogate that cannot be written at all.
template <typename Emit>
bool ForEachCharacter(const char16_t* units, size_t n, Emit emit) {
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = units[i];
        if (IsHigh(u) && i + 1 < n && IsLow(units[i + 1])) {
            if (!emit(false, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00))) return false;
            ++i;
        } else if (IsEscapedByte(u)) {
            if (!emit(true, u - kEscapeBase)) return false;
        } else if (IsHigh(u) || IsLow(u)) {
            return false;
        } else if (!emit(false, u)) {
            return false;
        }
    }
    return true;
}

bool EncodeByLocale(const char16_t* units, size_t n, std::string* out) {
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    return ForEachCharacter(units, n, [&](bool escaped, char32_t c) {
        if (escaped) {
            out->push_back(static_cast<char>(c));
            return true;
        }
        const size_t length = std::wcrtomb(buffer, static_cast<wchar_t>(c), &state);
        if (length == static_cast<size_t>(-1)) return false;
        out->append(buffer, length);
        return true;
    });
}

bool EncodeAsUtf8(const char16_t* units, size_t n, std::string* out) {
    return ForEachCharacter(units, n, [&](bool escaped, char32_t c) {
        if (escaped) {
            out->push_back(static_cast<char>(c));
        } else {
            AppendUtf8(out, c);
        }
        return true;
    });
}

}  // namespace

NarrowString PathToBytes(const WideString& path) {
    const size_t n = UnitsBeforeZero(path);
    const char16_t* units = path.Data();
    // Nearly every path is ASCII, which every locale spells alike: written
    // straight into the result.
    if (AllAscii(units, n)) {
        NarrowString ascii = NarrowString::WithLength(static_cast<uint32_t>(n));
        char* out = ascii.MutableData();
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(units[i]);
        return ascii;
    }
    std::string bytes;
    bytes.reserve(n);
    if (!EncodeByLocale(units, n, &bytes)) {
        bytes.clear();
        if (!EncodeAsUtf8(units, n, &bytes)) return NarrowString();
    }
    return NarrowString(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

WideString PathFromBytes(const char* bytes, size_t length) {
    if (bytes == nullptr) return WideString();
    std::u16string units;
    units.reserve(length);
    std::mbstate_t state{};
    size_t pos = 0;
    while (pos < length && bytes[pos] != '\0') {
        wchar_t c = 0;
        const size_t used = std::mbrtowc(&c, bytes + pos, length - pos, &state);
        // Beyond U+10FFFF the C library still decodes four-byte forms: such
        // bytes are no character, and kept as bytes.
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2) || used == 0 ||
            !IsUnicodeScalar(static_cast<uint32_t>(c))) {
            units.push_back(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[pos])));
            state = std::mbstate_t{};
            ++pos;
            continue;
        }
        const uint32_t code = static_cast<uint32_t>(c);
        if (code >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
        pos += used;
    }
    return WideString(units.data(), static_cast<uint32_t>(units.size()));
}

WideString PathFromBytes(const char* zeroTerminated) {
    return PathFromBytes(zeroTerminated, zeroTerminated ? std::strlen(zeroTerminated) : 0);
}

bool HasEscapedBytes(const WideString& path) {
    for (uint32_t i = 0; i < path.Length(); ++i) {
        if (IsEscapedByte(path[i]) && (i == 0 || !IsHigh(path[i - 1]))) return true;
    }
    return false;
}

}  // namespace tpl
