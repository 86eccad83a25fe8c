#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>
#include "fs/last_error.h"
#include "fs/file_io.h"
#include "fs/unique_file_handle.h"
#include "kit/kit_body_codec.h"
#include "kit/kit_writer.h"
#include "text/convert.h"
#include "tkx_commands.h"
#include "tkx_tree.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {

const char kPackUsage[] =
    "usage: tkx pack -o FILE [-l N] [--lang CODE --product TEXT --vendor TEXT --description PATH]... DIR\n"
    "\n"
    "Packs every regular file below DIR into the kit FILE, with its path relative\n"
    "to DIR and its modification time. Each --lang starts the texts of one\n"
    "language; --product, --vendor and --description fill the last one. A single\n"
    "\"en\" group gives the single-language form. Symbolic links and special\n"
    "files are refused.\n"
    "\n"
    "  -o, --output FILE   the kit to write\n"
    "  -l, --level N       compression level 0..9 (default 9)\n";

constexpr uint32_t kStreamBufferSize = 0x100000;

struct PackOptions {
    std::string output;
    std::string directory;
    int level = 9;
    std::vector<KitLanguageEntry> languages;
};

WideString WithBackslashes(const std::string& path) {
    WideString text = ToWide(path.c_str());
    if (!text.Empty())
        for (char16_t* unit = text.MutableData(); *unit != 0; ++unit)
            if (*unit == u'/') *unit = u'\\';
    return text;
}

// Returns kTkxOk, or the status to exit with after the message in *error.
int ParsePackOptions(const std::vector<std::string>& args, PackOptions* options, std::string* error) {
    bool optionsEnded = false;  // after "--", a directory whose name begins with "-"
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            if (!options->directory.empty()) {
                *error = "only one directory can be packed";
                return kTkxUsage;
            }
            options->directory = arg;
            continue;
        }
        const bool takesValue = arg == "-o" || arg == "--output" || arg == "-l" || arg == "--level" ||
                                arg == "--lang" || arg == "--product" || arg == "--vendor" || arg == "--description";
        if (takesValue && i + 1 >= args.size()) {
            *error = "option " + arg + " needs a value";
            return kTkxUsage;
        }
        if (arg == "-o" || arg == "--output") {
            options->output = args[++i];
        } else if (arg == "-l" || arg == "--level") {
            const std::string& value = args[++i];
            if (value.size() != 1 || value[0] < '0' || value[0] > '9') {
                *error = "the level must be a digit 0..9, not '" + value + "'";
                return kTkxUsage;
            }
            options->level = value[0] - '0';
        } else if (arg == "--lang") {
            options->languages.push_back(KitLanguageEntry{ToWide(args[++i].c_str()), {}, {}, {}});
        } else if (arg == "--product" || arg == "--vendor" || arg == "--description") {
            if (options->languages.empty()) {
                *error = arg + " must follow a --lang CODE";
                return kTkxUsage;
            }
            KitLanguageEntry& language = options->languages.back();
            const std::string& value = args[++i];
            if (arg == "--product") language.product = ToWide(value.c_str());
            if (arg == "--vendor") language.vendor = ToWide(value.c_str());
            if (arg == "--description") language.descriptionPath = WithBackslashes(value);
        } else {
            *error = "unknown option " + arg;
            return kTkxUsage;
        }
    }
    if (options->output.empty() || options->directory.empty()) {
        *error = "pack needs -o FILE and a directory";
        return kTkxUsage;
    }
    if (options->languages.empty()) options->languages.push_back(KitLanguageEntry{u"en", {}, {}, {}});
    return kTkxOk;
}

bool OutputInsideTree(const std::string& output, const std::string& directory) {
    std::error_code code;
    const fsys::path out = fsys::weakly_canonical(output, code);
    const fsys::path dir = fsys::weakly_canonical(directory, code);
    const std::string relative = out.lexically_relative(dir).generic_string();
    return !relative.empty() && relative.rfind("..", 0) != 0;
}

