// The transaction of a run: the backup directory, recorded creations, commit
// and the rollback that puts the template directory back as it was.
#include "engine/install_engine.h"
#include "fs/file_finder.h"
#include "fs/path_ops.h"
#include "fs/temp_names.h"
#include "fs/tree_ops.h"

#include <cerrno>
#include <exception>
#include <random>

#include "engine/backup_removal.h"
#include "kit/kit_entry_names.h"
#include "text/path_text.h"
#include "fs/path_mode.h"
#include "engine/install_observer.h"
#include "journal/journal_recovery.h"
#include "fs/directory_lock.h"
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
// A relative name without "/" lies in the current directory, which exists.
WideString ParentOrCurrent(const WideString& directory) {
    const WideString parent = ParentDirectory(directory);
    return parent.Empty() ? WideString(u".") : parent;
}
int32_t RandomNumber() {
    static std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int32_t>(kOrderedBackupNumbers, INT32_MAX)(generator);
}
}  // namespace

WideString InstallEngine::BackupDirectoryName(int32_t attempt) const {
    return FromInteger(attempt < kOrderedBackupNumbers ? attempt : RandomNumber(), 10);
}

uint32_t InstallEngine::BeginTransaction(const WideString& targetDirectory) {
    InstallTransaction& transaction = transaction_.emplace();
    transaction.targetDirectory = targetDirectory;
    // Without a target there is nothing to protect and every entry would land
    // relative to the current directory: refuse instead.
    if (targetDirectory.Empty()) return ERROR_PATH_NOT_FOUND;

    // Before anything changes: another installation into this directory
    // would take this run's files for the user's and the other way round.
    WideString locked;
    uint32_t code = targetLock_.LockNearest(targetDirectory, &locked);
    if (code != 0) return code;

    WideString temp;
    code = GetTempDirectory(&temp);
    if (code != 0) return code;
    // Made if missing, but never recorded: the rollback must not remove it.
    if (!PathExists(temp)) {
        code = CreateDirectoryUnrecorded(temp);
        if (code != 0) return code;
    }
    WideString base = temp;
    if (!base.EndsWith(u'/')) base.Append(u'/');

    for (int32_t attempt = 0; attempt < kBackupAttempts; ++attempt) {
        const WideString candidate = base + kBackupPrefix + BackupDirectoryName(attempt);
        if (PathExists(candidate)) continue;
        // Created exclusively and private: a name taken since the probe, or
        // prepared by someone else, is never used.
        code = CreateDirectoryExclusive(candidate, 0700);
        if (code == ERROR_ALREADY_EXISTS) continue;
        if (code != 0) return code;
        transaction.backupDirectory = candidate + u"/";
        transaction.backupDirectories.insert(PathKey(candidate));
        // Before the first step: from here on a kill can be recovered.
        code = journal_.Begin(transaction.backupDirectory, targetDirectory);
        if (code != 0) return code;
        if (PathKey(WithoutFinalSeparator(locked)) == PathKey(WithoutFinalSeparator(targetDirectory))) return 0;
        return CreateLockedTarget(locked);
    }
    return ERROR_ALREADY_EXISTS;
}

uint32_t InstallEngine::CreateLockedTarget(const WideString& existingParent) {
    InstallTransaction& transaction = *transaction_;
    const WideString parent = WithoutFinalSeparator(existingParent);
    // The missing directories, outermost first.
    std::vector<WideString> chain;
    for (WideString path = WithoutFinalSeparator(transaction.targetDirectory); PathKey(path) != PathKey(parent);
         path = WithoutFinalSeparator(ParentOrCurrent(path))) {
        if (path.Empty() || chain.size() > 4096) return ERROR_PATH_NOT_FOUND;
        chain.insert(chain.begin(), path);
    }
    const WideString staging = WithSeparator(parent) + kStagingPrefix + FromInteger(RandomNumber(), 10);
    std::vector<WideString> staged;
    for (const WideString& path : chain) staged.push_back(staging + path.Substring(chain.front().Length()));

    uint32_t code = RememberDirectoryTime(parent);
    // Recorded before they are made, so that a kill leaves nothing behind.
    for (const WideString& path : staged)
        if (code == 0) code = journal_.Record('D', path);
    for (const WideString& path : chain)
        if (code == 0) code = journal_.Record('D', path);
    size_t made = 0;
    for (; code == 0 && made < staged.size(); ++made) code = CreateDirectoryExclusive(staged[made], 0777);
    if (code == 0) code = made == staged.size() ? 0 : ERROR_PATH_NOT_FOUND;
    DirectoryLock stagedLock;
    if (code == 0) code = stagedLock.Lock(staged.back());
    if (code == 0) code = RenameDirectoryNoReplace(staged.front(), chain.front());
    if (code != 0) {
        while (made > 0) RemoveDirectoryIfEmpty(staged[--made]);
        return code;
    }
    // The target is locked as it appears; its parent is free for others again.
    stagedLock.MoveTo(&targetLock_);
    for (const WideString& path : chain) {
        if (observer_) observer_->DirectoryCreated(path);
        transaction.createdDirectories.push_back(path);
        transaction.knownDirectories.insert(PathKey(path));
        code = RecordMadeDirectory(path);
        if (code != 0) return code;
    }
    return 0;
}

