#pragma once
// The one owner of a descriptor: closes it on destruction, moves, never copies.
#include <cstdint>
#include "fs/file_types.h"

// Owns one descriptor and closes it on destruction.
class UniqueFileHandle {
public:
    UniqueFileHandle() noexcept = default;
    explicit UniqueFileHandle(FileHandle handle) noexcept : handle_(handle) {}
    UniqueFileHandle(const UniqueFileHandle&) = delete;
    UniqueFileHandle& operator=(const UniqueFileHandle&) = delete;
    UniqueFileHandle(UniqueFileHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueFileHandle& operator=(UniqueFileHandle&& other) noexcept;
    ~UniqueFileHandle() { Reset(); }

    FileHandle Get() const noexcept { return handle_; }
    FileHandle* OutPtr() noexcept {
        Reset();
        return &handle_;
    }
    FileHandle Release() noexcept {
        FileHandle h = handle_;
        handle_ = INVALID_FILE_HANDLE;
        return h;
    }
    // Closes the descriptor now; returns FileClose's result (0 when none was open).
    uint32_t Reset() noexcept;
    explicit operator bool() const noexcept { return handle_ != INVALID_FILE_HANDLE; }

private:
    FileHandle handle_ = INVALID_FILE_HANDLE;
};
