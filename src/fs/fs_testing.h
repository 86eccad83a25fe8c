#pragma once
// Test-only switch: makes every operation that has a direct system-call fast
// path run its tool instead, so tests can compare the two on the same cases.
namespace fs_testing {
void ForceToolPath(bool on);
}  // namespace fs_testing
