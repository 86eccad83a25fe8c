// The transaction of a run: the backup directory, recorded creations, commit
// and the rollback that puts the template directory back as it was.
#include "engine/install_engine.h"
#include "fs/file_finder.h"
#include "fs/path_ops.h"
#include "fs/temp_names.h"

#include <algorithm>
#include <cerrno>
#include <exception>

#include "engine/backup_removal.h"
#include "kit/kit_entry_names.h"
#include "kit/kit_reader.h"
#include "text/path_text.h"
#include "fs/path_mode.h"
#include "engine/install_observer.h"
#include "engine/install_status.h"
#include "journal/journal_recovery.h"
#include "fs/directory_lock.h"
#include "fs/directory_sync.h"
#include "fs/held_directory.h"
#include "fs/inherited_owner.h"
#include "fs/owned_directory.h"
#include "fs/backup_index.h"
#include "fs/cross_device_move.h"
#include "fs/path_identity.h"
#include "fs/path_times.h"
#include "fs/file_io.h"
#include "fs/journal_file.h"
#include "text/installer_file_names.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {
// The first backup numbers are tried in order, which keeps names short;
// after them random numbers, so that names planted by others in a shared
// temporary directory cannot use up the choice.
constexpr int32_t kOrderedBackupNumbers = 100;
constexpr int32_t kBackupAttempts = 1000;

// A parent of the form "C:" would be a drive, which this file system has not.
bool IsDriveLetter(const WideString& path) {
    return path.Length() == 2 && path[1] == u':';
}
}  // namespace

WideString InstallEngine::BackupDirectoryName(int32_t attempt) const {
    return FromInteger(attempt < kOrderedBackupNumbers ? attempt : RandomNameNumber(kOrderedBackupNumbers), 10);
}

uint32_t InstallEngine::BeginTransaction(const WideString& targetDirectory) {
    InstallTransaction& transaction = transaction_.emplace();
    transaction.targetDirectory = targetDirectory;
    // Without a target there is nothing to protect and every entry would land
    // relative to the current directory: refuse instead.
    if (targetDirectory.Empty()) return ERROR_PATH_NOT_FOUND;

    uint32_t code = RefuseLinkOfAnotherUser(targetDirectory);
    if (code != 0) return code;
    // Before anything changes: another installation into this directory
    // would take this run's files for the user's and the other way round.
    WideString locked;
    code = targetLock_.LockNearest(targetDirectory, &locked);
    if (code != 0) return code;

    WideString temp;
    code = GetTempDirectory(&temp);
    if (code != 0) return code;
    // Made if missing, but never recorded: the rollback must not remove it.
    if (!PathExists(temp)) {
        code = CreateDirectoryUnrecorded(temp);
        if (code != 0) return code;
    }
    const bool targetExists = PathKey(WithoutFinalSeparator(locked)) == PathKey(WithoutFinalSeparator(targetDirectory));
    // The backup must survive what the template directory survives: where
    // the temporary directory lies on another file system (often one in
    // memory, emptied by a reboot), it goes beside the target instead.
    std::vector<std::pair<WideString, const char16_t*>> places;
    if (OnSameFileSystem(temp, locked)) {
        places.emplace_back(WithSeparator(temp), kBackupPrefix);
    } else {
        const WideString beside = BackupBaseBeside(targetDirectory, locked);
        places.emplace_back(beside, kBesideBackupPrefix);
        if (targetExists && PathKey(beside) != PathKey(WithSeparator(WithoutFinalSeparator(targetDirectory))))
            places.emplace_back(targetDirectory, kBesideBackupPrefix);
    }
    for (size_t place = 0; place < places.size(); ++place) {
        code = MakeBackupDirectory(places[place].first, places[place].second);
        // Beside the target may be a directory the user cannot write.
        if (code != 0 && place + 1 < places.size()) continue;
        if (code != 0) return code;
        if (targetExists) return 0;
        code = CreateLockedTarget(locked);
        if (code == 0) code = journal_.Sync();
        return code;
    }
    return ERROR_PATH_NOT_FOUND;
}

