// Reading and writing the launcher file in the locale's multibyte encoding.
#include "config/launcher_config.h"
#include "fs/atomic_replace.h"
#include "fs/unique_file_handle.h"

#include "config/config_line_parser.h"
#include "config/multibyte_decoder.h"
#include "fs/file_io.h"
#include "text/convert.h"

namespace tpl {

namespace {

constexpr uint32_t kReadChunkBytes = 1024;

void AppendWithoutLineFeeds(NarrowString* out, const NarrowString& text) {
    // The format has no escape for a line feed: one inside a key or value
    // would end the line there and forge a line of its own.
    const char* units = text.Data();
    uint32_t length = text.Length();
    uint32_t start = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i == length || units[i] == '\n') {
            out->Append(units + start, i - start);
            start = i + 1;
        }
    }
}

}  // namespace

ConfigReadResult LauncherConfig::ReadFile(const WideString& path) {
    UniqueFileHandle file;
    uint32_t opened = FileOpen(path, GENERIC_READ, 0, OPEN_EXISTING, file.OutPtr(),
                               FILE_ATTRIBUTE_NORMAL);
    if (opened == ERROR_FILE_NOT_FOUND || opened == ERROR_PATH_NOT_FOUND) return ConfigReadResult::Missing;
    if (opened != ERROR_SUCCESS) return ConfigReadResult::Unreadable;

    ConfigLineParser parser(this);
    MultibyteDecoder decoder;
    char chunk[kReadChunkBytes];
    WideString units;
    for (;;) {
        uint32_t got = 0;
        if (FileRead(file.Get(), chunk, kReadChunkBytes, &got, nullptr) != ERROR_SUCCESS) {
            // Keep the complete lines read so far, not a cut-off last line.
            return ConfigReadResult::Unreadable;
        }
        if (got == 0) break;
        units = WideString();
        decoder.Decode(chunk, got, &units);
        parser.Feed(units.Data(), units.Length());
    }
    units = WideString();
    decoder.Finish(&units);
    parser.Feed(units.Data(), units.Length());
    parser.Finish();
    return ConfigReadResult::Read;
}

// Converts for writing, bytes read from the file as they were; a text the
// locale cannot represent would be written wrong or empty, so the whole write
// is refused and the old file stays.
static NarrowString NarrowForWriting(const WideString& text) {
    NarrowString narrow;
    if (!EncodeConfigText(text, &narrow)) throw LauncherWriteError{LauncherWriteError::kWriteFailed};
    return narrow;
}

void LauncherConfig::WriteFile(const WideString& path) const {
    NarrowString text;
    for (const LauncherConfigEntry& entry : entries_) {
        NarrowString key = NarrowForWriting(entry.key);
        for (const WideString& value : entry.values) {
            AppendWithoutLineFeeds(&text, key);
            text.Append('=');
            AppendWithoutLineFeeds(&text, NarrowForWriting(value));
            text.Append('\n');
        }
    }
    // Written beside the old file and renamed over it, so a failure at any
    // point leaves the launcher's file as it was.
    bool created = false;
    if (WriteFileReplacing(path, text.Data(), text.Length(), &created) == 0) return;
    throw LauncherWriteError{created ? LauncherWriteError::kWriteFailed : LauncherWriteError::kCannotCreate};
}

}  // namespace tpl
