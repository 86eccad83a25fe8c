#include <ctime>
#include <ostream>
#include "fs/file_types.h"
#include "kit/kit_reader.h"
#include "text/convert.h"
#include "tkx_commands.h"

namespace {

const char kListUsage[] =
    "usage: tkx list FILE\n"
    "\n"
    "Prints the kit's language texts, then one line per entry: size in bytes,\n"
    "write time (ISO 8601, UTC) and name.\n";

const char kVerifyUsage[] =
    "usage: tkx verify FILE\n"
    "\n"
    "Loads the kit as the installer does and checks its integrity trailer when it\n"
    "has one. Exits 0 when the kit loads, else 1 with the reason, the error code\n"
    "and the kit's name.\n";

std::string Narrow(const WideString& text) {
    const NarrowString narrow = ToNarrow(text);
    return std::string(narrow.Data(), narrow.Length());
}

std::string IsoTime(FILETIME time) {
    // 64-bit seconds, so that times past 2038 print as they are.
    const int64_t seconds = static_cast<int64_t>(time / 10000000ull) - 11644473600ll;
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "?";
    if (gmtime_r(&t, &parts) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// Parses "COMMAND FILE" arguments; returns kTkxOk with *file set, or the status.
int SingleFileArgument(const std::vector<std::string>& args, const char* usage, const char* command,
                       std::string* file, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << usage;
            return -1;
        }
    }
    if (args.size() != 1 || (!args[0].empty() && args[0][0] == '-')) {
        err << "tkx: " << command << ": expected one kit file\n" << usage;
        return kTkxUsage;
    }
    *file = args[0];
    return kTkxOk;
}

}  // namespace

int RunList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file;
    const int status = SingleFileArgument(args, kListUsage, "list", &file, out, err);
    if (status != kTkxOk) return status < 0 ? kTkxOk : status;
    KitReader reader;
    const uint32_t code = reader.Load(ToWide(file.c_str()));
    if (code != 0) {
        err << "tkx: list: " << file << ": " << DescribeKitError(code) << " (error " << code << ")\n";
        return kTkxFailed;
    }
    for (const KitLanguageEntry& language : reader.GetLanguageEntries()) {
        out << "language " << Narrow(language.code) << ": product \"" << Narrow(language.product)
            << "\", vendor \"" << Narrow(language.vendor) << "\", description \""
            << Narrow(language.descriptionPath) << "\"\n";
    }
    for (uint32_t i = 0; i < reader.GetFileEntryCount(); ++i) {
        const KitFileEntry& entry = reader.GetFileEntry(i);
        out << entry.dataSize << "  " << IsoTime(entry.writeTime) << "  " << Narrow(entry.name) << "\n";
    }
    return kTkxOk;
}

int RunVerify(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string file;
    const int status = SingleFileArgument(args, kVerifyUsage, "verify", &file, out, err);
    if (status != kTkxOk) return status < 0 ? kTkxOk : status;
    KitReader reader;
    const uint32_t code = reader.Load(ToWide(file.c_str()));
    if (code != 0) {
        err << "tkx: verify: " << file << ": " << DescribeKitError(code) << " (error " << code << ")\n";
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
