// Feeds arbitrary bytes to the launcher file's reader, as the installer
// meets a file that the launcher, a user or another program wrote. Besides
// crashes it checks that the reader's 1024-byte chunks change nothing (a
// character or a line split between two reads reads as a whole), and that
// every text read can be written back.
#include <cstdint>
#include <cstdlib>
#include "config/config_line_parser.h"
#include "config/launcher_config.h"
#include "config/multibyte_decoder.h"
#include "fuzz_work_directory.h"

namespace tpl {
namespace {

// The same bytes decoded in one piece.
LauncherConfig ReadInOnePiece(const uint8_t* data, size_t size) {
    LauncherConfig table;
    ConfigLineParser parser(&table);
    MultibyteDecoder decoder;
    WideString units;
    decoder.Decode(reinterpret_cast<const char*>(data), size, &units);
    decoder.Finish(&units);
    parser.Feed(units.Data(), units.Length());
    parser.Finish();
    return table;
}

bool SameTables(const LauncherConfig& a, const LauncherConfig& b) {
    if (a.Entries().size() != b.Entries().size()) return false;
    for (size_t i = 0; i < a.Entries().size(); ++i) {
        const LauncherConfigEntry& x = a.Entries()[i];
        const LauncherConfigEntry& y = b.Entries()[i];
        if (!(x.key == y.key) || x.values.size() != y.values.size()) return false;
        for (size_t j = 0; j < x.values.size(); ++j)
            if (!(x.values[j] == y.values[j])) return false;
    }
    return true;
}

}  // namespace

int ReadOneInput(const uint8_t* data, size_t size) {
    const WideString path = WriteFuzzInput("pivotrun.cfg", data, size);
    LauncherConfig table;
    if (table.ReadFile(path) != ConfigReadResult::Read) std::abort();
    if (!SameTables(table, ReadInOnePiece(data, size))) std::abort();
    NarrowString bytes;
    for (const LauncherConfigEntry& entry : table.Entries()) {
        if (!EncodeConfigText(entry.key, &bytes)) std::abort();
        for (const WideString& value : entry.values)
            if (!EncodeConfigText(value, &bytes)) std::abort();
    }
    return 0;
}

}  // namespace tpl

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tpl::ReadOneInput(data, size);
}
