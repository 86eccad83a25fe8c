#pragma once
// Windows-style file handles over POSIX descriptors. Every operation returns
// an error number (0 = success) and records failures in one process-wide
// last-error variable.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// errno rule: ENOENT gives ERROR_FILE_NOT_FOUND, ENOSPC and EDQUOT (no room
// left) ERROR_DISK_FULL, everything else ERROR_INVALID_PARAMETER.
uint32_t ErrorFromErrno(int err);

[[nodiscard]] uint32_t FileOpen(const WideString& path, uint32_t access, uint32_t shareMode,
                                uint32_t disposition, FileHandle* out, uint32_t attributes);
uint32_t FileRead(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead, void* overlapped);
// Throws the last error (uint32_t) when the read fails.
void FileReadOrThrow(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead);
// Writes the whole count (continuing after short writes); the out count holds
// the bytes actually written.
uint32_t FileWrite(FileHandle handle, const void* data, uint32_t count, uint32_t* bytesWritten, void* overlapped);
// Returns the new position, or -1 (last error set).
int64_t FileSeek(FileHandle handle, uint32_t offsetLow, int32_t offsetHigh, uint32_t origin);
uint32_t FileClose(FileHandle handle);
uint32_t FileGetTimes(FileHandle handle, FILETIME* creation, FILETIME* access, FILETIME* write);
// Sets access and modification time to the write time (whole seconds, 64-bit,
// so times after 2038 hold); a failure to set them is reported.
uint32_t FileSetWriteTime(FileHandle handle, const FILETIME* creation, const FILETIME* access, const FILETIME* write);
uint32_t FileTruncate(FileHandle handle);
// The code of the calling thread's last failing call (each thread has its
// own, as errno). For calls that do not return their code, such as FileSeek.
uint32_t GetLastFileError();
// The errno behind the last error, so that diagnostics can name the system's
// own cause (strerror); 0 when the last error did not come from the system.
int GetLastFileErrno();
// What the system said about the last error (strerror, in the locale's
// words); empty when the last error did not come from the system.
NarrowString GetLastSystemErrorText();
// What the system says about errno err; empty for 0.
NarrowString SystemErrorText(int err);
// For a failure found without a system call (a file where a directory must
// be): stores the errno the system would have given, so it is told the same way.
void SetLastFileErrno(int err);
// Forgets the last error and its cause, before a step whose own failure is to be told.
void ClearLastFileError();
// 0 on success, 1 on failure (not an error number); low 32 bits of the size.
uint32_t GetFileSizeByPath(const WideString& path, uint32_t* size);

FILETIME FileTimeFromUnixSeconds(int64_t seconds);
int32_t UnixSecondsFromFileTime(FILETIME time);  // 32-bit seconds, sub-seconds dropped
int64_t UnixSecondsFromFileTime64(FILETIME time);  // the same without the 32-bit wrap

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
    FileHandle* OutPtr() noexcept { Reset(); return &handle_; }
    FileHandle Release() noexcept { FileHandle h = handle_; handle_ = INVALID_FILE_HANDLE; return h; }
    // Closes the descriptor now; returns FileClose's result (0 when none was open).
    uint32_t Reset() noexcept;
    explicit operator bool() const noexcept { return handle_ != INVALID_FILE_HANDLE; }

private:
    FileHandle handle_ = INVALID_FILE_HANDLE;
};

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
