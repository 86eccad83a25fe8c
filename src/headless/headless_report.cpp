#include "headless/headless_report.h"

#include "catalog/message_catalog.h"
#include "session/console_text.h"
#include "session/install_preparation.h"
#include "text/utf8.h"

namespace tpl {

void PrintLine(std::FILE* out, const std::string& text) {
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

void PrintLine(std::FILE* out, const NarrowString& text) {
    PrintLine(out, std::string(text.Data(), text.Length()));
}

std::string PreparationErrorLine(const PreparationResult& result) {
    return ErrorLine(result.errorPath, ConsoleCatalogText(result.errorTextId), result.errorReason);
}

std::string JsonString(const WideString& text) {
    const NarrowString utf8 = ToUtf8(text);
    return std::string(utf8.Data(), utf8.Length());
}

nlohmann::ordered_json ErrorJson(const WideString& path, const char* textId, const NarrowString& reason) {
    const char* english = textId != nullptr ? MessageCatalog::FindUtf8(kEnglishLanguageId, textId) : nullptr;
    return {{"path", JsonString(path)},
            {"message", english != nullptr ? english : ""},
            {"reason", std::string(reason.Data(), reason.Length())}};
}

nlohmann::ordered_json PreparationErrorJson(const PreparationResult& result) {
    return ErrorJson(result.errorPath, result.errorTextId, result.errorReason);
}

}  // namespace tpl
