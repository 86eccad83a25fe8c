#pragma once
// The names of file entries as the installer uses them: paths below the
// template directory that this system can create.
#include <climits>
#include <cstdint>
#include <vector>
#include "kit/kit_body_reader.h"
#include "kit/kit_file_table.h"
#include "kit/kit_format.h"
#include "text/cow_string.h"

namespace tpl {

// A name must fit the system's path limit (with its terminating 0) once
// converted to the locale's encoding, and each of its components the limit
// of one directory entry.
constexpr uint32_t kKitMaxNameBytes = PATH_MAX - 1;
constexpr uint32_t kKitMaxComponentBytes = NAME_MAX;

// True when the path, in the bytes the file system gets, fits the system's
// limits: the whole path and each of its components. The system refuses a
// longer one before it looks at any directory.
bool FitsPathLimit(const WideString& path);
bool FitsPathLimit(const NarrowString& bytes);

// Turns a kit entry's name into a path relative to the template directory:
// "\" and "/" both separate, and empty and "." components are dropped, so
// names that differ only in those land at the same, single spelling.
// Returns false for a name with no component left, with a ".." component
// (which would reach outside the template directory) or with a 0 unit (which
// the file layer would cut the path at).
bool MakeRelativeEntryPath(const WideString& name, WideString* relative);

// True when the name names a file below the template directory that can be
// created in the current locale: free of control characters, not absolute, not ending in a separator or
// a "." component (those name a directory), accepted by
// MakeRelativeEntryPath, convertible, within kKitMaxNameBytes once converted
// and with no component longer than kKitMaxComponentBytes.
bool IsInstallableEntryName(const WideString& name);

// A hash of the name as MakeRelativeEntryPath spells it: names that land
// at the same path hash alike. The seed (EntryPathHashSeed) differs from run
// to run, so that no kit can be made whose names all collide.
uint64_t EntryPathHash(const WideString& name, uint64_t seed);
uint64_t EntryPathHashSeed();

// True when two entries land at the same path ("a\b" and "a/./b"): which
// of them is to be installed would depend on the order, and the second
// would replace the first as if it were the user's. pathHashes as below.
bool HasRepeatedEntry(KitFileTable& table, KitBodyReader& reader, const std::vector<uint64_t>& pathHashes);

// True when one entry's name is, component by component, a directory on the
// way to another entry's name ("a" and "a\b"): the first cannot be both a
// file and a directory. Names are compared as MakeRelativeEntryPath spells
// them. pathHashes holds EntryPathHash of every entry of the table (taken
// and sorted here); the names are read back through reader, and a hash that
// matches is confirmed by the names themselves.
bool HasFileUsedAsDirectory(KitFileTable& table, KitBodyReader& reader, std::vector<uint64_t> pathHashes,
                            uint64_t seed);

}  // namespace tpl
