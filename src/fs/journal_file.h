#pragma once
// An append-only record file for write-ahead journals: every append reaches
// the kernel before the call returns (so a killed or crashed process loses
// nothing), and may be forced to disk. While open it holds an exclusive
// advisory lock, which tells a recovering process that the writer still runs.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "text/cow_string.h"

class JournalFile {
public:
    JournalFile() = default;
    ~JournalFile() { Close(); }
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Creates the file exclusively (mode 0600, never through a link) and locks it.
    [[nodiscard]] uint32_t Create(const WideString& path);
    // Appends the bytes in one write; syncToDisk adds fdatasync.
    [[nodiscard]] uint32_t Append(const std::string& bytes, bool syncToDisk);
    bool IsOpen() const noexcept { return fd_ >= 0; }
    void Close() noexcept;

private:
    int fd_ = -1;
};

// Opens an existing journal and takes its lock without waiting. Returns 0 and
// the contents; ERROR_ALREADY_EXISTS when another process holds the lock (its
// installation is still running); else an error number. The lock is held by
// *lock until it is closed.
class JournalLock;
uint32_t ReadUnlockedJournal(const WideString& path, std::string* contents, JournalLock* lock);

class JournalLock {
public:
    JournalLock() = default;
    ~JournalLock() { Release(); }
    JournalLock(const JournalLock&) = delete;
    JournalLock& operator=(const JournalLock&) = delete;
    void Release() noexcept;

private:
    friend uint32_t ReadUnlockedJournal(const WideString&, std::string*, JournalLock*);
    int fd_ = -1;
};

// True when the path is a real directory (not a link) owned by the effective user.
bool IsDirectoryOfCurrentUser(const WideString& path);
