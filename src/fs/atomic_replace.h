#pragma once
// Replacing a file as a whole: a crash or a kill leaves the old file or the
// new one, never a mixture and never a partial file under its name.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Replaces the file at path (following a symbolic link, which is kept) by the
// given bytes: written to a temporary file beside it, flushed, fsync'ed and
// renamed over it, keeping the old file's permission bits (and its owner where
// permitted); a new file gets 0666 less the umask.
// Returns 0, 1 when the file cannot be created, 2 when writing it fails; the
// old file is unchanged on failure.
int WriteFileReplacing(const WideString& path, const void* data, uint64_t size);
