#pragma once
// An exclusive lock for updating a file that several processes update: read,
// change, write back, with nobody else doing the same in between. It is held
// on a lock file beside the file ("." + its name + ".lock"), made for the
// time of the update and removed when it ends, so the file itself is never
// created or touched for the lock's sake. The kernel drops the lock when its
// holder ends, however it ends; what a killed holder leaves is taken over.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

class FileUpdateLock {
public:
    FileUpdateLock() = default;
    ~FileUpdateLock() { Release(); }
    FileUpdateLock(const FileUpdateLock&) = delete;
    FileUpdateLock& operator=(const FileUpdateLock&) = delete;

    // Waits up to waitMilliseconds while another holder has it: 0;
    // ERROR_LOCK_VIOLATION when the other kept it longer; else the error of
    // making the lock file (its directory must exist).
    [[nodiscard]] uint32_t Acquire(const tpl::WideString& file, uint32_t waitMilliseconds);
    void Release() noexcept;
    bool Held() const noexcept { return static_cast<bool>(file_); }

private:
    UniqueFileHandle file_;
    std::string name_;
};
