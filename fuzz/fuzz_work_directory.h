#pragma once
// What the fuzz targets that read their input from a file share: a private
// directory (also the TMPDIR of the code under test) and the writing of one
// input into it.
#include <cstddef>
#include <cstdint>
#include <string>
#include "text/cow_string.h"

namespace tpl {

// Made on first use (under TMPDIR, in the C.UTF-8 locale) and removed at exit.
const std::string& FuzzWorkDirectory();
// Replaces the file name in the work directory by the input; aborts on failure.
WideString WriteFuzzInput(const char* name, const uint8_t* data, size_t size);

}  // namespace tpl
