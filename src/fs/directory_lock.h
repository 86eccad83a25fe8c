#pragma once
// An exclusive advisory lock on a directory (flock), so that two
// installations never work in one template directory at once. The kernel
// releases it when its holder ends, however it ends, so a killed run never
// blocks the next one.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

class DirectoryLock {
public:
    DirectoryLock() = default;
    ~DirectoryLock() { Release(); }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // Locks the directory itself (links followed) without waiting: 0;
    // ERROR_LOCK_VIOLATION when another holder has it; ERROR_PATH_NOT_FOUND
    // when there is no directory. A directory this user may not read
    // cannot be locked by anyone else either: 0 without a lock.
    [[nodiscard]] uint32_t Lock(const tpl::WideString& directory);
    // Locks the directory, or when it does not exist its nearest existing
    // parent (the name of what was locked in *locked); as Lock.
    [[nodiscard]] uint32_t LockNearest(const tpl::WideString& directory, tpl::WideString* locked);
    // Hands the lock over to other, releasing what other held.
    void MoveTo(DirectoryLock* other) noexcept;
    void Release() noexcept;
    bool Held() const noexcept { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Renames a directory to a name that must not exist yet (never onto an
// existing, even empty, directory). 0, ERROR_ALREADY_EXISTS or an error number.
[[nodiscard]] uint32_t RenameDirectoryNoReplace(const tpl::WideString& from, const tpl::WideString& to);
