#pragma once
// Test-only switches and hooks of the file layer.
#include <cstdint>

namespace fs_testing {
// Makes the kernel's copy between files (copy_file_range) and its files
// without a name (O_TMPFILE) report themselves unsupported, so that tests
// reach the fallbacks that kernels and file systems without them take.
void ForceFallbacks(bool on);

// Called after each piece that a move to another file system has copied,
// with the bytes copied so far; returning false fails the copy there as a
// read error would. Tests end a process mid-copy with it. nullptr removes it.
using CopyHook = bool (*)(uint64_t copied);
void SetCopyHook(CopyHook hook);
}  // namespace fs_testing

namespace fs_detail {
// True while tests force the fallbacks (see above).
bool FallbacksForced();
}  // namespace fs_detail
