#pragma once
// Paths as the system calls take them, for the file layer's own sources.
#include <string>
#include "text/cow_string.h"

namespace fs_detail {
// The path in the locale's encoding, cut at its first 0 unit.
std::string NativePath(const tpl::WideString& path);
// True when the native path names a directory, links followed.
bool IsNativeDirectory(const std::string& path);
}  // namespace fs_detail
