// Read-only windows of an open file mapped into memory.
#include "fs/mapped_window.h"

#include <cerrno>
#include <sys/mman.h>
#include "fs/file_io.h"
#include "fs/last_error.h"

uint32_t MappedWindow::Map(FileHandle handle, uint64_t offset, uint32_t length) {
    Unmap();
    if (handle == INVALID_FILE_HANDLE) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, handle, static_cast<off_t>(offset));
    if (address == MAP_FAILED) return fs_detail::StoreErrno(errno);
    data_ = static_cast<const unsigned char*>(address);
    length_ = length;
    return ERROR_SUCCESS;
}

void MappedWindow::Unmap() noexcept {
    if (data_ != nullptr) ::munmap(const_cast<unsigned char*>(data_), length_);
    data_ = nullptr;
    length_ = 0;
}
