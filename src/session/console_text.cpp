#include "session/console_text.h"

#include "catalog/language_rules.h"
#include "catalog/message_catalog.h"
#include "text/line_wrap.h"
#include "text/convert.h"
#include "text/path_bytes.h"
#include "text/utf8.h"
#include "text/text_helpers.h"

namespace tpl {

NarrowString ConsoleCatalogText(const char* id) {
    const char* english = MessageCatalog::FindUtf8(kEnglishLanguageId, id);
    const char* current = MessageCatalog::FindUtf8(MessageCatalog::CurrentLanguage(), id);
    return ConsoleText(current != nullptr ? current : english, english != nullptr ? english : "");
}

bool ConsoleShowsLanguage(int32_t languageId) {
    const CatalogLanguage* language = MessageCatalog::Language(languageId);
    if (language == nullptr) return false;
    for (int t = 0; t < kCatalogTextCount; ++t) {
        NarrowString shown;
        if (!ToNarrowChecked(FromUtf8(language->texts[t].text), &shown)) return false;
    }
    return true;
}

NarrowString ConsoleText(const char* utf8, const char* englishFallback) {
    if (utf8 == nullptr || *utf8 == '\0') return NarrowString(englishFallback);
    // Decoded as the UTF-8 it is, whatever the locale, then encoded for the
    // terminal; a locale that cannot show the text gets the English one.
    NarrowString narrow = ToNarrow(FromUtf8(utf8));
    if (narrow.Empty()) return NarrowString(englishFallback);
    return narrow;
}

NarrowString ConsolePath(const WideString& path) {
    return PathToBytes(path);
}

int32_t ConsoleLanguage() {
    const int32_t current = MessageCatalog::CurrentLanguage();
    return ConsoleShowsLanguage(current) ? current : kEnglishLanguageId;
}

std::string ConsoleCatalogUtf8(const char* id) {
    const char* text = MessageCatalog::FindUtf8(ConsoleLanguage(), id);
    if (text == nullptr) text = MessageCatalog::FindUtf8(kEnglishLanguageId, id);
    return text != nullptr ? text : "";
}

namespace {

std::string Shown(const std::string& utf8) {
    const NarrowString narrow = ConsoleText(utf8.c_str(), utf8.c_str());
    return EscapeControlCharacters(std::string(narrow.Data(), narrow.Length()));
}

std::string ShownPath(const WideString& path) {
    const NarrowString bytes = ConsolePath(path);
    return EscapeControlCharacters(std::string(bytes.Data(), bytes.Length()));
}

bool EndsWithFullWidthColon(const std::string& utf8) {
    const std::string colon = "\uFF1A";
    return utf8.size() >= colon.size() && utf8.compare(utf8.size() - colon.size(), colon.size(), colon) == 0;
}

}  // namespace

std::string ConsoleMessage(const std::string& prose, const std::vector<WideString>& paths, size_t width) {
    std::string line = Shown(prose);
    size_t columns = DisplayColumns(prose);
    bool glued = EndsWithFullWidthColon(prose);
    for (const WideString& path : paths) {
        const std::string shown = ShownPath(path);
        if (!line.empty() && !glued) {
            line += ' ';
            ++columns;
        }
        line += shown;
        // Counted as UTF-8, which a path nearly always is.
        columns += DisplayColumns(shown);
        glued = false;
    }
    if (width == 0 || columns <= width) return line;
    std::string wrapped;
    for (const std::string& part : WrapLines(prose, width)) {
        if (!wrapped.empty()) wrapped += '\n';
        wrapped += Shown(part);
    }
    for (const WideString& path : paths) {
        if (!wrapped.empty()) wrapped += '\n';
        wrapped += ShownPath(path);
    }
    return wrapped;
}

std::string ConsoleMessage(const std::vector<ConsolePiece>& pieces, size_t width) {
    std::string message;
    for (const ConsolePiece& piece : pieces) {
        std::vector<WideString> paths;
        if (!piece.path.Empty()) paths.push_back(piece.path);
        if (!message.empty()) message += width == 0 ? ' ' : '\n';
        message += ConsoleMessage(piece.prose, paths, width);
    }
    return message;
}

std::string ErrorLine(const WideString& path, const std::string& what, const std::string& reason, size_t width) {
    const char* code = LanguageCode(ConsoleLanguage());
    std::string prose = "tplsetup: ";
    std::string text = WithoutFinalStop(what);
    if (!reason.empty()) text = (text.empty() ? std::string() : text + ReasonSeparator(code)) + reason;
    // The path comes first on one line, as such tools print it; wrapped
    // lines give it a line of its own after the words.
    if (!path.Empty() && (width == 0 || DisplayColumns(prose + ShownPath(path) + ": " + text) <= width)) {
        std::string line = "tplsetup: " + ShownPath(path);
        if (!text.empty()) line += ": " + Shown(text);
        return line;
    }
    if (path.Empty()) return ConsoleMessage(prose + text, {}, width);
    return ConsoleMessage(prose + text, {path}, width);
}

}  // namespace tpl
