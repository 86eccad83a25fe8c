#pragma once
// Making a directory's entries durable after a file was created, renamed or
// removed in it.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Forces everything written on the file system that holds the path, file
// data and names alike, to disk (syncfs): one call makes a whole
// installation durable, cheaper than a sync of each file. 0 or an error number.
[[nodiscard]] uint32_t SyncFileSystemOf(const tpl::WideString& path);

namespace fs_detail {
// fsyncs the directory (a native path; empty means the working directory).
// Best effort: some file systems refuse fsync on a directory, and the names
// are in place either way.
void SyncDirectory(const std::string& directory);
}  // namespace fs_detail
// The same for the file system that holds the directory dir.
[[nodiscard]] uint32_t SyncFileSystemOfHeld(FileHandle dir);
