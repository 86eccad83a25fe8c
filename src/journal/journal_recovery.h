#pragma once
// Finishing what an interrupted installation left: the rollback it had not
// completed, or the removal of the backup directory of one that committed.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>
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
    bool busy = false;                // another installation into the target runs: left for later
};

// The directories a run made, by the keys of their paths (without final
// "/"), with their identities where known.
using CreatedDirectories = std::unordered_map<std::u16string, PathIdentity>;

// True when no directory on the path that the run made has been put aside
// for something else, such as a link to another tree or another directory
// of the same name: only then does the path still lead to what the run made.
bool CreatedDirectoriesIntact(const WideString& path, const CreatedDirectories& created);
// The same for a directory itself and the directories that lead to it.
bool CreatedDirectoryIntact(const WideString& directory, const CreatedDirectories& created);

// Looks in the temporary directory for backup directories of this user whose
// journal no running process holds, and finishes each of them. An empty one
// without a journal (a run ended between making it and starting its journal,
// or between removing its journal and itself) is removed without a report.
std::vector<RecoveryReport> RecoverInterruptedInstallations();

// One line per report, in English, for standard error.
NarrowString DescribeRecovery(const RecoveryReport& report);

// False when something was left for the user: kept files or an unreadable journal.
bool RecoveryIsComplete(const RecoveryReport& report);

// Removes the unpacked kits ("txk" files in the temporary directory) that
// killed runs left; a running installer's own stays. Returns the line that
// tells how many went, empty when none did.
NarrowString RemoveAbandonedUnpackedKits();

// For the programs to call first thing after selecting the locale, before
// any kit is touched: recovers and returns one line per recovered
// installation (empty when there was nothing to do).
std::vector<NarrowString> RecoverAtStartup();

// Removes everything in a backup directory except its journal, so that a run
// interrupted while its backup is being removed still finds its journal.
void RemoveBackupContents(const WideString& backupDirectory);

}  // namespace tpl
