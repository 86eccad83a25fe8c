// The transaction of a run: the backup directory, recorded creations, commit
// and the rollback that puts the template directory back as it was.
#include "engine/install_engine.h"

#include <cerrno>

#include "engine/engine_paths.h"
#include "engine/install_observer.h"
#include "journal/journal_recovery.h"
#include "fs/dir_ops.h"
#include "fs/file_io.h"
#include "fs/journal_file.h"
#include "text/text_helpers.h"

namespace {
// Numbers tried for the backup directory before giving up.
constexpr int32_t kMaxBackupNumber = 100000;

// A parent of the form "C:" would be a drive, which this file system has not.
bool IsDriveLetter(const WideString& path) {
    return path.Length() == 2 && path[1] == u':';
}
// A relative name without "/" lies in the current directory, which exists.
WideString ParentOrCurrent(const WideString& directory) {
    const WideString parent = ParentDirectory(directory);
    return parent.Empty() ? WideString(u".") : parent;
}
}  // namespace

uint32_t InstallEngine::BeginTransaction(const WideString& targetDirectory) {
    InstallTransaction& transaction = transaction_.emplace();
    transaction.targetDirectory = targetDirectory;
    // Without a target there is nothing to protect and every entry would land
    // relative to the current directory: refuse instead.
    if (targetDirectory.Empty()) return ERROR_PATH_NOT_FOUND;

    WideString temp;
    uint32_t code = GetTempDirectory(&temp);
    if (code != 0) return code;
    // Made if missing, but never recorded: the rollback must not remove it.
    if (!PathExists(temp)) {
        code = CreateDirectoryUnrecorded(temp);
        if (code != 0) return code;
    }
    WideString base = temp;
    if (!base.EndsWith(u'/')) base.Append(u'/');

    for (int32_t n = 0; n < kMaxBackupNumber; ++n) {
        const WideString candidate = base + u"wz4sx" + FromInteger(n, 10);
        if (PathExists(candidate)) continue;
        // Created exclusively and private: a name taken since the probe, or
        // prepared by someone else, is never used.
        code = CreateDirectoryExclusive(candidate, 0700);
        if (code == ERROR_ALREADY_EXISTS) continue;
        if (code != 0) return code;
        transaction.backupDirectory = candidate + u"/";
        transaction.backupDirectories.insert(PathKey(candidate));
        // Before the first step: from here on a kill can be recovered.
        return journal_.Begin(transaction.backupDirectory, targetDirectory);
    }
    return ERROR_ALREADY_EXISTS;
}

uint32_t InstallEngine::CommitTransaction() {
    if (!transaction_) return 0;
    InstallTransaction& transaction = *transaction_;
    const uint32_t code = journal_.RecordCommit();
    if (code != 0) return code;
    transaction.backedUpFiles.clear();
    RemoveBackupDirectory(transaction);
    return 0;
}

void InstallEngine::RemoveBackupDirectory(const InstallTransaction& transaction) {
    if (transaction.backupDirectory.Empty()) return;
    RemoveBackupContents(transaction.backupDirectory);
    journal_.Remove();
    RemoveTree(transaction.backupDirectory);
}

uint32_t InstallEngine::RollbackTransaction(uint32_t code) {
    if (!transaction_) return code;
    InstallTransaction& transaction = *transaction_;

    // Files the run added where nothing stood (a partly written one included).
    for (auto it = transaction.createdFiles.rbegin(); it != transaction.createdFiles.rend(); ++it) {
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

    for (auto it = transaction.createdDirectories.rbegin(); it != transaction.createdDirectories.rend(); ++it) {
        const uint32_t removed = RemoveTree(*it);
        if (observer_) observer_->RolledBackStep(RollbackStep::DirectoryRemoved, *it, removed == 0);
    }
    transaction.createdDirectories.clear();
    transaction.createdDirectorySet.clear();

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
    transaction.createdDirectorySet.insert(key);
    transaction.knownDirectories.insert(key);
    return 0;
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
    if (transaction.createdDirectorySet.count(key) != 0) return 0;
    if (!transaction.timedDirectories.insert(key).second) return 0;

    UniqueFileHandle handle;
    if (FileOpen(path, GENERIC_READ, 0, OPEN_EXISTING, handle.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0) return 0;
    FILETIME writeTime = 0;
    if (FileGetTimes(handle.Get(), nullptr, nullptr, &writeTime) != 0) return 0;
    transaction.directoryTimes.push_back(DirectoryTime{path, writeTime});
    return journal_.RecordDirectoryTime(path, writeTime);
}

void InstallEngine::RestoreDirectoryTimes(const InstallTransaction& transaction) {
    for (auto it = transaction.directoryTimes.rbegin(); it != transaction.directoryTimes.rend(); ++it) {
        UniqueFileHandle handle;
        if (FileOpen(it->path, GENERIC_READ, 0, OPEN_EXISTING, handle.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0)
            continue;
        FileSetWriteTime(handle.Get(), nullptr, nullptr, &it->writeTime);
    }
}
