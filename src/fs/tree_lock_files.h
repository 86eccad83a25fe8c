#pragma once
// The files behind DirectoryLock, for the file layer's own sources: the
// user's lock directory, the lock file of each directory path, and the
// path a run's lock file was made for.
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>
#include "fs/unique_file_handle.h"

namespace fs_detail {

// The path with every link and "." or ".." resolved as far as it exists,
// the missing rest taken as written: absolute, without a final "/" (the
// root stays "/"). Two spellings of one directory give one text.
std::string CanonicalDirectoryPath(const std::string& path);

// A lock directory under the user's name that is not the user's to use.
struct TakenLockDirectory {
    std::string path;
    bool ownerKnown = false;
    uint32_t owner = 0;  // of the entry itself, a link's own when it is one
};

// The user's lock directories, each made private (0700) if missing: the one
// in the temporary directory, unless something else than a directory of
// this user's own that nobody else may write to stands under its name; and
// the one in the user's private place ($XDG_RUNTIME_DIR, else $HOME, each
// only when it is the user's own and nobody else may write to it), made
// when the first cannot be had, and opened whenever it exists. With create
// false nothing is made. None: errno ENOENT when none exists (create false),
// EACCES when the first is taken (*taken says by whom) and no private place
// can stand in, or the error of the first.
std::vector<UniqueFileHandle> OpenUserLockDirectories(bool create, TakenLockDirectory* taken);

// Who holds a lock on the file open at fd that keeps one (exclusive when
// wantedExclusive, else shared) from being taken, as the system's table of
// locks tells it: the process (0 when none is found) and its user.
struct LockOwnerProcess {
    pid_t pid = 0;
    bool uidKnown = false;
    uint32_t uid = 0;
};
LockOwnerProcess FindLockOwner(int fd, bool wantedExclusive);

// The lock file for a canonical directory path in the lock directory, made
// if missing and holding the path it stands for. -1 with errno on failure.
// With create false nothing is made: -1 with ENOENT when it is missing.
int OpenDirectoryLockFile(int lockDirectory, const std::string& canonical, bool create = true);

// A directory below canonical that a run holds exclusively at this moment,
// or empty when there is none (any more).
std::string FindExclusivelyLockedBelow(int lockDirectory, const std::string& canonical);

}  // namespace fs_detail
