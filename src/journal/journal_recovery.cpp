// Completing interrupted installations from their journals.
#include "journal/journal_recovery.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include "fs/cross_device_move.h"
#include "fs/directory_lock.h"
#include "fs/directory_sync.h"
#include "fs/file_finder.h"
#include "fs/file_creation_probe.h"
#include "fs/file_io.h"
#include "fs/held_directory.h"
#include "fs/owned_directory.h"
#include "fs/backup_index.h"
#include "fs/user_names.h"
#include "fs/journal_file.h"
#include "fs/path_mode.h"
#include "fs/path_ops.h"
#include "fs/path_times.h"
#include "fs/temp_file_claim.h"
#include "fs/temp_names.h"
#include "text/installer_file_names.h"
#include "text/path_bytes.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

// How old an unclaimed unpacked kit must be before it counts as abandoned.
constexpr int64_t kAbandonedKitAgeSeconds = 60;

// Strictly below the target directory (which ends in "/").
bool IsBelow(const WideString& path, const WideString& target) {
    return path.Length() > target.Length() && PathStartsWith(path, target);
}

// The target itself or one of its parents (the run may have created the
// target with its missing parents).
bool IsTargetOrAbove(const WideString& path, const WideString& target) {
    return !path.Empty() && PathStartsWith(target, path + u"/");
}

bool HasTag(const std::vector<JournalRecord>& records, char tag) {
    return std::any_of(records.begin(), records.end(), [tag](const JournalRecord& r) { return r.tag == tag; });
}

// The directories the journal knows, by path: those the run was to make
// and those it found, each with its identity where recorded. What someone
// else turned out to own (X) is not among them.
CreatedDirectories KnownDirectories(const std::vector<JournalRecord>& records) {
    CreatedDirectories known;
    for (const JournalRecord& r : records)
        if (r.tag == 'D') known.emplace(PathKey(r.path), PathIdentity());
    // The I records of files are far more (one per added file) and are
    // looked up apart (MadeFiles).
    std::set<std::u16string> files;
    for (const JournalRecord& r : records)
        if (r.tag == 'F' || r.tag == 'B') files.insert(PathKey(r.path));
    for (const JournalRecord& r : records)
        if (r.tag == 'I' && files.count(PathKey(r.path)) == 0) known[PathKey(r.path)] = r.identity;
    for (const JournalRecord& r : records)
        if (r.tag == 'X') known.erase(PathKey(r.path));
    return known;
}

