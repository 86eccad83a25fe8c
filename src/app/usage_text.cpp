#include "app/usage_text.h"

#include <cstring>
#include <vector>

#include "catalog/message_catalog.h"
#include "session/console_text.h"
#include "app/usage_texts.h"

namespace tpl {

#ifndef TPL_VERSION
#error "TPL_VERSION is set by the build from the project version"
#endif

namespace {

bool IsHelpArgument(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0 ||
           std::strcmp(argument, "-?") == 0 || std::strcmp(argument, "/?") == 0;
}

const char* CurrentLanguageCode() {
    const CatalogLanguage* language = MessageCatalog::Language(MessageCatalog::CurrentLanguage());
    return language != nullptr ? language->code : "en";
}

constexpr size_t kTerminalColumns = 80;

// The codes -L accepts, in the catalog's order, separated by blanks, for a
// place indent columns from the left: in as few lines as the terminal's width
// allows, at the same indent, with as many codes in each.
std::string LanguageCodes(size_t indent) {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    std::vector<std::string> lines;
    for (int lineCount = 1; lineCount <= count; ++lineCount) {
        const int perLine = (count + lineCount - 1) / lineCount;
        lines.assign(1, std::string());
        for (int i = 0; i < count; ++i) {
            if (i > 0 && i % perLine == 0) lines.emplace_back();
            if (!lines.back().empty()) lines.back() += ' ';
            lines.back() += languages[i].code;
        }
        bool fits = true;
        for (const std::string& line : lines) fits = fits && indent + line.size() <= kTerminalColumns;
        if (fits) break;
    }
    std::string codes;
    for (const std::string& line : lines) {
        if (!codes.empty()) codes += '\n' + std::string(indent, ' ');
        codes += line;
    }
    return codes;
}

// The codes in place of "{languages}", which stands after blanks only.
void ReplaceLanguagesToken(std::string& text) {
    static const char kToken[] = "{languages}";
    const size_t at = text.find(kToken);
    if (at == std::string::npos) return;
    const size_t lineStart = text.rfind('\n', at);
    const size_t indent = lineStart == std::string::npos ? at : at - lineStart - 1;
    text.replace(at, sizeof kToken - 1, LanguageCodes(indent));
}

std::string ToStd(const NarrowString& text) {
    return std::string(text.Data(), text.Length());
}

}  // namespace

InformationRequest FindInformationRequest(int argc, char** argv) {
    for (int i = 1; i < argc && argv != nullptr && argv[i] != nullptr; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (IsHelpArgument(argv[i])) return InformationRequest::Help;
        if (std::strcmp(argv[i], "--version") == 0) return InformationRequest::Version;
    }
    return InformationRequest::None;
}

std::string UsageText() {
    const char* english = FindUsageBody("en");
    const char* body = FindUsageBody(CurrentLanguageCode());
    std::string text = ToStd(ConsoleCatalogText("IDR_MAINFRAME"));
    text += "\n\n";
    text += ToStd(ConsoleText(body != nullptr ? body : english, english));
    ReplaceLanguagesToken(text);
    return text;
}

std::string UsageLine() {
    const char* english = FindUsageBody("en");
    const char* body = FindUsageBody(CurrentLanguageCode());
    const std::string text = ToStd(ConsoleText(body != nullptr ? body : english, english));
    return text.substr(0, text.find('\n') + 1);
}

std::string VersionText() {
    return std::string("tplsetup ") + TPL_VERSION + "\n";
}

}  // namespace tpl
