#pragma once
// Access and modification times of a path to the nanosecond, so that a
// rollback can put a directory's times back exactly, and the write time a
// destination has without opening it.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

struct PathTimes {
    int64_t accessSeconds = 0;
    int64_t accessNanoseconds = 0;
    int64_t writeSeconds = 0;
    int64_t writeNanoseconds = 0;
};

// Links followed. 0 or an error number.
[[nodiscard]] uint32_t GetPathTimes(const WideString& path, PathTimes* out);
// Sets both times exactly (utimensat), links followed. 0 or an error number.
uint32_t SetPathTimes(const WideString& path, const PathTimes& times);

// The modification time (whole seconds) of a regular file at the path,
// links followed; false when nothing is there or it is anything else (a
// directory, a FIFO, a device). Never opens the path, so a FIFO or a
// device cannot block or be acted on.
bool GetRegularFileWriteTime(const WideString& path, FILETIME* out);