uint32_t InstallEngine::RecordMadeDirectory(const WideString& directory) {
    // Undo must know the directory it made from another one that someone
    // puts under the same name later: that one, and all in it, is theirs.
    PathIdentity identity;
    const uint32_t code = GetPathIdentity(directory, &identity);
    transaction_->createdDirectoryIdentities[PathKey(directory)] = identity;
    if (code != 0) return 0;  // unknown: undo goes by the name alone
    return journal_.RecordDirectoryIdentity(directory, identity);
}

namespace {
// Every directory made inside the backup, those made as missing parents included.
std::vector<WideString> DirectoriesInsideBackup(const InstallTransaction& transaction) {
    const std::u16string root = PathKey(WithoutFinalSeparator(transaction.backupDirectory));
    std::unordered_set<std::u16string> all;
    for (std::u16string key : transaction.backupDirectories) {
        while (key.size() > root.size() && key.compare(0, root.size(), root) == 0 && all.insert(key).second)
            key.resize(key.find_last_of(u'/'));
    }
    std::vector<WideString> directories;
    for (const std::u16string& key : all) directories.emplace_back(key.data(), static_cast<uint32_t>(key.size()));
    return directories;
}
}  // namespace

uint32_t InstallEngine::CommitTransaction() {
    if (!transaction_) return 0;
    InstallTransaction& transaction = *transaction_;
    const uint32_t code = journal_.RecordCommit();
    if (code != 0) return code;
    // The replaced files first, then the directories they lay in, several
    // at once; the walk that follows then finds only the journal (and
    // whatever could not be deleted here).
    try {
        std::vector<WideString> replaced;
        replaced.reserve(transaction.backedUpFiles.size());
        for (const BackedUpFile& file : transaction.backedUpFiles) replaced.push_back(file.backup);
        transaction.backedUpFiles.clear();
        DeleteFilesConcurrently(replaced, kBackupRemovalWorkers);
        RemoveEmptyDirectoriesConcurrently(DirectoriesInsideBackup(transaction), kBackupRemovalWorkers);
    } catch (const std::exception&) {
        // Without memory for the list the walk deletes them one by one.
    }
    transaction.backedUpFiles.clear();
    RemoveBackupDirectory(transaction);
    return 0;
}

void InstallEngine::RemoveBackupDirectory(const InstallTransaction& transaction) {
    if (!transaction.backupDirectory.Empty()) {
        RemoveBackupContents(transaction.backupDirectory);
        journal_.Remove();
        RemoveTree(transaction.backupDirectory);
    }
    // Nothing of this run is left to protect.
    targetLock_.Release();
}

uint32_t InstallEngine::RollbackTransaction(uint32_t code) {
    if (!transaction_) return code;
    InstallTransaction& transaction = *transaction_;

    // Files the run added where nothing stood (a partly written one
    // included), never through a link that took the place of a directory
    // the run made: that would delete in someone else's tree.
    for (auto it = transaction.createdFiles.rbegin(); it != transaction.createdFiles.rend(); ++it) {
        if (!CreatedDirectoriesIntact(*it, transaction.createdDirectoryIdentities)) continue;
        const uint32_t removed = DeleteFilePath(*it);
        if (observer_) observer_->RolledBackStep(RollbackStep::FileRemoved, *it, removed == 0);
    }
    transaction.createdFiles.clear();

    // Each replaced file goes back to its own path, over what the run wrote there.
    std::vector<BackedUpFile> notRestored;
    for (auto it = transaction.backedUpFiles.rbegin(); it != transaction.backedUpFiles.rend(); ++it) {
        const bool restored = MovePath(it->backup, it->destination) == 0;
        if (!restored) notRestored.push_back(*it);
        if (observer_) observer_->RolledBackStep(RollbackStep::FileRestored, it->destination, restored);
    }
    transaction.backedUpFiles = notRestored;

    // What someone else put into a directory the run made stays, and so
    // does the directory; so does another directory in its place.
    for (auto it = transaction.createdDirectories.rbegin(); it != transaction.createdDirectories.rend(); ++it) {
        const bool removed =
            CreatedDirectoryIntact(*it, transaction.createdDirectoryIdentities) && RemoveDirectoryIfEmpty(*it);
        if (observer_) observer_->RolledBackStep(RollbackStep::DirectoryRemoved, *it, removed);
    }
    transaction.createdDirectories.clear();
    transaction.createdDirectoryIdentities.clear();

    RestoreDirectoryTimes(transaction);
    transaction.directoryTimes.clear();

    // A file that could not be moved back still lives only in the backup:
    // keeping the backup directory is the only way not to lose it. Its
    // journal stays with it, marked so that a recovery at the next start
    // moves only those files and does not remove anything new at the paths
    // this run added.
    if (notRestored.empty()) {
        RemoveBackupDirectory(transaction);
    } else {
        (void)journal_.RecordRolledBack();
        journal_.End();
        targetLock_.Release();
        if (observer_) observer_->BackupKept(transaction.backupDirectory);
    }
    if (observer_) observer_->RolledBack(code, notRestored.empty());
    return code;
}

