#pragma once
// Finishing what an interrupted installation left: the rollback it had not
// completed, or the removal of the backup directory of one that committed.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>
#include "fs/held_directory.h"
#include "fs/owned_directory.h"
#include "journal/install_journal.h"

namespace tpl {

struct RecoveryReport {
    WideString backupDirectory;
    WideString targetDirectory;
    bool committed = false;           // the run had committed: only its backup was removed
    bool unreadable = false;          // the journal could not be acted on: everything was left as found
    uint32_t restoredFiles = 0;       // replaced files moved back from the backup
    uint32_t removedFiles = 0;        // files the run had added
    uint32_t removedDirectories = 0;  // directories the run had added
    uint32_t keptFiles = 0;           // replaced files that could not be moved back: kept in the backup
    uint32_t unremovedFiles = 0;      // added files that could not be removed: tried again next time
    uint32_t unremovedDirectories = 0;  // added directories that could not be removed (not for holding others' files)
    bool busy = false;                // another installation into the target runs: left for later
    bool missing = false;             // the backup this user's run made is gone: nothing could be done
    bool foreign = false;             // another user's backup beside the target: left to that user
    uint32_t foreignOwner = 0;
};

// One step of an undo, for whoever tells the user (an install log).
enum class RollbackStep {
    FileRemoved,       // a file the run added
    FileRestored,      // a file the run replaced, moved back from the backup
    DirectoryRemoved,  // a directory the run created
};

struct UndoOptions {
    // The undoing process already holds the target's lock (a run undoing
    // itself); otherwise the undo takes it, and leaves the journal for later
    // when another installation holds it.
    bool targetLocked = false;
    // Told of every step, done false when it could not be carried out.
    std::function<void(RollbackStep, const WideString&, bool)> step;
};

// The one undo of an installation, for the run's own rollback and for the
// recovery after a kill, a crash or a power loss alike: from the journal's
// records it removes what the run added (freeing its space first), moves
// every file found in the backup home, puts back the directories' times,
// then removes the backup directory with the journal last. When a replaced
// file cannot be moved back, the backup directory and the journal stay, and
// an R record (appended under *lock) makes a later attempt move only the
// kept files. Journals naming paths the current locale cannot express are
// left untouched.
// The backup is held: every step inside it goes through its descriptor.
RecoveryReport UndoInstallation(OwnedDirectory& backup, const std::vector<JournalRecord>& records, JournalLock* lock,
                                const UndoOptions& options);

// Where a run keeps its backup when the temporary directory lies on
// another file system than the template directory: a private directory of
// this prefix and a number, beside the target (in its nearest existing
// parent) or, where that cannot be written, inside the target itself. On
// the target's file system a backup is a rename, and it survives a reboot
// that empties a temporary directory in memory.
WideString BackupBaseBeside(const WideString& targetDirectory, const WideString& nearestExisting);

// The directories a run made, by the keys of their paths (without final
// "/"), with their identities where known.
using CreatedDirectories = std::unordered_map<std::u16string, PathIdentity>;

// For walks through held directories: a directory whose identity is
// recorded is entered only while it is still that one. recorded must
// outlive the check.
DirectoryCheck StillRecorded(const CreatedDirectories& recorded);

// True when no directory on the path that the run made has been put aside
// for something else, such as a link to another tree or another directory
// of the same name: only then does the path still lead to what the run made.
bool CreatedDirectoriesIntact(const WideString& path, const CreatedDirectories& created);
// The same for a directory itself and the directories that lead to it.
bool CreatedDirectoryIntact(const WideString& directory, const CreatedDirectories& created);

// Looks in the temporary directory, and beside and inside each of the given
// template directories, for backup directories of this user whose journal
// no running process holds, and finishes each of them. An empty one without
// a journal (a run ended between making it and starting its journal, or
// between removing its journal and itself) is removed without a report.
std::vector<RecoveryReport> RecoverInterruptedInstallations(const std::vector<WideString>& targets = {});

// One line per report, in English, for standard error.
NarrowString DescribeRecovery(const RecoveryReport& report);

// False when something was left for later or for the user: kept files,
// additions that could not be removed, an unreadable, busy, missing or
// another user's journal.
bool RecoveryIsComplete(const RecoveryReport& report);

// Removes the unpacked kits ("txk" files in the temporary directory) that
// killed runs left; a running installer's own stays. Returns the line that
// tells how many went, empty when none did.
NarrowString RemoveAbandonedUnpackedKits();

// For the programs to call first thing after selecting the locale, before
// any kit is touched, with the template directories the run may use:
// recovers and returns one line per recovered installation (empty when
// there was nothing to do).
std::vector<NarrowString> RecoverAtStartup(const std::vector<WideString>& targets = {});

}  // namespace tpl