// Streams one file's bytes into the kit; the file must still have the size
// recorded in the table.
bool StreamFile(KitStreamWriter& writer, const PackSource& source, unsigned char* buffer, std::string* error) {
    UniqueFileHandle handle;
    if (FileOpen(ToWide(source.path.c_str()), GENERIC_READ, 0, OPEN_EXISTING, handle.OutPtr(),
                 FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL) != 0) {
        *error = "cannot open " + source.path;
        return false;
    }
    uint32_t remaining = source.size;
    for (;;) {
        uint32_t got = 0;
        const uint32_t want = remaining < kStreamBufferSize ? remaining : kStreamBufferSize;
        // One byte more than expected at the end reveals a file that grew.
        if (FileRead(handle.Get(), buffer, want == 0 ? 1 : want, &got, nullptr) != 0) {
            *error = "cannot read " + source.path;
            return false;
        }
        if (remaining == 0) {
            if (got != 0) break;
            return true;
        }
        if (got == 0) break;
        const uint32_t code = writer.Write(buffer, got);
        if (code != 0) {
            *error = std::string("cannot write the kit: ") + ErrorReasonText(code, GetLastFileErrno()).Data();
            return false;
        }
        remaining -= got;
    }
    *error = source.path + " changed while it was being packed";
    return false;
}

int Pack(const PackOptions& options, std::ostream& out, std::ostream& err) {
    if (OutputInsideTree(options.output, options.directory)) {
        err << "tkx: pack: the kit " << options.output << " must not lie inside the packed tree\n";
        return kTkxFailed;
    }
    std::vector<PackSource> sources;
    std::string error;
    if (!CollectPackSources(options.directory, &sources, &error)) {
        err << "tkx: pack: " << error << "\n";
        return kTkxFailed;
    }
    std::vector<KitFileRecord> records;
    uint64_t offset = 0;
    for (const PackSource& source : sources) {
        records.push_back({source.kitName, source.writeTime, static_cast<uint32_t>(offset), source.size});
        offset += source.size;
        if (offset > 0xFFFFFFFFu) {
            err << "tkx: pack: the files add up to 4 GiB or more, which a kit cannot hold\n";
            return kTkxFailed;
        }
    }
    for (const KitLanguageEntry& language : options.languages) {
        if (language.descriptionPath.Empty()) continue;
        bool found = false;
        for (const KitFileRecord& record : records) found = found || record.name == language.descriptionPath;
        if (!found) {
            const NarrowString path = ToNarrow(language.descriptionPath);
            err << "tkx: pack: warning: the description " << path.Data() << " is not among the packed files\n";
        }
    }
    const bool singleLanguageForm = options.languages.size() == 1 && options.languages[0].code == WideString(u"en");
    const ByteVector tables = EncodeKitTables(options.languages, records, singleLanguageForm);

    // The kit writer builds the kit beside the old one and puts it in place
    // only once it is complete, so a failed pack leaves that kit as it was.
    KitStreamWriter writer;
    uint32_t code = writer.Open(ToWide(options.output.c_str()), options.level);
    if (code == 0) code = writer.Write(tables.data(), static_cast<uint32_t>(tables.size()));
    if (code != 0) {
        err << "tkx: pack: cannot write " << options.output << ": " << ErrorReasonText(code, GetLastFileErrno()).Data()
            << "\n";
        return kTkxFailed;
    }
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kStreamBufferSize]);
    for (const PackSource& source : sources) {
        if (!StreamFile(writer, source, buffer.get(), &error)) {
            err << "tkx: pack: " << error << "\n";
            return kTkxFailed;
        }
    }
    code = writer.Finish(true);
    if (code != 0) {
        err << "tkx: pack: cannot finish " << options.output << ": " << ErrorReasonText(code, GetLastFileErrno()).Data()
            << "\n";
        return kTkxFailed;
    }
    out << "packed " << sources.size() << " files, body " << writer.BodySize() << " bytes, kit " << writer.KitSize()
        << " bytes\n";
    return kTkxOk;
}

}  // namespace

int RunPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kPackUsage;
            return kTkxOk;
        }
    }
    PackOptions options;
    std::string error;
    const int status = ParsePackOptions(args, &options, &error);
    if (status != kTkxOk) {
        err << "tkx: pack: " << error << "\n" << kPackUsage;
        return status;
    }
    return Pack(options, out, err);
}

}  // namespace tpl
