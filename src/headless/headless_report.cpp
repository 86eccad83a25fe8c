#include "headless/headless_report.h"

#include <cstring>

#include "catalog/message_catalog.h"
#include "fs/last_error.h"
#include "kit/kit_plan.h"
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

nlohmann::ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

}  // namespace

const char* ErrorCodeOfText(const char* textId) {
    static const struct {
        const char* textId;
        const char* code;
    } kCodes[] = {
        {"IDS_ERROR_NOSOURCE", "kit-missing"},          {"IDS_ERROR_DAMAGEDSOURCE", "kit-damaged"},
        {"IDS_ERROR_NOSPACE", "no-space"},              {"IDS_ERROR_DISKFULL", "no-space"},
        {"IDS_ERROR_TEMPNOTWRITABLE", "temp-unwritable"}, {"IDS_SETUP_EMPTYTARGET", "target-invalid"},
        {"IDS_ERROR_NOTARGET", "target-invalid"},       {"IDS_TARGET_RELATIVE", "target-invalid"},
        {"IDS_TARGET_CANNOTCREATE", "target-unwritable"}, {"IDS_TARGET_NOTWRITABLE", "target-unwritable"},
        {"IDS_TARGET_ISFILE", "target-unwritable"},     {"IDS_ERROR_TARGETBUSY", "busy"},
        {"IDS_ERROR_NOTRECORDED", "launcher-unwritable"}, {"IDS_CANCEL_FINISH", "cancelled"},
        {"IDS_ERROR_LOCKTAKEN", "lock-unavailable"},      {"IDS_ERROR_SIGNATUREMISSING", "signature-missing"},
        {"IDS_ERROR_SIGNATUREINVALID", "signature-invalid"}, {"IDS_ERROR_TRUSTEDKEY", "trusted-key-invalid"},
    };
    if (textId != nullptr)
        for (const auto& entry : kCodes)
            if (std::strcmp(entry.textId, textId) == 0) return entry.code;
    return "install-failed";
}

nlohmann::ordered_json ErrorJson(const char* code, const WideString& path, const char* textId,
                                 const NarrowString& reason) {
    const char* english = textId != nullptr ? MessageCatalog::FindUtf8(kEnglishLanguageId, textId) : nullptr;
    // A text written to lead into its reason ends in a colon; the reason
    // has a key of its own here.
    std::string message = english != nullptr ? english : "";
    while (!message.empty() && (message.back() == ':' || message.back() == ' ')) message.pop_back();
    return {{"code", code},
            {"message", message},
            {"reason", TextOrNull(std::string(reason.Data(), reason.Length()))},
            {"path", TextOrNull(JsonString(path))}};
}

void AddSignatureJson(const KitSignatureCheck& signature, nlohmann::ordered_json* document) {
    if (signature.verified) {
        (*document)["signature"] = {{"keyId", signature.keyId}, {"trustedComment", signature.trustedComment}};
    } else if (!signature.Ok() && !signature.keyId.empty() && document->contains("error") &&
               !(*document)["error"].is_null()) {
        (*document)["error"]["keyId"] = signature.keyId;
    }
}

nlohmann::ordered_json PreparationErrorJson(const PreparationResult& result) {
    nlohmann::ordered_json error =
        ErrorJson(ErrorCodeOfText(result.errorTextId), result.errorPath, result.errorTextId, result.errorReason);
    // Naming the kit file given, as the line does.
    error["message"] = PreparationErrorTextUtf8(kEnglishLanguageId, result);
    return error;
}

nlohmann::ordered_json NewRunDocument(bool dryRun) {
    const nlohmann::ordered_json null;
    return {{"schemaVersion", 1},    {"program", "tplsetup"}, {"dryRun", dryRun},    {"changed", false},
            {"exitStatus", null},    {"kit", null},           {"target", null},      {"summary", null},
            {"entries", null},       {"space", null},         {"lock", null},        {"launcherFile", null},
            {"launcherFiles", nlohmann::ordered_json::array()}, {"recovered", nlohmann::ordered_json::array()},
            {"error", null},         {"signature", null}};
}

void SetLauncherFiles(nlohmann::ordered_json& document, const std::vector<LauncherFileRecording>& files) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const LauncherFileRecording& file : files) {
        const bool failed = file.action == LauncherFileAction::Failed;
        list.push_back({{"path", TextOrNull(JsonString(file.path))},
                        {"action", LauncherFileActionName(file.action)},
                        {"reason", failed ? nlohmann::ordered_json(SystemErrorText(file.systemErrno).Data())
                                          : nlohmann::ordered_json()}});
        if (file.action == LauncherFileAction::Created || file.action == LauncherFileAction::Updated)
            document["changed"] = true;
    }
    document["launcherFile"] = list.empty() ? nlohmann::ordered_json() : list.front();
    document["launcherFiles"] = list;
}

void SetRecovered(nlohmann::ordered_json& document, const std::vector<RecoveryReport>& reports) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const RecoveryReport& report : reports) {
        list.push_back({{"directory", JsonString(report.targetDirectory)},
                        {"restored", report.restoredFiles},
                        {"removed", report.removedFiles + report.removedDirectories},
                        {"complete", RecoveryIsComplete(report)}});
        document["changed"] = true;
    }
    document["recovered"] = list;
}

void PrintRunDocument(nlohmann::ordered_json& document, int exitStatus, std::FILE* output) {
    document["exitStatus"] = exitStatus;
    std::fputs(JsonText(document).c_str(), output);
    std::fflush(output);
}

}  // namespace tpl