// The identities of the files the run made, by a hash of their paths: a
// number a file, so that undo of a run of many files stays small. Two paths
// of one hash could only make undo leave a file it should have removed.
class MadeFiles {
public:
    explicit MadeFiles(const std::vector<JournalRecord>& records) {
        for (const JournalRecord& r : records)
            if (r.tag == 'I') byHash_.emplace_back(Hash(r.path), r.identity);
        std::sort(byHash_.begin(), byHash_.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    // The identity recorded for path (unknown when none was).
    PathIdentity Find(const WideString& path) const {
        const uint64_t hash = Hash(path);
        const auto found = std::lower_bound(byHash_.begin(), byHash_.end(), hash,
                                            [](const auto& entry, uint64_t value) { return entry.first < value; });
        return found != byHash_.end() && found->first == hash ? found->second : PathIdentity();
    }

private:
    static uint64_t Hash(const WideString& path) { return std::hash<std::u16string>()(PathKey(path)); }
    std::vector<std::pair<uint64_t, PathIdentity>> byHash_;
};

// Reaches the directory that holds path, strictly below the target,
// through descriptors: never through a link, never out of the target (no
// ".."), and only through directories that are still the ones the journal
// knows. *name receives path's last component.
uint32_t HoldParentBelow(const WideString& target, const WideString& path, const CreatedDirectories& known,
                         UniqueFileHandle* directory, WideString* name) {
    if (!IsBelow(path, target)) return ERROR_INVALID_PARAMETER;
    const WideString relative = path.Substring(target.Length());
    const uint32_t slash = relative.FindLast(u'/');
    *name = slash == WideString::npos ? relative : relative.Substring(slash + 1);
    const WideString parent = slash == WideString::npos ? WideString() : relative.Substring(0, slash);
    return OpenDirectoryBeneath(WithoutFinalSeparator(target), parent, directory,
                                StillRecorded(known));
}

// Moves every file found in the backup home: the backup holds nothing but
// the user's files, each at its path relative to the target, so a move whose
// record a power loss took is still found. The backup is walked from its
// held descriptor, one directory's listing at a time, and never through a
// link: a directory in it swapped for a link by whoever can write beside it
// leads nowhere. Across file systems a move is a copy, made under a
// temporary name and renamed only when whole: what is left under such a
// name is removed on both sides. A whole copy in the backup whose move is
// not recorded as complete (no M record, forced to disk there) while the
// original still stands is a duplicate of the original (the kill came
// between the rename and the unlink) and goes; anything else that cannot
// be put back stays in the backup and is counted. A copy home needs room
// beside the file it replaces: the run's own file there goes first, so
// that a full disk cannot keep the original out.
class BackupRestorer {
public:
    BackupRestorer(const OwnedDirectory& backup, const std::vector<JournalRecord>& records, RecoveryReport* report,
                   const UndoOptions& options)
        : backup_(backup), report_(report), options_(options), known_(KnownDirectories(records)) {
        for (const JournalRecord& r : records)
            if (r.tag == 'M') moved_.insert(PathKey(r.path));
        RemoveCopiesCutShort(records);
    }

    void RestoreBelow(FileHandle directory, const WideString& relative) {
        std::vector<WideString> names;
        if (!ReadNamesAt(directory, &names)) return;
        std::vector<WideString> subdirectories;
        for (const WideString& name : names) {
            if (relative.Empty() && name.Equals(kJournalFileName)) continue;
            UniqueFileHandle below;
            if (OpenDirectoryBelowHeld(directory, WideString(), name, &below) == 0)
                subdirectories.push_back(name);
            else
                RestoreFile(directory, relative, name);
        }
        for (const WideString& name : subdirectories) {
            UniqueFileHandle below;
            if (OpenDirectoryBelowHeld(directory, WideString(), name, &below) == 0)
                RestoreBelow(below.Get(), relative + name + u"/");
        }
    }

private:
    // A copy into the backup cut short left a name drawn from the identity
    // of the original, which is still at home: only such names go. Any
    // other name of that form is a user's file that was moved in whole. On
    // one file system no copy is ever made, and nothing is looked for.
    void RemoveCopiesCutShort(const std::vector<JournalRecord>& records) {
        const WideString& target = report_->targetDirectory;
        for (const JournalRecord& r : records) {
            if (r.tag != 'B' || !IsBelow(r.path, target)) continue;
            UniqueFileHandle home, backup;
            WideString name;
            const WideString relative = r.path.Substring(target.Length());
            const uint32_t slash = relative.FindLast(u'/');
            if (HoldParentBelow(target, r.path, known_, &home, &name) != 0 ||
                backup_.HoldBelow(slash == WideString::npos ? WideString() : relative.Substring(0, slash), false,
                                  &backup) != 0)
                continue;
            if (DeviceOfHeld(home.Get()) != DeviceOfHeld(backup.Get()))
                RemoveInterruptedCopiesAt(home.Get(), name, backup.Get());
        }
    }

    void RestoreFile(FileHandle from, const WideString& relative, const WideString& name) {
        const WideString destination = report_->targetDirectory + relative + name;
        // Home only into the directory it came from: one swapped for a
        // link or for another directory keeps the file in the backup.
        UniqueFileHandle home;
        WideString homeName;
        if (HoldParentBelow(report_->targetDirectory, destination, known_, &home, &homeName) != 0) {
            Done(destination, false);
            return;
        }
        const bool renamed = DeviceOfHeld(from) == DeviceOfHeld(home.Get());
        // A kill during a copy back home leaves its temporary name beside
        // the file it was to replace.
        if (!renamed) RemoveInterruptedCopiesAt(from, name, home.Get());
        const bool completed = moved_.count(PathKey(destination)) != 0;
        if (!completed && !renamed && EntryExistsAt(home.Get(), name)) {
            // Both whole and equal: the original never left.
            if (SameFileContentsAt(from, name, home.Get(), name) && RemoveFileAt(from, name) == 0) return;
            Done(destination, false);
            return;
        }
        bool restored = false;
        if (renamed) {
            restored = RenameAt(from, name, home.Get(), name) == 0;
        } else {
            (void)RemoveFileAt(home.Get(), name);  // a directory stays, and the move fails
            restored = MoveAcrossFileSystemsAt(from, name, home.Get(), name) == 0;
        }
        Done(destination, restored);
    }

    void Done(const WideString& destination, bool restored) {
        ++(restored ? report_->restoredFiles : report_->keptFiles);
        if (options_.step) options_.step(RollbackStep::FileRestored, destination, restored);
    }

    const OwnedDirectory& backup_;
    RecoveryReport* report_;
    const UndoOptions& options_;
    const CreatedDirectories known_;
    std::set<std::u16string> moved_;
};

void RestoreBackups(const OwnedDirectory& backup, const std::vector<JournalRecord>& records, RecoveryReport* report,
                    const UndoOptions& options) {
    BackupRestorer restorer(backup, records, report, options);
    restorer.RestoreBelow(backup.Get(), WideString());
}

// The private name under which a run makes a missing target before it
// appears: ".wz4sx" and digits directly in the target or one of its parents.
bool IsStagingPath(const WideString& path, const WideString& target) {
    const WideString markerText = WideString(u"/") + kStagingPrefix;
    const uint32_t marker = path.Find(markerText);
    if (marker == WideString::npos || !IsTargetOrAbove(path.Substring(0, marker), target)) return false;
    uint32_t end = marker + markerText.Length();
    const uint32_t digitsBegin = end;
    while (end < path.Length() && path[end] >= u'0' && path[end] <= u'9') ++end;
    return end > digitsBegin && (end == path.Length() || path[end] == u'/');
}

// What an earlier attempt left to remove: the U records after the last R,
// by key. Empty when there was no earlier attempt (*afterward false).
std::set<std::u16string> LeftByEarlierUndo(const std::vector<JournalRecord>& records, bool* afterward) {
    std::set<std::u16string> left;
    *afterward = false;
    for (const JournalRecord& r : records) {
        if (r.tag == 'R') {
            *afterward = true;
            left.clear();
        } else if (r.tag == 'U') {
            left.insert(PathKey(r.path));
        }
    }
    return left;
}

// Removes only what the run recorded: its files, then its directories when
// they are empty; whatever else is found there stays, with every directory
// that holds it. After an earlier attempt only what it left (retry) is
// tried. What cannot be removed is counted and named in *left: the journal
// keeps it for the next attempt.
void RemoveAdditions(const std::vector<JournalRecord>& records, bool afterward, const std::set<std::u16string>& retry,
                     RecoveryReport* report, const UndoOptions& options, std::vector<WideString>* left) {
    const WideString& target = report->targetDirectory;
    const CreatedDirectories created = KnownDirectories(records);
    const MadeFiles madeFiles(records);
    std::set<std::u16string> othersOwn;
    for (const JournalRecord& r : records)
        if (r.tag == 'X') othersOwn.insert(PathKey(r.path));
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->tag != 'F' || othersOwn.count(PathKey(it->path)) != 0) continue;
        if (afterward && retry.count(PathKey(it->path)) == 0) continue;
        UniqueFileHandle directory;
        WideString name;
        if (HoldParentBelow(target, it->path, created, &directory, &name) != 0 ||
            !EntryExistsAt(directory.Get(), name))
            continue;
        // Another file under the run's name is whoever put it there since.
        const PathIdentity made = madeFiles.Find(it->path);
        PathIdentity now;
        if (made.known &&
            (GetIdentityAt(directory.Get(), name, &now) != 0 || now.device != made.device || now.inode != made.inode))
            continue;
        const bool removed = RemoveFileAt(directory.Get(), name) == 0;
        ++(removed ? report->removedFiles : report->unremovedFiles);
        if (!removed) left->push_back(it->path);
        if (options.step) options.step(RollbackStep::FileRemoved, it->path, removed);
    }
    // Children were recorded after their parents: the deepest go first.
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->tag != 'D' || othersOwn.count(PathKey(it->path)) != 0 ||
            (afterward && retry.count(PathKey(it->path)) == 0) ||
            !(IsBelow(it->path, target) || IsTargetOrAbove(it->path, target) || IsStagingPath(it->path, target)))
            continue;
        bool removed = false;
        UniqueFileHandle directory, itself;
        WideString name;
        if (!IsBelow(it->path, target)) {
            // The target and its parents the run made, by their paths: no
            // held directory leads to them.
            if (!IsRealDirectory(it->path)) continue;
            removed = CreatedDirectoryIntact(it->path, created) && RemoveDirectoryIfEmpty(it->path);
        } else {
            // Below the target only from the held target: one that is gone
            // (or was never made), a link, or another directory under its
            // name is not the run's to remove.
            if (HoldParentBelow(target, it->path, created, &directory, &name) != 0 ||
                OpenDirectoryBelowHeld(directory.Get(), ParentDirectory(it->path), name, &itself,
                                       StillRecorded(created)) != 0)
                continue;
            removed = RemoveEmptyDirectoryAt(directory.Get(), name);
            // One that still holds something (someone else's, or a file of
            // the run's that could not go) is no failure of its own.
            if (!removed && GetLastFileErrno() != ENOTEMPTY && GetLastFileErrno() != EEXIST) ++report->unremovedDirectories;
        }
        if (removed) ++report->removedDirectories;
        // Tried again with the files in it, should they be left too.
        if (!removed) left->push_back(it->path);
        if (options.step) options.step(RollbackStep::DirectoryRemoved, it->path, removed);
    }
}

