#include "config/config_text.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <strings.h>

bool NarrowConfigText(const WideString& text, NarrowString* out) {
    *out = NarrowString();
    const char16_t* units = text.Data();
    const uint32_t length = text.Length();
    std::mbstate_t state = std::mbstate_t();
    char bytes[MB_LEN_MAX];
    for (uint32_t i = 0; i < length && units[i] != 0; ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        size_t n = std::wcrtomb(bytes, static_cast<wchar_t>(code), &state);
        if (n == static_cast<size_t>(-1)) return false;
        out->Append(bytes, static_cast<uint32_t>(n));
    }
    return true;
}

int CompareConfigText(const WideString& a, const WideString& b) {
    NarrowString narrowA;
    NarrowString narrowB;
    if (NarrowConfigText(a, &narrowA) && NarrowConfigText(b, &narrowB)) {
        return strcasecmp(narrowA.Data(), narrowB.Data());
    }
    const uint32_t common = a.Length() < b.Length() ? a.Length() : b.Length();
    for (uint32_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return a.Length() == b.Length() ? 0 : (a.Length() < b.Length() ? -1 : 1);
}
