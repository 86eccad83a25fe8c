// Completing interrupted installations from their journals.
#include "journal/journal_recovery.h"

#include <algorithm>
#include <set>
#include <string>
#include "fs/cross_device_move.h"
#include "fs/directory_lock.h"
#include "fs/file_finder.h"
#include "fs/file_creation_probe.h"
#include "fs/file_io.h"
#include "fs/held_directory.h"
#include "fs/journal_file.h"
#include "fs/path_mode.h"
#include "fs/path_ops.h"
#include "fs/path_times.h"
#include "fs/temp_file_claim.h"
#include "fs/temp_names.h"
#include "fs/tree_ops.h"
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

// Paths relative to the backup directory of every file (or link) in it,
// the journal excepted; links are not followed.
void CollectBackedUpFiles(const WideString& backupDirectory, const WideString& relative, std::vector<WideString>* files) {
    std::vector<WideString> subdirectories;
    for (const DirectoryEntry& entry : ListDirectory(backupDirectory + relative)) {
        if (relative.Empty() && entry.name.Equals(kJournalFileName)) continue;
        if (entry.isDirectory && !entry.isSymbolicLink)
            subdirectories.push_back(relative + entry.name + u"/");
        else
            files->push_back(relative + entry.name);
    }
    for (const WideString& subdirectory : subdirectories)
        CollectBackedUpFiles(backupDirectory, subdirectory, files);
}