uint32_t InstallEngine::MakeBackupDirectory(const WideString& base, const char16_t* prefix) {
    InstallTransaction& transaction = *transaction_;
    const WideString inside = WithoutFinalSeparator(base);
    // A backup inside the target changes the target's times: they are
    // journalled as they were before it.
    const bool insideTarget = PathKey(inside) == PathKey(WithoutFinalSeparator(transaction.targetDirectory));
    PathTimes targetTimes;
    const bool timed = insideTarget && GetPathTimes(inside, &targetTimes) == 0;
    for (int32_t attempt = 0; attempt < kBackupAttempts; ++attempt) {
        const WideString name = WideString(prefix) + BackupDirectoryName(attempt);
        // Created exclusively and private, and held from here on: a name
        // prepared by someone else is never used, and one renamed away or
        // swapped for a link later is only a label.
        uint32_t code = OwnedDirectory::Make(inside.Empty() ? WideString(u"/") : inside, name, &transaction.backup);
        if (code == ERROR_ALREADY_EXISTS) continue;
        if (code != 0) return code;
        transaction.backupDirectory = transaction.backup.Path();
        // Before the first step: from here on a kill can be recovered.
        code = journal_.Begin(transaction.backup, transaction.targetDirectory);
        // Noted where only this user writes: renamed away by someone who can
        // write beside it, the backup is still reported as missing.
        if (code == 0) code = AddToBackupIndex(transaction.backup, transaction.targetDirectory);
        if (code != 0) {
            // Nothing is in it yet; the next place, if any, gets a new one.
            journal_.End();
            transaction.backup.Empty(WideString());
            RemoveFromBackupIndex(transaction.backup.Identity());
            transaction.backup.Remove();
            return code;
        }
        if (timed) {
            transaction.timedDirectories.insert(PathKey(inside));
            code = journal_.RecordDirectoryTime(inside, targetTimes);
        }
        return code;
    }
    return ERROR_ALREADY_EXISTS;
}

uint32_t InstallEngine::CreateLockedTarget(const WideString& existingParent) {
    InstallTransaction& transaction = *transaction_;
    const WideString parent = WithoutFinalSeparator(existingParent);
    // The missing directories, outermost first.
    std::vector<WideString> chain;
    for (WideString path = WithoutFinalSeparator(transaction.targetDirectory); PathKey(path) != PathKey(parent);
         path = ParentDirectory(path)) {
        if (path.Empty() || chain.size() > 4096) return ERROR_PATH_NOT_FOUND;
        chain.insert(chain.begin(), path);
    }
    const WideString staging = WithSeparator(parent) + kStagingPrefix + FromInteger(RandomNameNumber(kOrderedBackupNumbers), 10);
    std::vector<WideString> staged;
    for (const WideString& path : chain) staged.push_back(staging + path.Substring(chain.front().Length()));

    uint32_t code = RememberDirectoryTime(parent);
    // Recorded before they are made, so that a kill leaves nothing behind.
    for (const WideString& path : staged)
        if (code == 0) code = journal_.Record('D', path);
    for (const WideString& path : chain)
        if (code == 0) code = journal_.Record('D', path);
    if (code == 0) code = journal_.Sync();
    // They are the user's whose directory they are made in, also when a
    // superuser installs for that user.
    PathOwner owner;
    if (code == 0) code = GetNearestDirectoryOwner(parent, &owner);
    size_t made = 0;
    for (; code == 0 && made < staged.size(); ++made) {
        code = CreateDirectoryExclusive(staged[made], 0777);
        if (code == 0) code = GivePathTo(staged[made], owner);
    }
    if (code == 0) code = made == staged.size() ? 0 : ERROR_PATH_NOT_FOUND;
    // The target's lock, taken before it existed, holds it as it appears.
    if (code == 0) code = RenameDirectoryNoReplace(staged.front(), chain.front());
    if (code != 0) {
        while (made > 0) RemoveDirectoryIfEmpty(staged[--made]);
        return code;
    }
    for (const WideString& path : chain) {
        if (observer_) observer_->DirectoryCreated(path);
        transaction.createdDirectories.push_back(path);
        transaction.knownDirectories.insert(PathKey(path));
        code = RecordMadeDirectory(path);
        if (code != 0) return code;
    }
    // Others' runs meet this one on the directories themselves, now they exist.
    return targetLock_.HoldMade(chain);
}

uint32_t InstallEngine::RecordMadeDirectory(const WideString& directory) {
    // Undo must know the directory it made from another one that someone
    // puts under the same name later: that one, and all in it, is theirs.
    PathIdentity identity;
    const uint32_t code = target_ ? GetHeldIdentity(held_.Get(), &identity) : GetPathIdentity(directory, &identity);
    transaction_->createdDirectoryIdentities[PathKey(directory)] = identity;
    if (code != 0) return 0;  // unknown: undo goes by the name alone
    return journal_.RecordDirectoryIdentity(directory, identity);
}

