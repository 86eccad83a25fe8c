#pragma once
// Read-only windows of an open file mapped into memory.
#include <cstdint>
#include "fs/file_types.h"

// Read-only private mapping of one window of an open file; unmapped on destruction.
class MappedWindow {
public:
    MappedWindow() noexcept = default;
    MappedWindow(const MappedWindow&) = delete;
    MappedWindow& operator=(const MappedWindow&) = delete;
    ~MappedWindow() { Unmap(); }
    // offset must be a multiple of the page size. Returns 0 or an error number.
    [[nodiscard]] uint32_t Map(FileHandle handle, uint64_t offset, uint32_t length);
    void Unmap() noexcept;
    const unsigned char* Data() const noexcept { return data_; }
    uint32_t Length() const noexcept { return length_; }

private:
    const unsigned char* data_ = nullptr;
    uint32_t length_ = 0;
};