// Puts back the times of directories whose entries the run changed, last
// changed first, after every entry is back in place.
void RestoreDirectoryTimes(const std::vector<JournalRecord>& records, const WideString& target) {
    const CreatedDirectories known = KnownDirectories(records);
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->tag != 'N') continue;
        UniqueFileHandle directory;
        WideString name;
        if (IsBelow(it->path, target)) {
            if (HoldParentBelow(target, it->path, known, &directory, &name) == 0)
                (void)SetPathTimesAt(directory.Get(), name, it->times);
        } else if (IsTargetOrAbove(it->path, target)) {
            (void)SetPathTimes(it->path, it->times);
        }
    }
}

bool HoldsOnlyJournal(const OwnedDirectory& backup) {
    std::vector<WideString> names;
    if (!ReadNamesAt(backup.Get(), &names)) return false;
    return std::all_of(names.begin(), names.end(), [](const WideString& name) { return name.Equals(kJournalFileName); });
}

void RemoveBackupDirectory(OwnedDirectory& backup, JournalLock* lock) {
    backup.Empty(kJournalFileName);
    RemoveFromBackupIndex(backup.Identity());
    (void)RemoveFileAt(backup.Get(), kJournalFileName);
    if (lock) lock->Release();
    backup.Remove();
}

}  // namespace

