#pragma once
// Permission bits of a path, so that a file the installation replaces keeps
// the access its owner gave it.
#include <cstdint>
#include "text/cow_string.h"

// The permission bits (rwx for user, group, others: mode & 0777) of what the
// path names, symbolic links followed. 0 or an error number.
[[nodiscard]] uint32_t GetPathMode(const WideString& path, uint32_t* mode);
// Sets the permission bits (only mode & 0777: set-id bits are never carried
// over to new contents), links followed. Counted by fault injection.
[[nodiscard]] uint32_t SetPathMode(const WideString& path, uint32_t mode);

// True when the path's last component exists as anything, a dangling
// symbolic link included (lstat), unlike PathExists which follows links.
bool PathEntryExists(const WideString& path);
