#pragma once
// Windows-style file handles over POSIX descriptors. Every operation returns
// an error number (0 = success) and records failures in one process-wide
// last-error variable.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "fs/last_error.h"
#include "text/cow_string.h"

[[nodiscard]] uint32_t FileOpen(const tpl::WideString& path, uint32_t access, uint32_t shareMode, uint32_t disposition,
                                FileHandle* out, uint32_t attributes);
uint32_t FileRead(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead, void* overlapped);
// Reads from offset without moving the handle's position, so that readers
// at different places of one file do not disturb each other.
uint32_t FileReadAt(FileHandle handle, uint64_t offset, void* buffer, uint32_t count, uint32_t* bytesRead);
// Throws the last error (uint32_t) when the read fails.
void FileReadOrThrow(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead);
// Writes the whole count (continuing after short writes); the out count holds
// the bytes actually written.
uint32_t FileWrite(FileHandle handle, const void* data, uint32_t count, uint32_t* bytesWritten, void* overlapped);
// Writes all size bytes, continuing after short writes and interruptions.
// Returns 0 or the error number (ERROR_DISK_FULL when the disk fills). A
// counted operation, as FileWrite, unless there is nothing to write.
[[nodiscard]] uint32_t WriteAll(FileHandle handle, const void* data, uint64_t size);
// Returns the new position, or -1 (last error set).
int64_t FileSeek(FileHandle handle, uint32_t offsetLow, int32_t offsetHigh, uint32_t origin);
uint32_t FileClose(FileHandle handle);
uint32_t FileGetTimes(FileHandle handle, FILETIME* creation, FILETIME* access, FILETIME* write);
// Sets access and modification time to the write time (whole seconds, 64-bit,
// so times after 2038 hold); a failure to set them is reported.
uint32_t FileSetWriteTime(FileHandle handle, const FILETIME* creation, const FILETIME* access, const FILETIME* write);
uint32_t FileTruncate(FileHandle handle);
// 0 on success, 1 on failure (not an error number); low 32 bits of the size.
uint32_t GetFileSizeByPath(const tpl::WideString& path, uint32_t* size);

FILETIME FileTimeFromUnixSeconds(int64_t seconds);

namespace fs_detail {
// WriteAll's loop without counting, for the layer's own writers that count
// their operation as a whole or not at all. *written, when given, holds the
// bytes written either way.
uint32_t WriteAllUncounted(FileHandle handle, const void* data, uint64_t size, uint64_t* written = nullptr);
// open(2) that never blocks on a FIFO or a device and admits only a regular
// file: anything else is closed again, -1 with errno EISDIR for a directory
// and EINVAL for the rest. The descriptor it returns blocks as usual.
int OpenRegularFile(const std::string& path, int flags, unsigned mode);
}  // namespace fs_detail
int32_t UnixSecondsFromFileTime(FILETIME time);  // 32-bit seconds, sub-seconds dropped
