#pragma once
// Reads the language section and the file table of an unpacked kit body,
// checking every count, length and offset against the body's size.
#include <cstdint>
#include <vector>
#include "kit/kit_body_reader.h"
#include "kit/kit_format.h"

// Reads from the start of the body. Appends language entries as they are
// read; file entries get absolute data offsets. *dataStart receives the
// position of the data area. Throws an error number (uint32_t):
// ERROR_INVALID_DATA for every malformed or unsafe table.
void ReadKitTables(KitBodyReader& reader, uint64_t bodySize, std::vector<KitLanguageEntry>& languages,
                   std::vector<KitFileEntry>& files, uint32_t* dataStart);

// False for names that would leave the template directory once "\" becomes
// "/": empty, absolute, with a ".." component, or holding a 0 unit (which
// would cut the path short on its way to the C library).
bool IsSafeEntryName(const WideString& name);
