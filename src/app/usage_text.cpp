#include "app/usage_text.h"

#include <cstring>

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
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    for (int i = 0; i < count; ++i) {
        if (languages[i].id == MessageCatalog::CurrentLanguage()) return languages[i].code;
    }
    return "en";
}

// The codes -L accepts, in the catalog's order, separated by blanks.
std::string LanguageCodes() {
    int count = 0;
    const CatalogLanguage* languages = MessageCatalog::Languages(&count);
    std::string codes;
    for (int i = 0; i < count; ++i) {
        if (!codes.empty()) codes += ' ';
        codes += languages[i].code;
    }
    return codes;
}

void ReplaceToken(std::string& text, const char* token, const std::string& with) {
    const size_t at = text.find(token);
    if (at != std::string::npos) text.replace(at, std::strlen(token), with);
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
    ReplaceToken(text, "{languages}", LanguageCodes());
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