RecoveryReport UndoInstallation(OwnedDirectory& backup, const std::vector<JournalRecord>& records, JournalLock* lock,
                                const UndoOptions& options) {
    RecoveryReport report;
    report.backupDirectory = backup.Path();
    if (records.empty()) {
        // The target record is written before any step: nothing was done,
        // unless the journal was damaged; then anything else in the
        // directory may be a user's file, and all is left as found.
        report.unreadable = !HoldsOnlyJournal(backup);
        if (!report.unreadable) RemoveBackupDirectory(backup, lock);
        return report;
    }
    const bool usable = records.front().tag == 'T' && records.front().path.EndsWith(u'/') &&
                        std::all_of(records.begin(), records.end(), [](const JournalRecord& r) { return r.exact; });
    if (!usable) {
        report.unreadable = true;
        return report;
    }
    report.targetDirectory = records.front().path;
    // An installation that runs into the target now took over after this
    // one ended; undoing this one meanwhile would undo parts of that one.
    DirectoryLock targetLock;
    WideString locked;
    if (!options.targetLocked && targetLock.LockNearest(report.targetDirectory, &locked) == ERROR_LOCK_VIOLATION) {
        report.busy = true;
        return report;
    }
    report.committed = HasTag(records, 'C');
    std::vector<WideString> left;
    if (!report.committed) {
        // The additions go first: their room is what copies home may need.
        bool afterward = false;
        const std::set<std::u16string> retry = LeftByEarlierUndo(records, &afterward);
        RemoveAdditions(records, afterward, retry, &report, options, &left);
        RestoreBackups(backup, records, &report, options);
        RestoreDirectoryTimes(records, report.targetDirectory);
    }
    // Every step that could not be undone stays in the journal for the next
    // attempt, with the backup that holds the replaced files: one write,
    // forced to the disk, names what is left.
    if (report.keptFiles > 0 || report.unremovedFiles > 0 || report.unremovedDirectories > 0) {
        if (lock) {
            std::string undone = EncodeJournalRecord('R', NarrowString(""));
            for (const WideString& path : left) undone += EncodeJournalRecord('U', PathToBytes(path));
            (void)lock->Append(undone);
        }
        return report;
    }
    // The journal is the only record of what undo did: its renames home and
    // its removals must be on the disk before it goes, or a power loss that
    // keeps the journal's deletion but not an earlier step (file systems
    // may reorder them) would leave the run's file where the user's stood.
    if (!report.committed) {
        (void)SyncFileSystemOfHeld(backup.Get());
        UniqueFileHandle target;
        // One sync serves both where they share a file system.
        if (OpenDirectoryBeneath(report.targetDirectory, WideString(), &target) == 0 &&
            DeviceOfHeld(target.Get()) != DeviceOfHeld(backup.Get()))
            (void)SyncFileSystemOfHeld(target.Get());
    }
    RemoveBackupDirectory(backup, lock);
    return report;
}

