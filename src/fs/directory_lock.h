#pragma once
// A lock on a directory tree, so that two installations never work in one
// template directory, nor one in a directory below or above another's, at
// once. Each run holds an exclusive lock on a lock file for its directory and
// a shared one on a lock file for each directory above it; the files lie in
// the user's own lock directory in the temporary directory, which every run
// of the user can open, whatever the template directory's permission bits
// (or whether it exists yet). Two runs whose directories nest meet on the
// upper one's file; runs into sibling directories share only the files
// above them. The kernel releases the locks when their holder ends, however
// it ends, so a killed run never blocks the next one.
#include <cstdint>
#include <vector>
#include "fs/file_types.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

class DirectoryLock {
public:
    DirectoryLock() = default;
    ~DirectoryLock() { Release(); }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // Locks the tree at an existing directory without waiting: 0;
    // ERROR_LOCK_VIOLATION when another holder has that tree or one that
    // overlaps it (BusyDirectory then names it); ERROR_PATH_NOT_FOUND when
    // there is no directory.
    [[nodiscard]] uint32_t Lock(const tpl::WideString& directory);
    // Locks the tree at directory whether it exists or not; *locked receives
    // the directory itself or, when it does not exist, its nearest existing
    // parent, where the missing part is to be made. As Lock otherwise.
    [[nodiscard]] uint32_t LockNearest(const tpl::WideString& directory, tpl::WideString* locked);
    void Release() noexcept;
    bool Held() const noexcept { return !descriptors_.empty(); }
    // After ERROR_LOCK_VIOLATION: the directory another installation is
    // using, as given to Lock when it is that one, else in full.
    const tpl::WideString& BusyDirectory() const noexcept { return busy_; }
    // Whether LockNearest would be refused now, found out without making
    // anything (a lock file that does not exist is held by no one) and
    // without keeping a lock: ERROR_LOCK_VIOLATION (BusyDirectory names
    // the holder's directory) or 0.
    [[nodiscard]] uint32_t ProbeNearest(const tpl::WideString& directory, tpl::WideString* locked);

private:
    uint32_t LockTree(const tpl::WideString& directory, bool create = true);

    std::vector<UniqueFileHandle> descriptors_;
    tpl::WideString busy_;
};

// Renames a directory to a name that must not exist yet (never onto an
// existing, even empty, directory). 0, ERROR_ALREADY_EXISTS or an error number.
[[nodiscard]] uint32_t RenameDirectoryNoReplace(const tpl::WideString& from, const tpl::WideString& to);
