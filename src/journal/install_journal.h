#pragma once
// Write-ahead journal of one installation, kept in its backup directory.
// Each step is recorded before it is taken, so that after a kill, a crash or
// a power loss the next start can finish the rollback (or the commit).
//
// Records, one per line: a tag, a blank, the byte length of the payload,
// ":", the payload, a line feed. Length-prefixed so that any byte (a line
// feed included) may appear in a path. The payload is a path in the locale's
// encoding, after the fields of N and I.
//   T target directory        (first record)
//   D directory about to be created
//   I that directory, or file (F), once made: its device and inode as two
//     unsigned decimals separated by a blank, ":", the path. Undo touches
//     nothing in a directory of that name that is another one, and removes
//     no file of that name that is another one (someone else's run put it
//     there since); a D or F without its I (a kill right after the making,
//     or a file's I gathered and lost) leaves that unchecked
//   F file about to be created where none stood
//   B existing file about to be moved into the backup
//   M that file's move into the backup has completed
//   N a directory's access and modification times before the run first
//     changed its entries; payload: four signed decimals (access seconds,
//     nanoseconds, modification seconds, nanoseconds) separated by blanks,
//     ":", the path
//   X a path recorded ahead (D or F) that the run found taken by someone
//     else when it came to make it: it is not the run's to remove
//   R an undo (the run's own rollback or a recovery) has finished except
//     for backed-up files it could not move home, which are left in the
//     backup, and the additions named by the U records that follow it
//   U an added file or directory (F or D) that the undo before it could not
//     remove: the next attempt removes only these (while they are still the
//     ones made), never a path the run had added and that undo already
//     removed, which may be someone else's since
//   C the installation committed; only the backup directory is left to remove
#include <cstdint>
#include <string>
#include <vector>
#include "fs/file_types.h"
#include "fs/journal_file.h"
#include "fs/owned_directory.h"
#include "fs/path_identity.h"
#include "fs/path_times.h"
#include "text/cow_string.h"
#include "text/installer_file_names.h"

namespace tpl {

struct JournalRecord {
    char tag = 0;
    WideString path;
    PathTimes times;        // N records
    PathIdentity identity;  // I records
    // False when the stored bytes do not come back from the path in the
    // current locale: acting on it could touch another file.
    bool exact = true;
};

class InstallJournal {
public:
    // Creates the journal in the held backup directory and records the
    // target directory.
    [[nodiscard]] uint32_t Begin(const OwnedDirectory& backup, const WideString& targetDirectory);
    // T, C and R are always forced to disk; others when forceToDisk is set.
    [[nodiscard]] uint32_t Record(char tag, const WideString& path, bool forceToDisk = false);
    // Records a step of the plan: written with the next record or Sync,
    // which must come before the step is taken.
    [[nodiscard]] uint32_t RecordPlanned(char tag, const WideString& path);
    [[nodiscard]] uint32_t RecordDirectoryTime(const WideString& directory, const PathTimes& times);
    [[nodiscard]] uint32_t RecordDirectoryIdentity(const WideString& directory, const PathIdentity& identity);
    // A file's I record, gathered: undo can do without it (see above).
    [[nodiscard]] uint32_t RecordFileIdentity(const WideString& file, const PathIdentity& identity);
    [[nodiscard]] uint32_t RecordCommit();
    // Forces every record so far to disk: a run writes what it may do, then
    // syncs once before it does any of it.
    [[nodiscard]] uint32_t Sync() { return file_.IsOpen() ? file_.Sync() : ERROR_SUCCESS; }
    // Reads back every record and hands the journal, locked, to *lock, for
    // the run's own undo.
    [[nodiscard]] uint32_t HandOver(std::string* contents, JournalLock* lock) { return file_.HandOver(contents, lock); }
    bool IsActive() const noexcept { return file_.IsOpen(); }
    const WideString& JournalPath() const noexcept { return path_; }
    // Deletes the journal, then lets go of its lock: it was the last thing
    // left of a finished transaction.
    void Remove() noexcept;
    // Lets go of the journal and keeps it on disk for a later recovery.
    void End() noexcept { file_.Close(); }

private:
    JournalFile file_;
    WideString path_;
};

std::string EncodeJournalRecord(char tag, const NarrowString& payload);
// Decodes records up to the first damaged, truncated or unknown one (a record
// cut off by a crash is ignored: its step had not begun).
std::vector<JournalRecord> DecodeJournal(const std::string& contents);

}  // namespace tpl
