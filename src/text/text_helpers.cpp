// Integer formatting, text replacement, path conventions and the
// case-insensitive comparison.
#include "text/text_helpers.h"

#include <cstring>
#include <stdexcept>
#include <strings.h>
#include <vector>

#include "text/convert.h"

namespace tpl {

WideString FromInteger(int32_t value, uint32_t radix) {
    // Other radices have no digit scheme; an empty text is recognisably not
    // a number, where dividing by 0 or 1 would crash or never end.
    if (radix < 2 || radix > 36) return WideString();
    uint32_t magnitude = static_cast<uint32_t>(value);
    const bool negative = radix == 10 && value < 0;
    if (negative) magnitude = 0u - magnitude;

    char16_t digits[34];  // 32 binary digits, a sign, a spare
    uint32_t pos = sizeof(digits) / sizeof(digits[0]);
    do {
        const uint32_t d = magnitude % radix;
        digits[--pos] = static_cast<char16_t>(d < 10 ? u'0' + d : u'a' + d - 10);
        magnitude /= radix;
    } while (magnitude != 0);
    if (negative) digits[--pos] = u'-';
    return WideString(digits + pos, static_cast<uint32_t>(sizeof(digits) / sizeof(digits[0]) - pos));
}

namespace {

// Positions of the non-overlapping occurrences of what, left to right.
std::vector<uint32_t> FindMatches(const WideString& subject, const WideString& what) {
    std::vector<uint32_t> matches;
    for (uint32_t pos = subject.Find(what); pos != WideString::npos;
         pos = subject.Find(what, pos + what.Length())) {
        matches.push_back(pos);
    }
    return matches;
}

int32_t OverwriteInPlace(WideString& subject, const WideString& what, const WideString& with) {
    const uint32_t n = what.Length();
    uint32_t pos = subject.Find(what);
    if (pos == WideString::npos) return 0;
    // Taken before the first write: what and with may be subject itself or
    // share its block, and the subject gets a block of its own below.
    const WideString needle = what;
    const WideString replacement = with;
    char16_t* units = subject.MutableData();
    int32_t count = 0;
    for (; pos != WideString::npos; pos = subject.Find(needle, pos + n)) {
        std::memcpy(units + pos, replacement.Data(), n * sizeof(char16_t));
        ++count;
    }
    return count;
}

}  // namespace

int32_t ReplaceAll(WideString& subject, const WideString& what, const WideString& with) {
    const uint32_t n = what.Length();
    if (n == 0 || subject.Length() < n) return 0;
    if (with.Length() == n) return OverwriteInPlace(subject, what, with);

    const std::vector<uint32_t> matches = FindMatches(subject, what);
    if (matches.empty()) return 0;
    const int64_t newLength =
        int64_t(subject.Length()) + (int64_t(with.Length()) - int64_t(n)) * int64_t(matches.size());
    if (newLength > int64_t(WideString::kMaxLength)) throw std::length_error("basic_string");

    WideString rebuilt = WideString::WithLength(static_cast<uint32_t>(newLength));
    char16_t* out = rebuilt.MutableData();
    const char16_t* in = subject.Data();
    const uint32_t m = with.Length();
    uint32_t from = 0;
    for (uint32_t pos : matches) {
        std::memcpy(out, in + from, (pos - from) * sizeof(char16_t));
        out += pos - from;
        if (m != 0) std::memcpy(out, with.Data(), m * sizeof(char16_t));
        out += m;
        from = pos + n;
    }
    std::memcpy(out, in + from, (subject.Length() - from) * sizeof(char16_t));
    subject = std::move(rebuilt);
    return static_cast<int32_t>(matches.size());
}

bool PathIsRoot(const WideString& path) {
    return path.Equals(u"/");
}

WideString WithSeparator(const WideString& path) {
    // An empty path is the text before the slash of a name in the root, so
    // it becomes "/".
    WideString result = path;
    if (!PathIsRoot(path) && !path.EndsWith(u'/') && !path.EndsWith(u'\\')) result.Append(u'/');
    return result;
}

int CompareNoCase(const WideString& a, const WideString& b) {
    NarrowString narrowA;
    NarrowString narrowB;
    if (ToNarrowChecked(a, &narrowA) && ToNarrowChecked(b, &narrowB))
        return strcasecmp(narrowA.Data(), narrowB.Data());
    // A text the locale cannot represent converts to nothing; two of those
    // must not count as equal (a launcher value would be dropped as a
    // duplicate), so they compare by their units.
    const uint32_t common = a.Length() < b.Length() ? a.Length() : b.Length();
    for (uint32_t i = 0; i < common; ++i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return a.Length() == b.Length() ? 0 : (a.Length() < b.Length() ? -1 : 1);
}

namespace {
bool IsControlUnit(char16_t unit) {
    return unit < 0x20 || unit == 0x7F;
}
}  // namespace

bool ContainsControlCharacter(const WideString& text) {
    for (uint32_t i = 0; i < text.Length(); ++i) {
        if (IsControlUnit(text[i])) return true;
    }
    return false;
}

namespace {

// The escape of one unit, or nothing when it stands for itself.
const char* ControlEscape(char16_t unit, char (&buffer)[5]) {
    static const char kHex[] = "0123456789abcdef";
    if (!IsControlUnit(unit)) return nullptr;
    switch (unit) {
        case u'\n':
            return "\\n";
        case u'\t':
            return "\\t";
        case u'\r':
            return "\\r";
        default:
            buffer[0] = '\\';
            buffer[1] = 'x';
            buffer[2] = kHex[unit >> 4];
            buffer[3] = kHex[unit & 0xF];
            buffer[4] = '\0';
            return buffer;
    }
}

}  // namespace

WideString EscapeControlCharacters(const WideString& text) {
    WideString escaped;
    char buffer[5];
    for (uint32_t i = 0; i < text.Length(); ++i) {
        const char* escape = ControlEscape(text[i], buffer);
        if (escape == nullptr) {
            escaped.Append(text[i]);
            continue;
        }
        for (; *escape != '\0'; ++escape) escaped.Append(static_cast<char16_t>(*escape));
    }
    return escaped;
}

std::string EscapeControlCharacters(const std::string& bytes) {
    std::string escaped;
    escaped.reserve(bytes.size());
    char buffer[5];
    for (const char c : bytes) {
        const char* escape = ControlEscape(static_cast<unsigned char>(c), buffer);
        if (escape == nullptr)
            escaped += c;
        else
            escaped += escape;
    }
    return escaped;
}

std::string EscapeControlCharactersAndBackslash(const std::string& bytes) {
    std::string escaped;
    escaped.reserve(bytes.size());
    for (const char c : bytes) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return EscapeControlCharacters(escaped);
}

WideString FormatPattern(const WideString& pattern, std::initializer_list<WideString> arguments) {
    WideString text;
    for (uint32_t i = 0; i < pattern.Length(); ++i) {
        const char16_t unit = pattern[i];
        if (unit == u'%' && i + 1 < pattern.Length() && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'9') {
            const size_t index = static_cast<size_t>(pattern[i + 1] - u'1');
            if (index < arguments.size()) {
                text.Append(arguments.begin()[index]);
                ++i;
                continue;
            }
        }
        text.Append(unit);
    }
    return text;
}

}  // namespace tpl
