#pragma once
// Removing what a committed run set aside.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>
#include "fs/file_types.h"
#include "text/cow_string.h"

namespace tpl {

// How many files or directories are deleted at once.
constexpr uint32_t kBackupRemovalWorkers = 8;

// Empties the held directory: the files of each directory below it go
// several at a time, each directory after its contents; the name keep at
// its top stays. Where the file system gives a file's blocks back to the
// device as it is deleted (online discard), each deletion waits for the
// device; several at once overlap those waits, which otherwise take most of
// an upgrade's commit. Memory holds one directory's listing at a time.
// Never through a link.
void EmptyDirectoryConcurrently(FileHandle directory, const WideString& keep, uint32_t workers);

}  // namespace tpl