uint32_t InstallEngine::CommitTransaction() {
    if (!transaction_) return 0;
    InstallTransaction& transaction = *transaction_;
    const uint32_t code = SyncAndRecordCommit();
    if (code != 0) return code;
    // The replaced files, then the directories they lay in, several at a
    // time; the walk that follows then finds only the journal (and whatever
    // could not be deleted here).
    try {
        if (transaction.backup.IsHeld())
            EmptyDirectoryConcurrently(transaction.backup.Get(), kJournalFileName, kBackupRemovalWorkers);
    } catch (const std::exception&) {
        // Without memory for a listing the walk deletes them one by one.
    }
    RemoveBackupDirectory(transaction);
    return 0;
}

uint32_t InstallEngine::SyncAndRecordCommit() {
    // Every new file's data and every name the run changed must be on the
    // disk before the commit record, and the commit record before the
    // first original is deleted: otherwise a power loss could leave neither
    // version of a replaced file. One sync of the file system does it for
    // all of them at once.
    const WideString& target = transaction_->targetDirectory;
    uint32_t code = SyncFileSystemOf(target);
    const OwnedDirectory& backup = transaction_->backup;
    if (code == 0 && backup.IsHeld() && target_ && DeviceOfHeld(backup.Get()) != DeviceOfHeld(target_.Get()))
        code = SyncFileSystemOfHeld(backup.Get());
    if (code != 0) return code;
    return journal_.RecordCommit();
}

void InstallEngine::RemoveBackupDirectory(InstallTransaction& transaction) {
    if (transaction.backup.IsHeld()) {
        transaction.backup.Empty(kJournalFileName);
        RemoveFromBackupIndex(transaction.backup.Identity());
        journal_.Remove();
        transaction.backup.Remove();
    }
    // Nothing of this run is left to protect.
    targetLock_.Release();
}

uint32_t InstallEngine::RollbackTransaction(uint32_t code) {
    // No file of the run is written any more while undo looks at it.
    if (copier_) (void)copier_->Drain();
    if (!transaction_) return code;
    InstallTransaction& transaction = *transaction_;
    // The run undoes itself from its journal, exactly as a recovery after a
    // kill would: one undo to trust, whichever way the run ended.
    bool complete = true;
    if (journal_.IsActive()) {
        std::string contents;
        JournalLock lock;
        if (journal_.HandOver(&contents, &lock) == 0) {
            UndoOptions options;
            options.targetLocked = true;
            options.step = [this](RollbackStep step, const WideString& path, bool done) {
                if (observer_) observer_->RolledBackStep(step, path, done);
            };
            const RecoveryReport report =
                UndoInstallation(transaction.backup, DecodeJournal(contents), &lock, options);
            complete = RecoveryIsComplete(report);
        } else {
            // The journal stays on disk for the next start to finish.
            complete = false;
            journal_.End();
        }
    } else if (transaction.backup.IsHeld()) {
        transaction.backup.Empty(WideString());
        RemoveFromBackupIndex(transaction.backup.Identity());
        transaction.backup.Remove();
    }
    transaction.createdDirectories.clear();
    transaction.createdDirectoryIdentities.clear();
    targetLock_.Release();
    // The replaced files that could not go home wait in the backup.
    if (!complete && observer_) observer_->BackupKept(transaction.backupDirectory);
    if (observer_) observer_->RolledBack(code, complete);
    return code;
}

uint32_t InstallEngine::BackupExistingFile(const WideString& destination, const WideString& name) {
    InstallTransaction& transaction = *transaction_;
    if (!transaction.backup.IsHeld()) return ERROR_PATH_NOT_FOUND;
    if (!PathStartsWith(destination, transaction.targetDirectory)) return ERROR_INVALID_PARAMETER;

    const WideString relative = destination.Substring(transaction.targetDirectory.Length());
    // A file named like the journal at the top of the target would be moved
    // over the journal and the record of the run lost with it.
    if (journal_.IsActive() && PathKey(relative) == PathKey(WideString(kJournalFileName))) return ERROR_ALREADY_EXISTS;
    const uint32_t slash = relative.FindLast(u'/');
    const WideString relativeParent = slash == WideString::npos ? WideString() : relative.Substring(0, slash);

    const WideString parent = ParentDirectory(destination);
    uint32_t code = RememberDirectoryTime(parent);
    if (code != 0) return code;
    code = HoldBackupDirectory(relativeParent);
    if (code != 0) return code;
    // Across file systems (a mount inside the template directory) the move
    // is a copy: its start and its end must reach the disk, so that a
    // recovery after a power loss can tell a whole copy from a cut one. A
    // rename on one file system needs neither.
    const bool copied = DeviceOfHeld(held_.Get()) != DeviceOfHeld(backupHeld_.Get());
    code = IsPlanned(EntryAction::Replace) ? 0 : RecordAhead('B', destination);
    if (code != 0) return code;
    // Both sides are held: a link someone put in place of a directory on
    // the way, in the target or in the backup, cannot bring another tree's
    // file along or send ours elsewhere.
    code = copied ? MoveAcrossFileSystemsAt(held_.Get(), name, backupHeld_.Get(), name)
                  : RenameAt(held_.Get(), name, backupHeld_.Get(), name);
    // A move that reports failure after the file has left its place still
    // has to be undone by the rollback.
    if (code == 0 || (!EntryExistsAt(held_.Get(), name) && EntryExistsAt(backupHeld_.Get(), name))) {
        // A rename needs no record to be undone (the file is in the backup
        // or at home, whole); a copy's end must reach the disk.
        const uint32_t recorded = copied ? journal_.Record('M', destination, true)
                                         : journal_.RecordPlanned('M', destination);
        if (code == 0) code = recorded;
    }
    return code;
}

