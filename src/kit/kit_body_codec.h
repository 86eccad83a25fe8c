#pragma once
// Encoding of the kit body's primitive types and tables: little-endian u32
// fields and counted UTF-16LE strings. Used by the kit writer and by tests
// that hand-build bodies.
#include <cstdint>
#include <vector>
#include "kit/kit_format.h"

namespace tpl {

using ByteVector = std::vector<unsigned char>;

void AppendU32(ByteVector& out, uint32_t value);
void AppendCountedString(ByteVector& out, const WideString& text);

uint32_t DecodeU32(const unsigned char* bytes) noexcept;

// One file record of the table as the writer lays it out; dataOffset is
// relative to the start of the data area.
struct KitFileRecord {
    WideString name;
    FILETIME writeTime = 0;
    uint32_t dataOffset = 0;
    uint32_t dataSize = 0;
};

struct KitTableLayout {
    // Single-language form: the only language must be "en" and is stored
    // without its code. Otherwise the language-table form with this flag.
    bool singleLanguageForm = false;
    uint32_t tableFlag = 1;
    // Extra bytes after the fields of every record (readers skip them).
    uint32_t recordPadding = 0;
};

// The header flag, the language section and the file table: everything of
// the body that precedes the data area.
ByteVector EncodeKitTables(const std::vector<KitLanguageEntry>& languages, const std::vector<KitFileRecord>& files,
                           const KitTableLayout& layout);

}  // namespace tpl
