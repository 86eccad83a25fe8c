#pragma once
// Finishing what an interrupted installation left: the rollback it had not
// completed, or the removal of the backup directory of one that committed.
#include <cstdint>
#include <vector>
#include "engine/journal/install_journal.h"

struct RecoveryReport {
    WideString backupDirectory;
    WideString targetDirectory;
    bool committed = false;          // the run had committed: only its backup was removed
    uint32_t restoredFiles = 0;      // replaced files moved back from the backup
    uint32_t removedFiles = 0;       // files the run had added
    uint32_t removedDirectories = 0; // directories the run had added
};

// Undoes the steps in records (backups moved back, added files and
// directories removed) and removes the backup directory with the journal.
RecoveryReport RestoreFromJournal(const WideString& backupDirectory, const std::vector<JournalRecord>& records);

// Looks in the temporary directory for backup directories of this user whose
// journal no running process holds, and finishes each of them.
std::vector<RecoveryReport> RecoverInterruptedInstallations();

// One line per report, in English, for standard error.
NarrowString DescribeRecovery(const RecoveryReport& report);
