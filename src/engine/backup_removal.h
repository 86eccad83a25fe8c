#pragma once
// Removing what a committed run set aside.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>
#include "text/cow_string.h"

namespace tpl {

// How many files or directories are deleted at once.
constexpr uint32_t kBackupRemovalWorkers = 8;

// Deletes every path, up to workers at a time. Where the file system gives
// a file's blocks back to the device as it is deleted (online discard),
// each deletion waits for the device; several at once overlap those waits,
// which otherwise take most of an upgrade's commit. A path that is already
// gone is no fault.
void DeleteFilesConcurrently(const std::vector<WideString>& paths, uint32_t workers);

// Empties directory (which ends in "/"): the files of each directory below it
// go several at a time, then the directories, deepest first; the name keep
// at its top stays. Memory holds one directory's listing at a time and the
// names of the directories, never a list of every file.
void EmptyDirectoryConcurrently(const WideString& directory, const WideString& keep, uint32_t workers);

// Removes the directories that are empty, deepest first and those of one
// depth several at a time, so that a parent's turn comes after its children.
void RemoveEmptyDirectoriesConcurrently(std::vector<WideString> directories, uint32_t workers);

}  // namespace tpl
