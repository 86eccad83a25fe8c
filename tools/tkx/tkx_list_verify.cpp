#include <ostream>
#include "fs/file_types.h"
#include "kit/kit_reader.h"
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
    "usage: tkx verify FILE\n"
    "\n"
    "Loads the kit as the installer does and checks its integrity trailer when it\n"
    "has one. Exits 0 when the kit loads, else 1 with the reason, the error code\n"
    "and the kit's name.\n";

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
        ParseCommandArguments(args, {"verify", kVerifyUsage, "one kit file", 1, false}, &parsed, out, err);
    if (status != kTkxOk) return status < 0 ? kTkxOk : status;
    const std::string& file = parsed.operands[0];
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
        << "\n";
    return kTkxOk;
}

}  // namespace tpl
