#pragma once
// Write-ahead journal of one installation, kept in its backup directory.
// Each step is recorded before it is taken, so that after a kill, a crash or
// a power loss the next start can finish the rollback (or the commit).
//
// Records, one per line: a tag, a blank, the byte length of the path, ":",
// the path in the locale's encoding, a line feed. Length-prefixed so that
// any byte (a line feed included) may appear in a path.
//   T target directory        (first record)
//   D directory about to be created
//   F file about to be created where none stood
//   B existing file about to be moved into the backup
//   M that file's move into the backup has completed
//   C the installation committed; only the backup directory is left to remove
#include <cstdint>
#include <string>
#include <vector>
#include "fs/journal_file.h"
#include "text/cow_string.h"

constexpr const char16_t* kJournalFileName = u"wz4sx.journal";

struct JournalRecord {
    char tag;
    WideString path;
};

class InstallJournal {
public:
    // Creates the journal in the backup directory (which ends in "/") and
    // records the target directory.
    [[nodiscard]] uint32_t Begin(const WideString& backupDirectory, const WideString& targetDirectory);
    [[nodiscard]] uint32_t Record(char tag, const WideString& path);
    [[nodiscard]] uint32_t RecordCommit();
    bool IsActive() const noexcept { return file_.IsOpen(); }
    // What was recorded so far (kept in memory for the in-process rollback).
    const std::vector<JournalRecord>& Records() const noexcept { return records_; }
    const WideString& JournalPath() const noexcept { return path_; }
    // Closes the file (it stays on disk until the backup directory is removed).
    void End() noexcept { file_.Close(); }

private:
    JournalFile file_;
    WideString path_;
    std::vector<JournalRecord> records_;
};

std::string EncodeJournalRecord(char tag, const NarrowString& path);
// Decodes records up to the first damaged or truncated one (a record cut off
// by a crash is ignored: its step had not begun).
std::vector<JournalRecord> DecodeJournal(const std::string& contents);