uint32_t InstallEngine::BackupExistingFile(const WideString& destination) {
    InstallTransaction& transaction = *transaction_;
    if (transaction.backupDirectory.Empty()) return ERROR_PATH_NOT_FOUND;
    if (!PathStartsWith(destination, transaction.targetDirectory)) return ERROR_INVALID_PARAMETER;

    const WideString relative = destination.Substring(transaction.targetDirectory.Length());
    const WideString backup = transaction.backupDirectory + relative;
    // A file named like the journal at the top of the target would be moved
    // over the journal and the record of the run lost with it.
    if (journal_.IsActive() && PathKey(backup) == PathKey(journal_.JournalPath())) return ERROR_ALREADY_EXISTS;
    const WideString backupParent = ParentDirectory(backup);
    const std::u16string parentKey = PathKey(backupParent);
    if (transaction.backupDirectories.count(parentKey) == 0) {
        const uint32_t code = CreateDirectoryUnrecorded(backupParent);
        if (code != 0) return code;
        transaction.backupDirectories.insert(parentKey);
    }

    const WideString parent = ParentDirectory(destination);
    uint32_t code = RememberDirectoryTime(parent);
    if (code != 0) return code;
    // Across file systems the move is a copy: its start and its end must
    // reach the disk, so that a recovery after a power loss can tell a whole
    // copy from a cut one. A rename on one file system needs neither.
    const bool copied = !OnSameFileSystem(backupParent, parent);
    code = journal_.Record('B', destination, copied);
    if (code != 0) return code;
    code = MovePath(destination, backup);
    // A move that reports failure after the file has left its place still
    // has to be undone by the rollback.
    if (code == 0 || (!PathExists(destination) && PathExists(backup))) {
        transaction.backedUpFiles.push_back(BackedUpFile{destination, backup});
        const uint32_t recorded = journal_.Record('M', destination, copied);
        if (code == 0) code = recorded;
    }
    return code;
}

uint32_t InstallEngine::CreateDirectoryRecorded(const WideString& path) {
    const WideString directory = WithoutFinalSeparator(path);
    if (directory.Empty()) return ERROR_PATH_NOT_FOUND;
    if (directory.Equals(u"/")) return 0;

    InstallTransaction& transaction = *transaction_;
    const std::u16string key = PathKey(directory);
    if (transaction.knownDirectories.count(key) != 0) return 0;
    if (IsExistingDirectory(directory)) {
        transaction.knownDirectories.insert(key);
        return 0;
    }
    // Something that is not a directory stands where one is needed.
    if (PathExists(directory)) {
        SetLastFileErrno(ENOTDIR);
        return ERROR_PATH_NOT_FOUND;
    }
    const WideString parent = ParentOrCurrent(directory);
    if (IsDriveLetter(parent)) return ERROR_PATH_NOT_FOUND;
    uint32_t code = CreateDirectoryRecorded(parent);
    if (code != 0) return code;

    code = RememberDirectoryTime(parent);
    if (code != 0) return code;
    code = journal_.Record('D', directory);
    if (code != 0) return code;
    code = CreateDirectoryPath(directory);
    if (code != 0) return code;
    if (observer_) observer_->DirectoryCreated(directory);
    transaction.createdDirectories.push_back(directory);
    transaction.knownDirectories.insert(key);
    return RecordMadeDirectory(directory);
}

uint32_t InstallEngine::CreateDirectoryUnrecorded(const WideString& path) {
    const WideString directory = WithoutFinalSeparator(path);
    if (directory.Equals(u"/")) return 0;
    if (CreateDirectoryPath(directory) == 0) return 0;
    const WideString parent = ParentOrCurrent(directory);
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

    DirectoryTime remembered{path, PathTimes()};
    if (GetPathTimes(path, &remembered.times) != 0) return 0;
    transaction.directoryTimes.push_back(remembered);
    return journal_.RecordDirectoryTime(path, remembered.times);
}

void InstallEngine::RestoreDirectoryTimes(const InstallTransaction& transaction) {
    for (auto it = transaction.directoryTimes.rbegin(); it != transaction.directoryTimes.rend(); ++it)
        SetPathTimes(it->path, it->times);
}

}  // namespace tpl
