#pragma once
// Free space of the temporary directory's file system, and of any other.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Free bytes in *out, counted in 64 bits (a temporary directory has far more
// than 4 GiB nowadays): 0, or an error number with *out 0.
uint32_t GetFreeSpace(uint64_t* out);

// The bytes an unprivileged writer may still use on the file system that
// holds directory (which must exist), in *out: 0, or an error number with
// *out 0.
uint32_t GetFreeSpaceAt(const tpl::WideString& directory, uint64_t* out);

// What a file system can still take, as it counts it.
struct FileSystemRoom {
    uint64_t freeBytes = 0;   // for an unprivileged writer
    uint64_t blockSize = 0;   // the unit a file's contents take room in
    uint64_t freeInodes = 0;  // files and directories an unprivileged writer may still make
    bool inodesKnown = false; // false where the file system counts none (it has no limit)
};
// The room on the file system that holds directory (which must exist): 0,
// or an error number with *out empty.
uint32_t GetFileSystemRoom(const tpl::WideString& directory, FileSystemRoom* out);
