#pragma once
// An append-only record file for write-ahead journals: every append reaches
// the kernel before the call returns (so a killed or crashed process loses
// nothing), and may be forced to disk. While open it holds an exclusive
// advisory lock, which tells a recovering process that the writer still runs.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

class JournalLock;

class JournalFile {
public:
    JournalFile() = default;
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Creates the file exclusively (mode 0600, never through a link) and
    // locks it; then syncs its directory and that directory's parent, so
    // that the new name (usually in a new directory) survives a power loss.
    // Counted by fault injection.
    [[nodiscard]] uint32_t Create(const tpl::WideString& path);
    // The same for the name in the held directory (which it keeps, to
    // delete the journal from there).
    [[nodiscard]] uint32_t CreateAt(FileHandle directory, const tpl::WideString& name);
    // Appends the bytes in one write; syncToDisk adds fdatasync. Counted by
    // fault injection.
    [[nodiscard]] uint32_t Append(const std::string& bytes, bool syncToDisk);
    // Gathers the bytes in memory and writes them with the next Append, Sync,
    // HandOver or Close, or once 64 KiB are gathered: one write for many
    // records, for records a kill may lose (a plan before its sync, or what
    // undo can also tell from the disk). Counted when written.
    [[nodiscard]] uint32_t AppendLater(const std::string& bytes);
    // Forces what was appended so far to disk. Not counted, but writing
    // what was gathered is.
    [[nodiscard]] uint32_t Sync();
    bool IsOpen() const noexcept { return static_cast<bool>(file_); }
    // Reads the whole file and hands its descriptor, with the lock, over to
    // *lock: the writer's own undo then works on it as a recovery would.
    [[nodiscard]] uint32_t HandOver(std::string* contents, JournalLock* lock);
    // Releases the lock. A journal that is to disappear is deleted first and
    // closed after, so that no other process can take it over in between.
    void Close() noexcept;
    // Deletes the journal from the directory it was made in, then closes it.
    void Remove() noexcept;

private:
    static constexpr size_t kGatherBytes = 65536;
    uint32_t WritePending();
    UniqueFileHandle file_;
    UniqueFileHandle directory_;
    std::string name_;
    std::string pending_;
};

// Opens an existing journal and takes its lock without waiting. Returns 0 and
// the contents; ERROR_ALREADY_EXISTS when another process holds the lock (its
// installation is still running); ERROR_FILE_NOT_FOUND when it is missing or
// was deleted while we waited for it (its writer finished); ERROR_ACCESS_DENIED
// when it is a link or not a file of the effective user; else an error number.
// The lock is held by *lock until it is released.
uint32_t ReadUnlockedJournal(const tpl::WideString& path, std::string* contents, JournalLock* lock);
// The same for the name in the held directory.
uint32_t ReadUnlockedJournalAt(FileHandle directory, const tpl::WideString& name, std::string* contents,
                               JournalLock* lock);

class JournalLock {
public:
    JournalLock() = default;
    JournalLock(const JournalLock&) = delete;
    JournalLock& operator=(const JournalLock&) = delete;
    // Appends to the locked journal and forces it to disk. Not counted.
    [[nodiscard]] uint32_t Append(const std::string& bytes);
    void Release() noexcept { file_.Reset(); }

private:
    friend uint32_t ReadUnlockedJournalAt(FileHandle, const tpl::WideString&, std::string*, JournalLock*);
    friend class JournalFile;
    UniqueFileHandle file_;
};

// True when the path is a real directory (not a link) owned by the effective
// user that no one else may write into.
bool IsDirectoryOfCurrentUser(const tpl::WideString& path);

// Removes the directory only when it is empty (rmdir). True when removed.
bool RemoveDirectoryIfEmpty(const tpl::WideString& path);

// True when both paths exist and lie on the same file system (links followed).
bool OnSameFileSystem(const tpl::WideString& first, const tpl::WideString& second);
