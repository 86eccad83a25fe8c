#pragma once
// A move to another file system is a copy: it is made under a temporary name
// in the destination's directory, and takes the destination's name only
// once it is whole and on the disk. A kill in between leaves such a name.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "text/cow_string.h"

// True when a name (one component, no directory) is the temporary name of
// a copy to another file system.
bool IsInterruptedCopyName(const tpl::WideString& name);

// Removes what copies of the entry source in sourceDir to destinationDir
// left there when they were cut short: only the names such a copy could
// have taken, never a directory, never through a link, never another entry
// of the same form. The source must still be there, as it is until a copy
// is complete. Returns how many went.
uint32_t RemoveInterruptedCopiesAt(FileHandle sourceDir, const tpl::WideString& source, FileHandle destinationDir);

// Moves the entry from (not a directory) of fromDir to the name to in toDir,
// on another file system, without any child process and never through a
// link on either side (see above). Whatever stood at the destination is
// replaced. The original goes only when it is still the entry copied; on
// failure it stays and no copy is left.
[[nodiscard]] uint32_t MoveAcrossFileSystemsAt(FileHandle fromDir, const tpl::WideString& from, FileHandle toDir,
                                               const tpl::WideString& to);

namespace fs_detail {
// The same between two paths (links on the way to their directories followed).
uint32_t MoveAcrossFileSystems(const std::string& from, const std::string& to);
}  // namespace fs_detail
