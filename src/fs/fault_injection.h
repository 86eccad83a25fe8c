#pragma once
// Test-only fault injection: when armed with n > 0, the n-th counted file-layer
// operation from now fails once with the errno err (EIO by default, which the
// errno rule makes ERROR_INVALID_PARAMETER; ENOSPC makes a full disk), stored
// as the last error, without doing anything; then all succeed again.
// Counted: FileOpen for writing, FileWrite, FileTruncate, FileSetWriteTime,
// CreateDirectoryPath, CreateDirectoryExclusive, MovePath, MakeTempFileName
// (which still sets its out name, to a file it did not create), SetPathMode,
// JournalFile::Create and JournalFile::Append.
// Not counted, so that a rollback after the one failure always runs: reads,
// RemoveTree, RemoveDirectoryTree, DeleteFilePath, MoveTree's inner moves,
// ReplacingFile's own steps (what is written through FileWrite counts).
// FileWrite, FileTruncate and FileSetWriteTime count only
// once their arguments have passed the handle checks. The counter is one
// process-wide atomic.
#include <cerrno>
#include <cstdint>

namespace fault_injection {
void FailOperationAt(int64_t n, int err = EIO);  // 0 disarms
int64_t CountedOperations();                     // counted operations since the last arming
void ResetCount();
// Called with the operation's number (counted since the last arming or reset)
// before each counted operation, whether or not it is failed; tests use it
// to end a process at a chosen step. nullptr removes it.
using OperationHook = void (*)(int64_t n);
void SetOperationHook(OperationHook hook);
}  // namespace fault_injection

namespace fs_detail {
// Counts one fault-injectable operation; true when this one must fail. On
// true errno and the last error already hold the injected failure.
bool InjectedFault();
}  // namespace fs_detail
