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

// Removes what copies of source to destination left beside destination when
// they were cut short: only the names such a copy could have taken, never a
// directory, never through a link, never another entry of the same form.
// The source must still be there, as it is until a copy is complete.
// Returns how many went.
uint32_t RemoveInterruptedCopiesOf(const tpl::WideString& source, const tpl::WideString& destination);

namespace fs_detail {
// Moves a non-directory entry (source is its lstat) to another file system
// without any child process (see above). Whatever stood at the destination is
// replaced. On failure the original stays and no copy is left.
uint32_t MoveAcrossFileSystems(const std::string& from, const struct stat& source, const std::string& to);
}  // namespace fs_detail
