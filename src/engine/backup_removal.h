#pragma once
// Removing the files a committed run set aside.
#include <cstdint>
#include <vector>
#include "text/cow_string.h"

// How many files are deleted at once.
constexpr uint32_t kBackupRemovalWorkers = 4;

// Deletes every path, up to workers at a time. Where the file system gives
// a file's blocks back to the device as it is deleted (online discard),
// each deletion waits for the device; several at once overlap those waits,
// which otherwise take most of an upgrade's commit. A path that is already
// gone is no fault. Works on with fewer threads when one cannot be started.
void DeleteFilesConcurrently(const std::vector<WideString>& paths, uint32_t workers);
