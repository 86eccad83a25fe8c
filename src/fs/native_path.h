#pragma once
// Paths as the system calls take them, for the file layer's own sources.
#include <string>
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

namespace fs_detail {
// The path in the locale's encoding, cut at its first 0 unit.
std::string NativePath(const tpl::WideString& path);
// The hidden name beside a file: its directory, ".", its name, then suffix
// ("/d/f" and ".lock" give "/d/.f.lock").
std::string HiddenSiblingPath(const std::string& path, const char* suffix);
// True when the native path names a directory, links followed.
bool IsNativeDirectory(const std::string& path);
// The directory that holds path, opened the way a path is walked (links on
// the way followed: the path is the caller's) for use as the directory of
// the *at calls, and path's last component in *name ("" for "/"). Not held
// when it cannot be opened, errno telling why.
UniqueFileHandle OpenParentOf(const std::string& path, std::string* name);
}  // namespace fs_detail