// The directories the journal knows, by path: those the run was to make
// and those it found, each with its identity where recorded. What someone
// else turned out to own (X) is not among them.
CreatedDirectories KnownDirectories(const std::vector<JournalRecord>& records) {
    CreatedDirectories known;
    for (const JournalRecord& r : records)
        if (r.tag == 'D') known.emplace(PathKey(r.path), PathIdentity());
    for (const JournalRecord& r : records)
        if (r.tag == 'I') known[PathKey(r.path)] = r.identity;
    for (const JournalRecord& r : records)
        if (r.tag == 'X') known.erase(PathKey(r.path));
    return known;
}

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
// record a power loss took is still found. Across file systems a move is a
// copy, made under a temporary name and renamed only when whole: what is
// left under such a name is removed on both sides. A whole copy in the
// backup whose move is not recorded as complete (no M record, forced to
// disk there) while the original still stands is left, since the original
// is whole too (the kill came between the rename and the unlink). A copy
// home needs room beside the file it replaces: the run's own file there
// goes first, so that a full disk cannot keep the original out.
void RestoreBackups(const WideString& backupDirectory, const std::vector<JournalRecord>& records,
                    RecoveryReport* report, const UndoOptions& options) {
    const WideString& target = report->targetDirectory;
    std::set<std::u16string> moved;
    for (const JournalRecord& r : records)
        if (r.tag == 'M') moved.insert(PathKey(r.path));
    const CreatedDirectories known = KnownDirectories(records);
    // A copy into the backup cut short left a name drawn from the identity
    // of the original, which is still at home: only such names go. Any
    // other name of that form is a user's file that was moved in whole.
    for (const JournalRecord& r : records)
        if (r.tag == 'B' && IsBelow(r.path, target))
            RemoveInterruptedCopiesOf(r.path, backupDirectory + r.path.Substring(target.Length()));
    std::vector<WideString> files;
    CollectBackedUpFiles(backupDirectory, WideString(), &files);
    for (const WideString& relative : files) {
        const WideString source = backupDirectory + relative;
        const WideString destination = target + relative;
        // Home only into the directory it came from: one swapped for a
        // link or for another directory keeps the file in the backup.
        UniqueFileHandle home;
        WideString name;
        if (HoldParentBelow(target, destination, known, &home, &name) != 0) {
            ++report->keptFiles;
            if (options.step) options.step(RollbackStep::FileRestored, destination, false);
            continue;
        }
        // A kill during a copy back home leaves its temporary name beside
        // the file it was to replace.
        RemoveInterruptedCopiesOf(source, destination);
        const WideString parent = ParentDirectory(destination);
        // Asked of the directories: a link set aside may name nothing from
        // inside the backup, and a test that follows it would take a rename
        // for a copy cut short and leave the link in the backup.
        const bool renamed = OnSameFileSystem(ParentDirectory(source), parent);
        const bool completed = moved.count(PathKey(destination)) != 0;
        if (!completed && !renamed && PathEntryExists(destination)) continue;
        bool restored = false;
        if (renamed) {
            UniqueFileHandle from;
            const uint32_t slash = relative.FindLast(u'/');
            restored = OpenDirectoryBeneath(WithoutFinalSeparator(backupDirectory),
                                            slash == WideString::npos ? WideString() : relative.Substring(0, slash),
                                            &from) == 0 &&
                       RenameAt(from.Get(), name, home.Get(), name) == 0;
        } else {
            if (EntryExistsAt(home.Get(), name) && !IsExistingDirectory(destination)) RemoveFileAt(home.Get(), name);
            restored = MovePath(source, destination) == 0;
        }
        ++(restored ? report->restoredFiles : report->keptFiles);
        if (options.step) options.step(RollbackStep::FileRestored, destination, restored);
    }
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

// Removes only what the run recorded: its files, then its directories when
// they are empty; whatever else is found there stays, with every directory
// that holds it.
void RemoveAdditions(const std::vector<JournalRecord>& records, RecoveryReport* report, const UndoOptions& options) {
    const WideString& target = report->targetDirectory;
    const CreatedDirectories created = KnownDirectories(records);
    std::set<std::u16string> othersOwn;
    for (const JournalRecord& r : records)
        if (r.tag == 'X') othersOwn.insert(PathKey(r.path));
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->tag != 'F' || othersOwn.count(PathKey(it->path)) != 0) continue;
        UniqueFileHandle directory;
        WideString name;
        if (HoldParentBelow(target, it->path, created, &directory, &name) != 0 ||
            !EntryExistsAt(directory.Get(), name))
            continue;
        const bool removed = RemoveFileAt(directory.Get(), name) == 0;
        if (removed) ++report->removedFiles;
        if (options.step) options.step(RollbackStep::FileRemoved, it->path, removed);
    }
    // Children were recorded after their parents: the deepest go first.
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->tag != 'D' || othersOwn.count(PathKey(it->path)) != 0 ||
            !(IsBelow(it->path, target) || IsTargetOrAbove(it->path, target) || IsStagingPath(it->path, target)) ||
            !IsRealDirectory(it->path))
            continue;
        bool removed = false;
        UniqueFileHandle directory, itself;
        WideString name;
        if (!IsBelow(it->path, target)) {
            removed = CreatedDirectoryIntact(it->path, created) && RemoveDirectoryIfEmpty(it->path);
        } else if (HoldParentBelow(target, it->path, created, &directory, &name) == 0 &&
                   OpenDirectoryBelowHeld(directory.Get(), ParentDirectory(it->path), name, &itself,
                                          StillRecorded(created)) == 0) {
            removed = RemoveEmptyDirectoryAt(directory.Get(), name);
        }
        if (removed) ++report->removedDirectories;
        if (options.step) options.step(RollbackStep::DirectoryRemoved, it->path, removed);
    }
}

// Puts back the times of directories whose entries the run changed, last
// changed first, after every entry is back in place.
void RestoreDirectoryTimes(const std::vector<JournalRecord>& records, const WideString& target) {
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (it->tag != 'N' || !(IsBelow(it->path, target) || IsTargetOrAbove(it->path, target)))
            continue;
        SetPathTimes(it->path, it->times);
    }
}

bool HoldsOnlyJournal(const WideString& backupDirectory) {
    for (const DirectoryEntry& entry : ListDirectory(backupDirectory))
        if (!entry.name.Equals(kJournalFileName)) return false;
    return true;
}

void RemoveBackupDirectory(const WideString& backupDirectory, JournalLock* lock) {
    RemoveBackupContents(backupDirectory);
    DeleteFilePath(backupDirectory + kJournalFileName);
    if (lock) lock->Release();
    RemoveTree(backupDirectory);
}

}  // namespace

