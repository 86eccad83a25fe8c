#pragma once
// Small helpers over the file layer shared by the kit reader and writer.
#include <cstdint>
#include "fs/file_types.h"

// Writes all count bytes, continuing after short writes. Returns 0, the file
// layer's code, or ERROR_CANTWRITE when a write makes no progress without one.
[[nodiscard]] uint32_t WriteAll(FileHandle handle, const unsigned char* data, uint32_t count);
