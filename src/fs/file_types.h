#pragma once
// Shared numbering and types of the Windows-style file layer.
#include <cstdint>

using FileHandle = int32_t;  // POSIX descriptor, -1 for none
using FILETIME = uint64_t;   // 100 ns intervals since 1601-01-01 UTC

constexpr FileHandle INVALID_FILE_HANDLE = -1;

constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;  // an allocation failed
constexpr uint32_t ERROR_INVALID_DATA = 13;
constexpr uint32_t ERROR_LOCK_VIOLATION = 33;
constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_DISK_FULL = 112;
constexpr uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr uint32_t ERROR_FILE_INVALID = 1006;  // the file changed since it was checked
constexpr uint32_t ERROR_CANTWRITE = 1013;
constexpr uint32_t ERROR_CANCELLED = 1223;

constexpr uint32_t GENERIC_READ = 0x80000000u;
constexpr uint32_t GENERIC_WRITE = 0x40000000u;
constexpr uint32_t CREATE_ALWAYS = 2;
constexpr uint32_t OPEN_EXISTING = 3;
constexpr uint32_t TRUNCATE_EXISTING = 5;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 128;
constexpr uint32_t FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;

constexpr uint32_t FILE_BEGIN = 0;
constexpr uint32_t FILE_CURRENT = 1;
constexpr uint32_t FILE_END = 2;