WideString BackupBaseBeside(const WideString& targetDirectory, const WideString& nearestExisting) {
    const WideString target = WithoutFinalSeparator(targetDirectory);
    const WideString nearest = WithoutFinalSeparator(nearestExisting);
    // A target still to be made is made in its nearest existing parent,
    // which the run can therefore write.
    if (PathKey(nearest) != PathKey(target)) return WithSeparator(nearest);
    const WideString parent = ParentDirectory(target);
    if (!parent.Empty() && OnSameFileSystem(parent, target) && ProbeFileCreation(parent) != ERROR_ACCESS_DENIED)
        return WithSeparator(parent);
    return WithSeparator(target);
}

namespace {

// The backup directories of this user in directory whose names begin with
// prefix, each held from here on: what opens under such a name is checked
// on the descriptor that is then used (a real directory, the user's, that no
// one else may write), so a name flipped to a link after a check cannot
// lead the recovery elsewhere. With foreign, another user's backup
// directory found there is reported, left alone.
void CollectBackupDirectories(const WideString& directory, const char16_t* prefix, std::vector<OwnedDirectory>* found,
                              std::set<std::pair<uint64_t, uint64_t>>* seen, std::vector<RecoveryReport>* foreign) {
    UniqueFileHandle held;
    if (OpenDirectoryBeneath(directory, WideString(), &held) != 0) return;
    std::vector<WideString> names;
    if (!ReadNamesAt(held.Get(), &names)) return;
    std::sort(names.begin(), names.end(),
              [](const WideString& a, const WideString& b) { return PathKey(a) < PathKey(b); });
    const WideString parent = WithoutFinalSeparator(directory);
    const WideString start(prefix);
    for (const WideString& name : names) {
        if (name.Length() < start.Length() || !name.Substring(0, start.Length()).Equals(start)) continue;
        OwnedDirectory candidate;
        if (OwnedDirectory::Open(held.Get(), parent, name, &candidate) != 0) {
            PathOwner owner;
            UniqueFileHandle itself;
            if (foreign && GetOwnerAt(held.Get(), name, &owner) == 0 && owner.user != CurrentUserId() &&
                OpenDirectoryBelowHeld(held.Get(), parent, name, &itself) == 0 &&
                EntryExistsAt(itself.Get(), kJournalFileName)) {
                RecoveryReport report;
                report.backupDirectory = directory + name + u"/";
                report.foreignOwner = owner.user;
                report.foreign = true;
                foreign->push_back(report);
            }
            continue;
        }
        const PathIdentity& identity = candidate.Identity();
        if (seen->insert({identity.device, identity.inode}).second) found->push_back(std::move(candidate));
    }
}

// The target and each directory above it: a run keeps its backup beside
// its target, in the nearest parent that existed when it began.
void CollectBackupsBeside(const WideString& targetDirectory, std::vector<OwnedDirectory>* found,
                          std::set<std::pair<uint64_t, uint64_t>>* seen, std::vector<RecoveryReport>* foreign) {
    for (WideString directory = WithoutFinalSeparator(targetDirectory); !directory.Empty();) {
        if (IsRealDirectory(directory))
            CollectBackupDirectories(WithSeparator(directory), kBesideBackupPrefix, found, seen, foreign);
        if (directory.Equals(u"/")) break;
        const WideString parent = ParentDirectory(directory);
        if (parent.Empty() || PathKey(parent) == PathKey(directory)) break;
        directory = parent;
    }
}

// The backups this user's runs noted and did not remove: one not found by
// the search above is looked for where it was made, and reported as
// missing (once) when it is not there, or is another directory now.
void CollectIndexedBackups(std::vector<OwnedDirectory>* found, std::set<std::pair<uint64_t, uint64_t>>* seen,
                           std::vector<RecoveryReport>* missing) {
    for (const BackupIndexEntry& entry : ReadBackupIndex()) {
        if (seen->count({entry.identity.device, entry.identity.inode}) != 0) continue;
        OwnedDirectory candidate;
        if (OwnedDirectory::OpenPath(entry.backupDirectory, &candidate) == 0 &&
            candidate.Identity().device == entry.identity.device && candidate.Identity().inode == entry.identity.inode) {
            seen->insert({entry.identity.device, entry.identity.inode});
            found->push_back(std::move(candidate));
            continue;
        }
        RecoveryReport report;
        report.backupDirectory = entry.backupDirectory;
        report.targetDirectory = entry.targetDirectory;
        report.missing = true;
        missing->push_back(report);
        RemoveFromBackupIndex(entry.identity);
    }
}

}  // namespace

