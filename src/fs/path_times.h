#pragma once
// Access and modification times of a path to the nanosecond, so that a
// rollback can put a directory's times back exactly.
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
[[nodiscard]] uint32_t GetPathTimes(const tpl::WideString& path, PathTimes* out);
// The times of the open object fd. 0 or an error number.
[[nodiscard]] uint32_t GetHandleTimes(FileHandle fd, PathTimes* out);
// Sets both times exactly (utimensat), links followed. 0 or an error number.
uint32_t SetPathTimes(const tpl::WideString& path, const PathTimes& times);
// The same for name in the held directory dir, never through a link.
uint32_t SetPathTimesAt(FileHandle dir, const tpl::WideString& name, const PathTimes& times);
