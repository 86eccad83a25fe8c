// Free space of the temporary directory's file system.
#include "fs/free_space.h"

#include <cerrno>
#include <sys/statvfs.h>
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/temp_names.h"

using tpl::WideString;

uint32_t GetFreeSpace(uint64_t* out) {
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    *out = 0;
    WideString directory;
    GetTempDirectory(&directory);
    struct statvfs info;
    if (::statvfs(fs_detail::NativePath(directory).c_str(), &info) != 0) return fs_detail::StoreErrno(errno);
    const uint64_t blocks = info.f_bfree;
    const uint64_t blockSize = info.f_frsize;
    // Saturated: no file system holds 16 EiB, but a wrapped product would read as little space.
    if (blockSize != 0 && blocks > UINT64_MAX / blockSize)
        *out = UINT64_MAX;
    else
        *out = blocks * blockSize;
    return ERROR_SUCCESS;
}

uint32_t GetFreeSpaceAt(const WideString& directory, uint64_t* out) {
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    FileSystemRoom room;
    const uint32_t code = GetFileSystemRoom(directory, &room);
    *out = room.freeBytes;
    return code;
}

uint32_t GetFileSystemRoom(const WideString& directory, FileSystemRoom* out) {
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    *out = FileSystemRoom();
    struct statvfs info;
    if (::statvfs(fs_detail::NativePath(directory).c_str(), &info) != 0) return fs_detail::StoreErrno(errno);
    const uint64_t blocks = info.f_bavail;
    const uint64_t blockSize = info.f_frsize;
    out->freeBytes = blockSize != 0 && blocks > UINT64_MAX / blockSize ? UINT64_MAX : blocks * blockSize;
    out->blockSize = blockSize;
    // A file system without an inode count (btrfs, some network ones)
    // reports none at all.
    out->inodesKnown = info.f_files != 0;
    out->freeInodes = info.f_favail;
    return ERROR_SUCCESS;
}
