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

// The fields of one language record and of one file record, without the
// record's length word.
void AppendLanguageFields(ByteVector& out, const KitLanguageEntry& language);
void AppendFileFields(ByteVector& out, const KitFileRecord& file);

// The header flag, the language section and the file table: everything of
// the body that precedes the data area. The single-language form stores the
// only language, which must be "en", without its code; otherwise the
// language table follows the flag 1.
ByteVector EncodeKitTables(const std::vector<KitLanguageEntry>& languages, const std::vector<KitFileRecord>& files,
                           bool singleLanguageForm);

}  // namespace tpl
