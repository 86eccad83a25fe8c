#pragma once
// The temporary directory and unique temporary files.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// TMPDIR when it names a directory, else "/tmp"; always with a final "/".
uint32_t GetTempDirectory(tpl::WideString* out);
// Creates an empty file named directory + up to five units of prefix + six
// random letters or digits, exclusively; the name goes to *out either way.
// A random number from lowest up to INT32_MAX, for a unique name the caller
// writes in decimal.
int32_t RandomNameNumber(int32_t lowest);
[[nodiscard]] uint32_t MakeTempFileName(const tpl::WideString& directory, const tpl::WideString& prefix,
                                        tpl::WideString* out);