uint32_t InstallEngine::HoldBackupDirectory(const WideString& relativeParent) {
    const std::u16string key = PathKey(relativeParent);
    if (backupHeld_ && key == backupHeldKey_) return 0;
    backupHeldKey_.clear();
    backupHeld_.Reset();
    const uint32_t code = transaction_->backup.HoldBelow(relativeParent, true, &backupHeld_);
    if (code != 0) return code;
    backupHeldKey_ = key;
    return 0;
}

uint32_t InstallEngine::CreateDirectoryRecorded(const WideString& path) {
    const WideString directory = WithoutFinalSeparator(path);
    if (directory.Empty()) return ERROR_PATH_NOT_FOUND;
    if (directory.Equals(u"/")) return 0;

    InstallTransaction& transaction = *transaction_;
    const std::u16string key = PathKey(directory);
    if (transaction.knownDirectories.count(key) != 0) return 0;
    // Looked for from the held target, never through a link: a file, a link
    // or another directory where the run made one fails as it is.
    uint32_t code = HoldDirectory(directory);
    if (code == 0) {
        transaction.knownDirectories.insert(key);
        return 0;
    }
    if (GetLastFileErrno() != ENOENT) return code;
    const WideString parent = ParentDirectory(directory);
    if (IsDriveLetter(parent)) return ERROR_PATH_NOT_FOUND;
    code = CreateDirectoryRecorded(parent);
    if (code != 0) return code;

    code = RememberDirectoryTime(parent);
    if (code != 0) return code;
    code = transaction.plannedDirectories.count(key) != 0 ? 0 : RecordAhead('D', directory);
    if (code == 0) code = HoldDirectory(parent);
    if (code != 0) return code;
    const PathOwner owner = HeldOwner();
    const WideString name = directory.Substring(directory.FindLast(u'/') + 1);
    code = CreateDirectoryAt(held_.Get(), name, 0777);
    if (code == ERROR_ALREADY_EXISTS) {
        // Someone made it since the run began: it is theirs, not the run's.
        code = journal_.Record('X', directory, true);
        if (code == 0) code = HoldDirectory(directory);
        if (code == 0) transaction.knownDirectories.insert(key);
        return code;
    }
    if (code != 0) return code;
    if (observer_) observer_->DirectoryCreated(directory);
    transaction.createdDirectories.push_back(directory);
    transaction.knownDirectories.insert(key);
    code = GiveEntryTo(held_.Get(), name, owner);
    if (code == 0) code = HoldDirectory(directory);
    if (code != 0) return code;
    return RecordMadeDirectory(directory);
}

uint32_t InstallEngine::CreateDirectoryUnrecorded(const WideString& path) {
    const WideString directory = WithoutFinalSeparator(path);
    if (directory.Equals(u"/")) return 0;
    if (CreateDirectoryPath(directory) == 0) return 0;
    const WideString parent = ParentDirectory(directory);
    if (IsDriveLetter(parent)) return ERROR_PATH_NOT_FOUND;
    CreateDirectoryUnrecorded(parent);
    return CreateDirectoryPath(directory);
}

