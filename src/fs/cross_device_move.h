#pragma once
// A move to another file system is a copy: it is made under a temporary name
// in the destination's directory, and takes the destination's name only
// once it is whole and on the disk. A kill in between leaves such a name.
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include "text/cow_string.h"

// True when a name (one component, no directory) is the temporary name of
// a copy to another file system.
bool IsInterruptedCopyName(const tpl::WideString& name);

// Removes what copies cut short left directly in the directory (not below
// it; never a directory, never through a link). Returns how many went.
uint32_t RemoveInterruptedCopies(const tpl::WideString& directory);

namespace fs_detail {
// Moves a non-directory entry (source is its lstat) to another file system
// without any child process (see above). Whatever stood at the destination is
// replaced. On failure the original stays and no copy is left.
uint32_t MoveAcrossFileSystems(const std::string& from, const struct stat& source, const std::string& to);
}  // namespace fs_detail
