#pragma once
// Free space of the temporary directory's file system.
#include <cstdint>
#include "fs/file_types.h"

// Free bytes (saturated at 0xFFFFFFFF) in *out: 0, or an error number with *out 0.
uint32_t GetFreeSpace(uint32_t* out);