void RemoveBackupContents(const WideString& backupDirectory) {
    for (const DirectoryEntry& entry : ListDirectory(backupDirectory))
        if (!entry.name.Equals(kJournalFileName)) RemoveTree(backupDirectory + entry.name);
}

RecoveryReport UndoInstallation(const WideString& backupDirectory, const std::vector<JournalRecord>& records,
                                JournalLock* lock, const UndoOptions& options) {
    RecoveryReport report;
    report.backupDirectory = backupDirectory;
    if (records.empty()) {
        // The target record is written before any step: nothing was done,
        // unless the journal was damaged; then anything else in the
        // directory may be a user's file, and all is left as found.
        report.unreadable = !HoldsOnlyJournal(backupDirectory);
        if (!report.unreadable) RemoveBackupDirectory(backupDirectory, lock);
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
    if (!report.committed) {
        // The additions go first: their room is what copies home may need.
        // After an R record they were already removed; a path there now is
        // something new, not the run's.
        if (!HasTag(records, 'R')) RemoveAdditions(records, &report, options);
        RestoreBackups(backupDirectory, records, &report, options);
        RestoreDirectoryTimes(records, report.targetDirectory);
    }
    if (report.keptFiles > 0) {
        if (lock && !HasTag(records, 'R')) (void)lock->Append(EncodeJournalRecord('R', NarrowString("")));
        return report;
    }
    RemoveBackupDirectory(backupDirectory, lock);
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

// Real directories in directory whose names begin with prefix.
void CollectBackupDirectories(const WideString& directory, const char16_t* prefix, std::vector<WideString>* found,
                              std::set<std::u16string>* seen) {
    const WideString pattern = WideString(prefix) + u"*";
    for (const DirectoryEntry& entry : ListDirectory(directory, pattern.Data())) {
        if (!entry.isDirectory || entry.isSymbolicLink) continue;
        const WideString path = directory + entry.name + u"/";
        if (seen->insert(PathKey(path)).second) found->push_back(path);
    }
}

// The target and each directory above it: a run keeps its backup beside
// its target, in the nearest parent that existed when it began.
void CollectBackupsBeside(const WideString& targetDirectory, std::vector<WideString>* found,
                          std::set<std::u16string>* seen) {
    for (WideString directory = WithoutFinalSeparator(targetDirectory); !directory.Empty();) {
        if (IsRealDirectory(directory)) CollectBackupDirectories(WithSeparator(directory), kBesideBackupPrefix, found, seen);
        if (directory.Equals(u"/")) break;
        const WideString parent = ParentDirectory(directory);
        if (parent.Empty() || PathKey(parent) == PathKey(directory)) break;
        directory = parent;
    }
}

}  // namespace

std::vector<RecoveryReport> RecoverInterruptedInstallations(const std::vector<WideString>& targets) {
    std::vector<RecoveryReport> reports;
    WideString temp;
    GetTempDirectory(&temp);
    std::vector<WideString> candidates;
    std::set<std::u16string> seen;
    CollectBackupDirectories(temp, kBackupPrefix, &candidates, &seen);
    for (const WideString& target : targets)
        if (!target.Empty()) CollectBackupsBeside(target, &candidates, &seen);
    for (const WideString& directory : candidates) {
        if (!IsDirectoryOfCurrentUser(directory)) continue;
        std::string contents;
        JournalLock lock;
        const uint32_t code = ReadUnlockedJournal(directory + kJournalFileName, &contents, &lock);
        if (code == ERROR_FILE_NOT_FOUND) RemoveDirectoryIfEmpty(directory);
        if (code != 0) continue;  // no journal, or its installation is still running
        reports.push_back(UndoInstallation(directory, DecodeJournal(contents), &lock, UndoOptions()));
    }
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
    return !report.unreadable && !report.busy && report.keptFiles == 0;
}

NarrowString DescribeRecovery(const RecoveryReport& report) {
    // As the file system spells them, like a file listing.
    const NarrowString target = PathToBytes(report.targetDirectory);
    const NarrowString backup = PathToBytes(report.backupDirectory);
    std::string line;
    if (report.busy) {
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
