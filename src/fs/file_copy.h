#pragma once
// Copying a range of one open file into another inside the kernel
// (copy_file_range): no buffer in between and one call per range instead of
// a read and a write per buffer.
#include <cstdint>
#include "fs/file_types.h"

// Copies up to count bytes from source at sourceOffset (source's own
// position stays) to target at its current position (which moves on).
// *copied is what arrived, less than count only when the source ends first.
// ERROR_NOT_SUPPORTED, with nothing copied, when the kernel or the pair of
// file systems cannot do it: the caller then copies through a buffer.
[[nodiscard]] uint32_t FileCopyRange(FileHandle source, uint64_t sourceOffset, FileHandle target, uint32_t count,
                                     uint32_t* copied);
