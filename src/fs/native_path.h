#pragma once
// Paths as the system calls take them, for the file layer's own sources.
#include <string>
#include "text/cow_string.h"

namespace fs_detail {
// The path in the locale's encoding, cut at its first 0 unit.
std::string NativePath(const tpl::WideString& path);
// The hidden name beside a file: its directory, ".", its name, then suffix
// ("/d/f" and ".lock" give "/d/.f.lock").
std::string HiddenSiblingPath(const std::string& path, const char* suffix);
// True when the native path names a directory, links followed.
bool IsNativeDirectory(const std::string& path);
}  // namespace fs_detail