std::vector<RecoveryReport> RecoverInterruptedInstallations(const std::vector<WideString>& targets) {
    std::vector<RecoveryReport> reports, others;
    WideString temp;
    GetTempDirectory(&temp);
    std::vector<OwnedDirectory> candidates;
    std::set<std::pair<uint64_t, uint64_t>> seen;
    // Other users' backups in a shared temporary directory are theirs to
    // finish, and no concern of this run's: only those beside the template
    // directories asked about are told.
    CollectBackupDirectories(WithSeparator(temp), kBackupPrefix, &candidates, &seen, nullptr);
    for (const WideString& target : targets)
        if (!target.Empty()) CollectBackupsBeside(target, &candidates, &seen, &others);
    CollectIndexedBackups(&candidates, &seen, &others);
    for (OwnedDirectory& backup : candidates) {
        std::string contents;
        JournalLock lock;
        const uint32_t code = ReadUnlockedJournalAt(backup.Get(), kJournalFileName, &contents, &lock);
        if (code == ERROR_FILE_NOT_FOUND) {
            RemoveFromBackupIndex(backup.Identity());
            backup.Remove();
        }
        if (code != 0) continue;  // no journal, or its installation is still running
        reports.push_back(UndoInstallation(backup, DecodeJournal(contents), &lock, UndoOptions()));
    }
    reports.insert(reports.end(), others.begin(), others.end());
    return reports;
}

DirectoryCheck StillRecorded(const CreatedDirectories& recorded) {
    return [&recorded](const WideString& reached, const PathIdentity& identity) {
        const auto found = recorded.find(PathKey(reached));
        return found == recorded.end() || !found->second.known ||
               (found->second.device == identity.device && found->second.inode == identity.inode);
    };
}

namespace {
// True unless the run made the directory and it is now something else.
bool StillTheOneMade(const WideString& directory, const CreatedDirectories& created) {
    const auto made = created.find(PathKey(directory));
    return made == created.end() || (IsRealDirectory(directory) && IsSameObject(directory, made->second));
}
}  // namespace

