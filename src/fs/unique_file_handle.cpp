// The descriptor owner.
#include "fs/unique_file_handle.h"

#include "fs/file_io.h"

UniqueFileHandle& UniqueFileHandle::operator=(UniqueFileHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        handle_ = other.Release();
    }
    return *this;
}

uint32_t UniqueFileHandle::Reset() noexcept {
    if (handle_ == INVALID_FILE_HANDLE) return ERROR_SUCCESS;
    FileHandle h = Release();
    return FileClose(h);
}
