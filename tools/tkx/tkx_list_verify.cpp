#include <ostream>
#include "fs/file_types.h"
#include "kit/kit_reader.h"
#include "kit/kit_signature.h"
#include "text/text_helpers.h"
#include "text/convert.h"
#include "tkx_commands.h"
#include "tkx_kit_text.h"

namespace tpl {

namespace {

const char kListUsage[] =
    "usage: tkx list [--json] FILE\n"
    "\n"
    "Prints the kit's language texts, then one line per entry: size in bytes,\n"
    "write time (ISO 8601, UTC) and name. --json prints one JSON document\n"
    "(UTF-8) instead: {\"languages\": [...], \"entries\": [{\"name\", \"size\",\n"
    "\"writeTime\"}...]}.\n";

const char kVerifyUsage[] =
    "usage: tkx verify [--trusted-key=KEY]... FILE\n"
    "\n"
    "Loads the kit as the installer does and checks its integrity trailer when it\n"
    "has one. When a key is trusted (--trusted-key, a minisign public key file,\n"
    "or a *.pub file in /etc/tplsetup/trusted-keys/), the kit must carry a valid\n"
    "signature by one of them in FILE.minisig. Exits 0 when the kit loads, else 1\n"
    "with the reason, the error code and the kit's name.\n";

// The signature as the installer would judge it; false after printing why
// it would refuse the kit.
bool CheckSignature(const std::string& file, const std::vector<std::string>& keys, std::string* verdict,
                    std::ostream& err) {
    std::vector<WideString> given;
    for (const std::string& key : keys) given.push_back(ToWide(key.c_str()));
    const KitSignatureCheck check = CheckKitSignature(ToWide(file.c_str()), TrustedKeyFiles(given));
    if (check.verified) {
        *verdict = "signature by key " + check.keyId + " verified, trusted comment \"" +
                   EscapeControlCharacters(check.trustedComment) + "\"";
        return true;
    }
    if (check.Ok()) {
        *verdict = "no trusted key (signature not checked)";
        return true;
    }
    const char* what = check.problem == SignatureProblem::Missing       ? "not signed"
                       : check.problem == SignatureProblem::KeyUnusable ? "unusable trusted key"
                                                                        : "signature not valid";
    err << "tkx: verify: " << file << ": " << what << ": " << LocaleText(check.path) << ": "
        << EscapeControlCharacters(check.reason) << "\n";
    return false;
}

}  // namespace

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandArguments parsed;
    const int status = ParseCommandArguments(args, {"list", kListUsage, "one kit file", 1, true}, &parsed, out, err);
    if (status != kTkxOk) return status < 0 ? kTkxOk : status;
    const std::string& file = parsed.operands[0];
    KitReader reader;
    const uint32_t code = reader.Load(ToWide(file.c_str()));
    if (code != 0) {
        err << KitLoadFailureLine("list", file, code);
        return kTkxFailed;
    }
    if (parsed.json) {
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (uint32_t i = 0; i < reader.GetFileEntryCount(); ++i) entries.push_back(EntryJson(reader.GetFileEntry(i)));
        out << JsonText({{"languages", LanguagesJson(reader)}, {"entries", entries}});
        return kTkxOk;
    }
    for (const KitLanguageEntry& language : reader.GetLanguageEntries()) {
        out << "language " << LocaleText(language.code) << ": product \"" << LocaleText(language.product)
            << "\", vendor \"" << LocaleText(language.vendor) << "\", description \""
            << LocaleText(language.descriptionPath) << "\"\n";
    }
    for (uint32_t i = 0; i < reader.GetFileEntryCount(); ++i) {
        const KitFileEntry& entry = reader.GetFileEntry(i);
        out << entry.dataSize << "  " << IsoTime(entry.writeTime) << "  " << LocaleText(entry.name) << "\n";
    }
    return kTkxOk;
}

int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandArguments parsed;
    const int status =
        ParseCommandArguments(args, {"verify", kVerifyUsage, "one kit file", 1, false, true}, &parsed, out, err);
    if (status != kTkxOk) return status < 0 ? kTkxOk : status;
    const std::string& file = parsed.operands[0];
    std::string signature;
    if (!CheckSignature(file, parsed.trustedKeys, &signature, err)) return kTkxFailed;
    KitReader reader;
    const uint32_t code = reader.Load(ToWide(file.c_str()));
    if (code != 0) {
        err << KitLoadFailureLine("verify", file, code);
        return kTkxFailed;
    }
    uint64_t total = 0;
    for (uint32_t i = 0; i < reader.GetFileEntryCount(); ++i) total += reader.GetFileEntry(i).dataSize;
    out << file << ": OK, " << reader.GetFileEntryCount() << " entries, " << total << " bytes of files, "
        << (reader.GetTrailerState() == KitTrailerState::Verified ? "integrity trailer checked"
                                                                  : "no integrity trailer (not checked)")
        << ", " << signature << "\n";
    return kTkxOk;
}

}  // namespace tpl