uint32_t InstallEngine::RememberDirectoryTime(const WideString& directory) {
    InstallTransaction& transaction = *transaction_;
    const WideString path = WithoutFinalSeparator(directory);
    if (path.Empty()) return 0;
    const std::u16string key = PathKey(path);
    if (transaction.createdDirectoryIdentities.count(key) != 0) return 0;
    if (!transaction.timedDirectories.insert(key).second) return 0;

    PathTimes times;
    // The target and what is below it are read from the held target (the
    // directory held then is the one the run goes on to change); its
    // parents, before the target is held, by their paths.
    if (target_ && PathStartsWith(WithSeparator(path), transaction.targetDirectory)) {
        if (HoldDirectory(path) != 0 || GetHandleTimes(held_.Get(), &times) != 0) return 0;
    } else if (GetPathTimes(path, &times) != 0) {
        return 0;
    }
    const uint32_t code = journal_.RecordDirectoryTime(path, times);
    return code == 0 && planWritten_ ? journal_.Sync() : code;
}

uint32_t InstallEngine::RecordAhead(char tag, const WideString& path) {
    return journal_.Record(tag, path, planWritten_);
}

uint32_t InstallEngine::WritePlan(const KitReader& kit) {
    InstallTransaction& transaction = *transaction_;
    const uint32_t count = kit.GetFileEntryCount();
    transaction.plannedActions.assign(count, EntryAction::Keep);
    MarkRepeatableEntries(kit);
    std::unordered_set<std::u16string> destinations;  // of repeatable entries only
    EntryPlanner planner(transaction.targetDirectory);
    for (uint32_t i = 0; i < count; ++i) {
        const KitFileEntry entry = kit.GetFileEntry(i);
        const EntryPlan plan = planner.Plan(entry.name, entry.writeTime);
        transaction.plannedActions[i] = plan.action;
        transaction.plannedCount = i + 1;
        // The run ends at a blocked entry; a destination written twice is
        // the run's own the second time.
        if (plan.action == EntryAction::Blocked) break;
        if (plan.action == EntryAction::Keep) continue;
        if (transaction.repeatable[i] && !destinations.insert(PathKey(plan.destination)).second) continue;
        uint32_t code = PlanDirectory(ParentDirectory(plan.destination));
        if (code == 0) code = journal_.RecordPlanned(plan.action == EntryAction::Add ? 'F' : 'B', plan.destination);
        if (code != 0) return code;
    }
    // One sync for all of it: every record that undo needs is on the disk
    // before the step it describes.
    const uint32_t code = journal_.Sync();
    planWritten_ = code == 0;
    return code;
}

void InstallEngine::MarkRepeatableEntries(const KitReader& kit) {
    // Entries whose names hash alike may name one destination; keeping the
    // names of only those keeps a run's memory flat in the number of entries.
    const uint32_t count = kit.GetFileEntryCount();
    std::vector<std::pair<size_t, uint32_t>> hashes;
    hashes.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        WideString relative;
        if (!MakeRelativeEntryPath(kit.GetFileEntry(i).name, &relative)) continue;
        hashes.emplace_back(std::hash<std::u16string>()(PathKey(relative)), i);
    }
    std::sort(hashes.begin(), hashes.end());
    std::vector<bool>& repeatable = transaction_->repeatable;
    repeatable.assign(count, false);
    for (size_t i = 1; i < hashes.size(); ++i) {
        if (hashes[i].first != hashes[i - 1].first) continue;
        repeatable[hashes[i].second] = true;
        repeatable[hashes[i - 1].second] = true;
    }
}

uint32_t InstallEngine::PlanDirectory(const WideString& path) {
    InstallTransaction& transaction = *transaction_;
    const WideString directory = WithoutFinalSeparator(path);
    const std::u16string key = PathKey(directory);
    if (directory.Empty() || transaction.plannedDirectories.count(key) != 0 ||
        transaction.timedDirectories.count(key) != 0 || transaction.createdDirectoryIdentities.count(key) != 0)
        return 0;
    // The deepest directory that exists gets the new entries: its times
    // are to be put back, and undo enters it only while it is the same one.
    if (HoldDirectory(directory) == 0) {
        PathIdentity identity;
        if (GetHeldIdentity(held_.Get(), &identity) == 0) {
            const uint32_t code = journal_.RecordDirectoryIdentity(directory, identity);
            if (code != 0) return code;
        }
        return RememberDirectoryTime(directory);
    }
    // A link or a file in the way: the run fails there, with nothing planned.
    if (GetLastFileErrno() != ENOENT) return 0;
    const WideString parent = ParentDirectory(directory);
    if (IsDriveLetter(parent) || PathKey(parent) == key) return 0;
    const uint32_t code = PlanDirectory(parent);
    if (code != 0) return code;
    transaction.plannedDirectories.insert(key);
    return journal_.RecordPlanned('D', directory);
}


}  // namespace tpl
