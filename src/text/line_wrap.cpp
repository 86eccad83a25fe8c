#include "text/line_wrap.h"

namespace tpl {

namespace {

struct CodePoint {
    char32_t value;
    size_t length;  // bytes
};

CodePoint DecodeAt(const std::string& text, size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (lead >= 0x80 && lead < 0xC0) length = 1;  // a stray continuation byte
    if (at + length > text.size()) length = text.size() - at;
    char32_t value = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t i = 1; i < length; ++i) value = (value << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return {value, length};
}

bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

bool IsCombining(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || c == 0x2060 || c == 0xFEFF;
}

// Full-width punctuation that belongs to the character before it.
bool ClosesClause(char32_t c) {
    return (c >= 0x3001 && c <= 0x3002) || c == 0xFF09 || c == 0xFF0C || c == 0xFF1A || c == 0xFF1B ||
           c == 0xFF01 || c == 0xFF1F || c == 0x300D || c == 0x300F;
}

size_t Columns(char32_t c) {
    if (IsCombining(c)) return 0;
    return IsWide(c) ? 2 : 1;
}

}  // namespace

size_t DisplayColumns(const std::string& utf8) {
    size_t columns = 0;
    for (size_t at = 0; at < utf8.size();) {
        const CodePoint c = DecodeAt(utf8, at);
        columns += Columns(c.value);
        at += c.length;
    }
    return columns;
}

std::vector<std::string> WrapLines(const std::string& utf8, size_t width) {
    std::vector<std::string> lines;
    std::string line;
    size_t lineColumns = 0;
    // The last place on the line where it may break: the bytes before it
    // stay, the bytes from resumeAt go to the next line.
    size_t breakAt = std::string::npos;
    size_t resumeAt = 0;
    char32_t previous = 0;
    for (size_t at = 0; at < utf8.size();) {
        const CodePoint c = DecodeAt(utf8, at);
        const std::string bytes = utf8.substr(at, c.length);
        at += c.length;
        if (c.value == U' ') {
            breakAt = line.size();
            resumeAt = line.size() + 1;
        } else if (IsWide(c.value) && IsWide(previous) && !ClosesClause(c.value) && !line.empty()) {
            breakAt = line.size();
            resumeAt = line.size();
        }
        previous = c.value;
        const size_t columns = Columns(c.value);
        if (lineColumns + columns > width && c.value != U' ' && breakAt != std::string::npos && breakAt > 0) {
            lines.push_back(line.substr(0, breakAt));
            line = resumeAt < line.size() ? line.substr(resumeAt) : std::string();
            lineColumns = DisplayColumns(line);
            breakAt = std::string::npos;
        }
        line += bytes;
        lineColumns += columns;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

}  // namespace tpl
