#include "headless/headless_report.h"

#include <cstring>

#include "catalog/message_catalog.h"
#include "kit/kit_signature.h"
#include "session/console_text.h"
#include "session/install_preparation.h"
#include "session/preparation_context.h"
#include "session/system_texts.h"
#include "text/utf8.h"

namespace tpl {

void PrintLine(std::FILE* out, const std::string& text) {
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

void PrintLine(std::FILE* out, const NarrowString& text) {
    PrintLine(out, std::string(text.Data(), text.Length()));
}

std::string PreparationErrorLine(const PreparationResult& result, size_t width) {
    const int32_t language = ConsoleLanguage();
    // A reason known by its number is told in the language of the line.
    const std::string reason = result.errorErrno != 0 ? ReasonTextIn(language, result.errorErrno).Data()
                                                      : std::string(result.errorReason.Data());
    return ErrorLine(result.errorPath, PreparationErrorTextUtf8(language, result), reason, width);
}

size_t ConsoleWidth(bool terminal) {
    // The width most terminals open with; prose is easier to read there
    // than in lines that run to twice that.
    return terminal ? 80 : 0;
}

std::string JsonString(const WideString& text) {
    const NarrowString utf8 = ToUtf8(text);
    return std::string(utf8.Data(), utf8.Length());
}

namespace {

// The stable codes that scripts test instead of the message's words.
struct ErrorCodeName {
    const char* textId;
    const char* code;
};

const ErrorCodeName kErrorCodes[] = {
    {"IDS_ERROR_SIGNATUREMISSING", "signature-missing"},
    {"IDS_ERROR_SIGNATUREINVALID", "signature-invalid"},
    {"IDS_ERROR_TRUSTEDKEY", "trusted-key-invalid"},
};

}  // namespace

nlohmann::ordered_json ErrorJson(const WideString& path, const char* textId, const NarrowString& reason) {
    const char* english = textId != nullptr ? MessageCatalog::FindUtf8(kEnglishLanguageId, textId) : nullptr;
    nlohmann::ordered_json error = nlohmann::ordered_json::object();
    for (const ErrorCodeName& known : kErrorCodes)
        if (textId != nullptr && std::strcmp(known.textId, textId) == 0) error["code"] = known.code;
    error["path"] = JsonString(path);
    error["message"] = english != nullptr ? english : "";
    error["reason"] = std::string(reason.Data(), reason.Length());
    return error;
}

void AddSignatureJson(const KitSignatureCheck& signature, nlohmann::ordered_json* document) {
    if (signature.verified) {
        (*document)["signature"] = {{"keyId", signature.keyId}, {"trustedComment", signature.trustedComment}};
    } else if (!signature.Ok() && !signature.keyId.empty() && document->contains("error")) {
        (*document)["error"]["keyId"] = signature.keyId;
    }
}

nlohmann::ordered_json PreparationErrorJson(const PreparationResult& result) {
    nlohmann::ordered_json error = ErrorJson(result.errorPath, result.errorTextId, result.errorReason);
    // Naming the kit file given, as the line does.
    error["message"] = PreparationErrorTextUtf8(kEnglishLanguageId, result);
    return error;
}

}  // namespace tpl
