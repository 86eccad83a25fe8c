#pragma once
// The files behind DirectoryLock, for the file layer's own sources: the
// user's lock directory, the lock file of each directory path, and the
// path a run's lock file was made for.
#include <string>

namespace fs_detail {

// The path with every link and "." or ".." resolved as far as it exists,
// the missing rest taken as written: absolute, without a final "/" (the
// root stays "/"). Two spellings of one directory give one text.
std::string CanonicalDirectoryPath(const std::string& path);

// The user's lock directory in the temporary directory, made private
// (0700) if missing; refused (-1, errno EACCES) unless it is a directory of
// this user's own that nobody else may write to. -1 with errno on failure.
// With create false nothing is made: -1 with ENOENT when it is missing.
int OpenUserLockDirectory(bool create = true);

// The lock file for a canonical directory path in the lock directory, made
// if missing and holding the path it stands for. -1 with errno on failure.
// With create false nothing is made: -1 with ENOENT when it is missing.
int OpenDirectoryLockFile(int lockDirectory, const std::string& canonical, bool create = true);

// A directory below canonical that a run holds exclusively at this moment,
// or empty when there is none (any more).
std::string FindExclusivelyLockedBelow(int lockDirectory, const std::string& canonical);

}  // namespace fs_detail
