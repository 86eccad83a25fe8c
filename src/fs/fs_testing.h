#pragma once
// Test-only switches and hooks of the file layer.
#include <cstdint>

namespace fs_testing {
// Makes every operation that has a direct system-call fast path run its tool
// instead, so tests can compare the two on the same cases.
void ForceToolPath(bool on);

// Called after each piece that a move to another file system has copied,
// with the bytes copied so far; returning false fails the copy there as a
// read error would. Tests end a process mid-copy with it. nullptr removes it.
using CopyHook = bool (*)(uint64_t copied);
void SetCopyHook(CopyHook hook);
}  // namespace fs_testing

namespace fs_detail {
// True while tests force every operation with a fast path onto its tool.
bool ToolPathForced();
}  // namespace fs_detail
