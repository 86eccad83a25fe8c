#pragma once
// Reads the language section and the file table of an unpacked kit body,
// checking every count, length and offset against the body's size.
#include <cstdint>
#include <vector>
#include "kit/kit_body_reader.h"
#include "kit/kit_file_table.h"
#include "kit/kit_format.h"

namespace tpl {

// A language text longer than this is no product name or document path.
constexpr uint32_t kKitMaxTextUnits = 4096;
// What the tables may take in memory, counted as their entries plus their
// texts' units, whatever counts the body claims; beyond it the kit is damaged.
constexpr uint64_t kKitMaxTableBytes = 64u << 20;
// What one file entry takes while the tables are read (its path's hash, for
// the check that no file stands where another needs a directory); its name
// stays in the body.
constexpr uint64_t kKitFileEntryBytes = sizeof(uint64_t);

// Reads from the start of the body. Appends language entries as they are
// read; the file table remembers where its records lie and gives entries
// with absolute data offsets. *dataStart receives the position of the data
// area. The reader must be able to go back (Seek) to read names again.
// Throws KitReadFailure: the reader's code when a read fails, else
// ERROR_INVALID_DATA for every malformed or unsafe table, for a file name
// that cannot be installed (IsInstallableEntryName), for a file entry that
// another needs as its directory, and for tables beyond maxTableBytes. A
// text over its limit is refused before anything is allocated for it.
void ReadKitTables(KitBodyReader& reader, uint64_t bodySize, std::vector<KitLanguageEntry>& languages,
                   KitFileTable& files, uint32_t* dataStart, uint64_t maxTableBytes = kKitMaxTableBytes);

// One file record at the reader's position, its data offset relative to
// the data area; the reader is left at the record's end. Throws as above
// for a record that does not fit the body; the name is not checked here.
KitFileEntry ReadFileRecord(KitBodyReader& reader, uint64_t bodySize);
// Steps over one file record.
void SkipFileRecord(KitBodyReader& reader, uint64_t bodySize);

}  // namespace tpl
