#pragma once
// Directory enumeration, creation, moving and removal, the temporary
// directory, unique temporary files and free space.
#include <cerrno>
#include <cstdint>
#include <sys/stat.h>
#include <vector>
#include "fs/file_types.h"
#include "text/cow_string.h"

struct FinderDirectory;  // owns the C library's directory stream

// One enumeration of a directory by a wildcard search path ("dir/*.txt"), or an
// existence test of a plain path (single-entry mode). Closes on destruction.
// A wildcard walk reports a dangling link as a non-directory entry and skips
// an entry that vanished between listing and status, rather than stopping;
// it also skips names that are not text in the locale (they cannot be named).
class FileFinder {
public:
    FileFinder() noexcept;
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    bool FindFirst(const WideString& searchPath);
    bool FindNext();
    WideString FoundName() const { return currentName_; }
    // FILE_ATTRIBUTE_DIRECTORY when the entry (links followed) is a directory.
    uint32_t FoundAttributes() const noexcept;
    // True when the entry itself is a symbolic link (lstat).
    bool FoundIsSymbolicLink() const noexcept { return foundIsLink_; }
    void FindClose() noexcept;

private:
    WideString pattern_;
    WideString searchPath_;
    WideString currentName_;
    FinderDirectory* directory_ = nullptr;
    struct stat status_;
    NarrowString directoryPart_;
    NarrowString narrowPattern_;
    bool foundIsLink_ = false;
};

// True when FindFirst finds the path (file, directory, or link target).
bool PathExists(const WideString& path);

// Removes the tree depth first; never descends through a symbolic link (a
// link, also the path itself, is removed as a link). The root is refused.
uint32_t RemoveTree(const WideString& path);
[[nodiscard]] uint32_t CreateDirectoryPath(const WideString& path);
uint32_t RemoveDirectoryTree(const WideString& path);
uint32_t DeleteFilePath(const WideString& path);
[[nodiscard]] uint32_t MovePath(const WideString& from, const WideString& to);
// Moves every file of the tree at source to the same relative place under
// destination; creates no directories and removes none; failed moves are ignored.
// A symbolic link (also one to a directory) is moved as the link itself. Its
// moves are not counted by fault injection: it is the rollback's tool.
void MoveTree(const WideString& destination, const WideString& source);
// Creates exactly this directory with the given mode, never an existing one:
// 0, ERROR_ALREADY_EXISTS when the name is taken, else the errno rule.
[[nodiscard]] uint32_t CreateDirectoryExclusive(const WideString& path, uint32_t mode);
uint32_t GetTempDirectory(WideString* out);
[[nodiscard]] uint32_t MakeTempFileName(const WideString& directory, const WideString& prefix, WideString* out);
uint32_t GetFreeSpace(uint32_t* out);
void SleepMilliseconds(int32_t milliseconds);

// Runs a program with an argument vector (argv[0] is looked up on PATH), no
// shell. Returns its exit status, or -1 when it could not be run or did not
// exit normally. discardErrors sends its standard error to /dev/null; standard
// input is always /dev/null, so that no tool waits for an answer. The program
// gets the default disposition and no blocked signals, so it stays stoppable.
int RunShellCommand(const std::vector<NarrowString>& argv, bool discardErrors);

// Replaces the file at path (following a symbolic link, which is kept) by the
// given bytes: written to a temporary file beside it, flushed, fsync'ed and
// renamed over it, keeping the old file's permission bits (and its owner where
// permitted); a new file gets 0666 less the umask.
// Returns 0, 1 when the file cannot be created, 2 when writing it fails; the
// old file is unchanged on failure.
int WriteFileReplacing(const WideString& path, const void* data, uint64_t size);

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
// WriteFileReplacing. FileWrite, FileTruncate and FileSetWriteTime count only
// once their arguments have passed the handle checks. The counter is one
// process-wide atomic.
namespace fault_injection {
void FailOperationAt(int64_t n, int err = EIO);   // 0 disarms
int64_t CountedOperations();       // counted operations since the last arming
void ResetCount();
// Called with the operation's number (counted since the last arming or reset)
// before each counted operation, whether or not it is failed; tests use it
// to end a process at a chosen step. nullptr removes it.
using OperationHook = void (*)(int64_t n);
void SetOperationHook(OperationHook hook);
}  // namespace fault_injection
