#pragma once
// One transactional installation run: backup, copy, commit or exact rollback.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>
#include "engine/entry_copier.h"
#include "journal/install_journal.h"
#include "journal/journal_recovery.h"
#include "fs/directory_lock.h"
#include "fs/file_types.h"
#include "fs/held_directory.h"
#include "fs/owned_directory.h"
#include "fs/path_times.h"
#include "fs/unique_file_handle.h"
#include "kit/kit_entry_action.h"
#include "kit/kit_format.h"
#include "text/cow_string.h"

namespace tpl {

class InstallObserver;
class InstallStatus;
class KitReader;

struct InstallTransaction {
    WideString targetDirectory;                  // ends in "/"
    // The run's backup directory, held from its making to its removal;
    // backupDirectory is its path, for messages only.
    OwnedDirectory backup;
    WideString backupDirectory;
    std::vector<WideString> createdDirectories;  // parents before children, no final "/"

    // Bookkeeping that keeps the lists above free of duplicates and saves
    // repeated existence tests; keys are the paths' units.
    // Destinations this run wrote, of the entries that may share theirs with
    // another entry (few): the others need no name kept.
    std::unordered_set<std::u16string> writtenPaths;
    std::unordered_set<std::u16string> knownDirectories;   // directories known to exist
    CreatedDirectories createdDirectoryIdentities;         // createdDirectories, with identities
    std::unordered_set<std::u16string> timedDirectories;
    // Written to the journal ahead of the run: the directories it is to
    // make, and per entry what it was to do when the run began.
    std::unordered_set<std::u16string> plannedDirectories;
    std::vector<EntryAction> plannedActions;
    std::vector<bool> repeatable;  // per entry: its destination may be another entry's
    // Entries before this one were planned; the plan stops at the first
    // entry that cannot be written.
    uint32_t plannedCount = 0;
};

class InstallEngine {
public:
    // Returns 0, a failure code, or ERROR_CANCELLED. A cancel request in the
    // status block or an interruption signal (fs/interruption.h) ends the run
    // after the current entry: complete rollback, then the final cancelled
    // state (ERROR_CANCELLED with IDS_CANCEL_FINISH) is posted. While it runs,
    // its journal in the backup directory lets RecoverAtStartup() undo it
    // after a kill or a crash.
    uint32_t Run(InstallStatus* status, uint32_t successPauseMs = 1000);

    // The run's transaction: what it made, backed up and must put back.
    const InstallTransaction& Top() const { return *transaction_; }

    // Told of every step of the run (may be null; not owned).
    void SetObserver(InstallObserver* observer) { observer_ = observer; }

    // Test hook: called with the entry's index after each entry has been
    // handled (written or skipped), before the cancel request is read.
    void SetEntryHook(std::function<void(uint32_t)> hook) { entryHook_ = std::move(hook); }
    // Test hook: the run copies on this many helper threads, as it would on
    // a machine of one more core (0: the run copies each file itself).
    void SetCopyHelpers(uint32_t helpers) { copyHelpers_ = helpers; }

private:
    // The steps of a run, each on its transaction.
    uint32_t BeginTransaction(const WideString& targetDirectory);
    uint32_t CommitTransaction();
    uint32_t RollbackTransaction(uint32_t code);
    // Posts the failure (with where it happened and, when systemErrno is not
    // 0, the system's words for it), rolls back, returns code.
    uint32_t ReportFailure(uint32_t code, int32_t percent, int systemErrno = 0);
    uint32_t BackupExistingFile(const WideString& destination, const WideString& name);
    uint32_t CreateDirectoryRecorded(const WideString& path);
    uint32_t CreateDirectoryUnrecorded(const WideString& path);

