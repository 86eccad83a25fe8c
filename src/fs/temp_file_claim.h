#pragma once
// Temporary files that outlive a killed process. A file in use is claimed
// with an advisory lock for as long as its owner keeps it open; the lock
// goes with the process, so a file that nobody claims any more is left over
// from a program that was killed, and can be removed at the next start.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Claims the open file: 0, ERROR_ALREADY_EXISTS when another holder has it,
// else the errno rule. The claim ends when the handle is closed.
[[nodiscard]] uint32_t ClaimOpenFile(FileHandle handle);

// Deletes the regular files named prefix* directly in directory that belong
// to the effective user, were last changed at least minAgeSeconds ago and
// that no process claims. Links, directories and other users' files are left
// alone. Returns how many were deleted.
uint32_t DeleteAbandonedTempFiles(const tpl::WideString& directory, const tpl::WideString& prefix,
                                  int64_t minAgeSeconds);
