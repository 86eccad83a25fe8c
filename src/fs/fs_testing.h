#pragma once
#include <cstdint>
// Test-only switch: makes every operation that has a direct system-call fast
// path run its tool instead, so tests can compare the two on the same cases.
namespace fs_testing {
void ForceToolPath(bool on);

// Called after each piece that a move to another file system has copied,
// with the bytes copied so far; returning false fails the copy there as a
// read error would. Tests end a process mid-copy with it. nullptr removes it.
using CopyHook = bool (*)(uint64_t copied);
void SetCopyHook(CopyHook hook);
}  // namespace fs_testing