bool CreatedDirectoriesIntact(const WideString& path, const CreatedDirectories& created) {
    for (WideString directory = ParentDirectory(path); directory.Length() > 1 && !directory.Equals(u".");
         directory = ParentDirectory(directory))
        if (!StillTheOneMade(directory, created)) return false;
    return true;
}

bool CreatedDirectoryIntact(const WideString& directory, const CreatedDirectories& created) {
    const WideString itself = WithoutFinalSeparator(directory);
    return StillTheOneMade(itself, created) && CreatedDirectoriesIntact(itself, created);
}

bool RecoveryIsComplete(const RecoveryReport& report) {
    return !report.unreadable && !report.busy && !report.missing && !report.foreign && report.keptFiles == 0 &&
           report.unremovedFiles == 0 && report.unremovedDirectories == 0;
}

NarrowString DescribeRecovery(const RecoveryReport& report) {
    // As the file system spells them, like a file listing.
    const NarrowString target = PathToBytes(report.targetDirectory);
    const NarrowString backup = PathToBytes(report.backupDirectory);
    std::string line;
    if (report.missing) {
        line = "the interrupted installation into " + std::string(target.Data()) + " kept its backup in " +
               std::string(backup.Data()) +
               ", which is gone (renamed or removed by someone else): the template directory may hold files of "
               "both the old and the new kit, and the files it replaced cannot be restored";
    } else if (report.foreign) {
        line = "left the interrupted installation in " + std::string(backup.Data()) +
               " alone: it belongs to user " + UserName(report.foreignOwner) +
               ", whose next start (or tkx recover run as that user) finishes it";
    } else if (report.busy) {
        line = "left the interrupted installation in " + std::string(backup.Data()) +
               " for later: another installation into " + std::string(target.Data()) + " is running";
    } else if (report.unreadable) {
        line = "left the interrupted installation in " + std::string(backup.Data()) +
               " untouched: its journal cannot be read (perhaps it was written in another locale)";
    } else if (report.committed) {
        line = "finished an interrupted installation into " + std::string(target.Data()) +
               ": it had completed; its backup was removed";
    } else {
        line = "rolled back an interrupted installation into " + std::string(target.Data()) + ": " +
               std::to_string(report.restoredFiles) + " replaced files restored, " +
               std::to_string(report.removedFiles) + " added files and " + std::to_string(report.removedDirectories) +
               " added directories removed";
        if (report.keptFiles > 0)
            line += "; " + std::to_string(report.keptFiles) +
                    " replaced files could not be moved back and are kept in " + std::string(backup.Data());
        if (report.unremovedFiles > 0 || report.unremovedDirectories > 0)
            line += "; " + std::to_string(report.unremovedFiles) + " added files and " +
                    std::to_string(report.unremovedDirectories) +
                    " added directories could not be removed: the next start tries again";
    }
    return NarrowString(line.data(), static_cast<uint32_t>(line.size()));
}

NarrowString RemoveAbandonedUnpackedKits() {
    // A running installer claims its own from the moment it creates it; the
    // age keeps clear of one that is between creating and claiming its file
    // right now.
    WideString temp;
    GetTempDirectory(&temp);
    const uint32_t removed = DeleteAbandonedTempFiles(temp, kKitTempPrefix, kAbandonedKitAgeSeconds);
    if (removed == 0) return NarrowString();
    const std::string line = "removed " + std::to_string(removed) + " unpacked kit file" + (removed == 1 ? "" : "s") +
                             " left by an interrupted run";
    return NarrowString(line.data(), static_cast<uint32_t>(line.size()));
}

std::vector<NarrowString> RecoverAtStartup(const std::vector<WideString>& targets) {
    std::vector<NarrowString> lines;
    for (const RecoveryReport& report : RecoverInterruptedInstallations(targets))
        lines.push_back(DescribeRecovery(report));
    const NarrowString kits = RemoveAbandonedUnpackedKits();
    if (!kits.Empty()) lines.push_back(kits);
    return lines;
}

}  // namespace tpl