    // ERROR_FILENAME_EXCED_RANGE when an entry's destination would be longer
    // than the system takes.
    uint32_t CheckDestinationLengths(const KitReader& kit, const WideString& target);
    // Journals what the run may make, replace and change, and forces it to
    // disk once before the first change.
    uint32_t WritePlan(const KitReader& kit);
    uint32_t PlanDirectory(const WideString& directory);
    void MarkRepeatableEntries(const KitReader& kit);
    // Records a step before it is taken; once the plan is on disk, a step the
    // plan did not foresee is forced to disk on its own.
    uint32_t RecordAhead(char tag, const WideString& path);
    // Makes everything the run wrote durable, then records the commit.
    uint32_t SyncAndRecordCommit();
    uint32_t RunEntries(KitReader& kit);
    // Before anything changes: *nothingToDo when every entry is already
    // there as new as the kit's (the observer is told each as kept; nothing
    // is made, journalled or synced); ERROR_DISK_FULL when the files and
    // directories to make do not fit the file system's free blocks or inodes.
    uint32_t Precheck(const KitReader& kit, const WideString& directory, bool* nothingToDo);
    // What to do with entry index: as planned, or looked at again.
    EntryPlan PlanOfEntry(const KitFileEntry& entry, uint32_t index) const;
    // Makes the entry's file and hands it to the copier; *plan ends as what
    // was done (what stands at the destination may have changed since the plan).
    uint32_t InstallEntry(const KitFileEntry& entry, EntryPlan* plan);
    // How many threads write the entries' contents.
    uint32_t CopyHelpers() const;
    // Ends the run with the copier's first failure.
    uint32_t FailedCopy();
    // The failure of an entry that cannot be written where it goes.
    uint32_t BlockedEntry(const EntryPlan& plan);
    // Whether the plan, journalled ahead, has action for the current entry.
    bool IsPlanned(EntryAction action) const;
    // Creates the entry's file in the held directory; a name taken on the
    // last try is recorded as someone else's.
    uint32_t CreateEntryFile(const WideString& destination, const WideString& name, bool lastTry,
                             UniqueFileHandle* file);
    // Journals what undoing a new file at destination needs, unless planned.
    uint32_t PrepareAddition(const WideString& destination, const WideString& parent, bool planned);
    // Decides by what stands at the destination (in the held directory)
    // now, and moves it into the backup when it is to be replaced;
    // *replaced tells whose place the new file takes.
    uint32_t SetAsideDestination(const WideString& destination, const WideString& name, FILETIME writeTime,
                                 EntryPlan* plan, PathOwner* replaced);
    // Holds the directory relativeParent of the backup in backupHeld_,
    // making what is missing of it.
    uint32_t HoldBackupDirectory(const WideString& relativeParent);
    // The owner of the held directory, looked up once per directory.
    const PathOwner& HeldOwner();
    // Holds directory (the target or a directory below it) in held_, reached
    // from the held target without following a link, and, where this run
    // made it, only when it is still the directory the run made.
    uint32_t HoldDirectory(const WideString& directory);
    uint32_t RememberDirectoryTime(const WideString& directory);
    // Keeps the identity of a directory the run made, in memory and journal.
    uint32_t RecordMadeDirectory(const WideString& directory);
    // The backup's contents, then the journal, then the directory itself.
    void RemoveBackupDirectory(InstallTransaction& transaction);
    // A cancel request or an interruption signal.
    bool StopRequested();
    // Holds while the status block is paused; true when a stop request ended
    // the hold (or came before it).
    bool HoldWhilePausedThenStop();
    uint32_t CancelRun(int32_t percent);
    // ReportFailure for a run that an exception ended.
    uint32_t ReportFailureAfterThrow(uint32_t code);
    void Post(uint32_t code, const WideString& text, int32_t percent);

    // Makes the missing part of the target's path and locks the target
    // before it appears under its name.
    uint32_t CreateLockedTarget(const WideString& existingParent);
    WideString BackupDirectoryName(int32_t attempt) const;
    // Makes a private backup directory of prefix and a number in base and
    // starts its journal there.
    uint32_t MakeBackupDirectory(const WideString& base, const char16_t* prefix);

    // The run's transaction, from BeginTransaction on; a later run starts a new one.
    std::optional<InstallTransaction> transaction_;
    // Held from before the first change until the end of the commit or the
    // rollback: the target directory, or while it is being made its nearest
    // existing parent.
    DirectoryLock targetLock_;
    // Writes the entries' contents while the run makes the next files;
    // drained before anything looks at the files, undo included.
    std::optional<EntryCopier> copier_;
    InstallJournal journal_;
    InstallStatus* status_ = nullptr;
    std::function<void(uint32_t)> entryHook_;
    std::optional<uint32_t> copyHelpers_;  // set by a test, else one per core
    InstallObserver* observer_ = nullptr;
    int32_t percent_ = 0;     // of the entry being handled
    uint32_t entry_ = 0;      // the entry being handled
    // The target, held from when it exists: every change inside it goes
    // through descriptors reached from here, never through a link.
    UniqueFileHandle target_;
    UniqueFileHandle held_;  // the directory HoldDirectory last reached
    std::u16string heldKey_;
    WideString heldPath_;  // as HoldDirectory was given it, without a final "/"
    PathOwner heldOwner_;  // of held_, when known
    bool heldTimesKept_ = false;  // held_'s times are journalled where they must be
    // The directory of the backup the last replaced file went to (see HoldBackupDirectory).
    UniqueFileHandle backupHeld_;
    std::u16string backupHeldKey_;
    bool planWritten_ = false;
    WideString workingPath_;  // the target, then the destination being handled
};

}  // namespace tpl
