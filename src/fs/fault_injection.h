#pragma once
// Test-only fault injection: when armed with n > 0, the n-th counted file-layer
// operation from now fails once with the errno err (EIO by default, which the
// errno rule makes ERROR_INVALID_PARAMETER; ENOSPC makes a full disk), stored
// as the last error, without doing anything; then all succeed again.
// Counted: FileOpen for writing, FileWrite, WriteAll, FileTruncate,
// FileSetWriteTime, FileCopyRange; CreateDirectoryPath,
// CreateDirectoryExclusive, MovePath, MakeTempFileName (which still sets its
// out name, to a file it did not create), RenameDirectoryNoReplace;
// CreateFileAt, CreateDirectoryAt, RenameAt, SetHandleMode;
// OwnedDirectory::Make, and OwnedDirectory::HoldBelow where it makes a
// directory; JournalFile::CreateAt (also under Create), Append and
// WritePending; SyncFileSystemOf and SyncFileSystemOfHeld.
// Not counted, so that a rollback after the one failure always runs: reads,
// RemoveDirectoryTree, RemoveTreeAt, EmptyHeldDirectory, DeleteFilePath,
// RemoveFileAt, RemoveEmptyDirectoryAt, MoveTree's moves,
// MoveAcrossFileSystemsAt (a MovePath across counts once, as itself),
// JournalFile::Sync and JournalLock::Append, directory syncs, ReplacingFile
// and WriteFileReplacing (their writes included), the backup index.
// FileWrite, FileTruncate and FileSetWriteTime count only once their
// arguments have passed the handle checks. The counter is one
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

// The power-loss model. While on, the file layer notes every file it writes
// (through a duplicate of the descriptor) with the length of its data that
// has reached the disk: its size before the first write, then its size at
// each fsync or fdatasync of it, or at a syncfs of its file system.
// SimulatePowerLoss cuts every noted file back to that length, as a power
// loss leaves data that never reached the disk. Names (creations, renames,
// removals) stay as they were made: file systems that write metadata in
// program order keep them. Switching it off forgets what was noted.
void TrackUnsyncedData(bool on);
void SimulatePowerLoss();
}  // namespace fault_injection

namespace fs_detail {
// Counts one fault-injectable operation; true when this one must fail. On
// true errno and the last error already hold the injected failure.
bool InjectedFault();
// The power-loss model's notes; nothing is done unless it is on.
void NoteDataWrite(int fd);          // before data is written through fd
void NoteDataSynced(int fd);         // after fd's data reached the disk
void NoteFileSystemSynced(int fd);   // after syncfs on fd's file system
}  // namespace fs_detail
