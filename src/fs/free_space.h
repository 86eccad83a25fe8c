#pragma once
// Free space of the temporary directory's file system.
#include <cstdint>
#include "fs/file_types.h"

// Free bytes in *out, counted in 64 bits (a temporary directory has far more
// than 4 GiB nowadays): 0, or an error number with *out 0.
uint32_t GetFreeSpace(uint64_t* out);
