#pragma once
// Making a directory's entries durable after a file was created, renamed or
// removed in it.
#include <string>

namespace fs_detail {
// fsyncs the directory (a native path; empty means the working directory).
// Best effort: some file systems refuse fsync on a directory, and the names
// are in place either way.
void SyncDirectory(const std::string& directory);
}  // namespace fs_detail
