// The index of a user's backup directories, in the user's lock directory.
#include "fs/backup_index.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/tree_lock_files.h"
#include "fs/unique_file_handle.h"
#include "text/path_bytes.h"

using tpl::WideString;

namespace {

constexpr char kEntryPrefix[] = "backup-";
// Two paths of at most PATH_MAX bytes, a 0 between them.
constexpr size_t kMaxEntryBytes = 2 * 4096 + 1;

std::string EntryName(const PathIdentity& identity) {
    return kEntryPrefix + std::to_string(identity.device) + "-" + std::to_string(identity.inode);
}

bool ParseEntryName(const std::string& name, PathIdentity* identity) {
    if (name.compare(0, sizeof kEntryPrefix - 1, kEntryPrefix) != 0) return false;
    const size_t dash = name.find('-', sizeof kEntryPrefix - 1);
    if (dash == std::string::npos) return false;
    try {
        size_t used = 0;
        const std::string device = name.substr(sizeof kEntryPrefix - 1, dash - (sizeof kEntryPrefix - 1));
        const std::string inode = name.substr(dash + 1);
        identity->device = std::stoull(device, &used);
        if (used != device.size()) return false;
        identity->inode = std::stoull(inode, &used);
        if (used != inode.size()) return false;
    } catch (const std::exception&) {
        return false;
    }
    identity->known = true;
    return true;
}

}  // namespace

uint32_t AddToBackupIndex(const OwnedDirectory& backup, const WideString& targetDirectory) {
    fs_detail::TakenLockDirectory taken;
    std::vector<UniqueFileHandle> directories = fs_detail::OpenUserLockDirectories(true, &taken);
    if (directories.empty()) return fs_detail::StoreErrno(errno);
    const UniqueFileHandle& index = directories.front();
    const std::string name = EntryName(backup.Identity());
    const tpl::NarrowString path = tpl::PathToBytes(backup.Path()), target = tpl::PathToBytes(targetDirectory);
    std::string bytes(path.Data(), path.Length());
    bytes += '\0';
    bytes.append(target.Data(), target.Length());
    // An entry left by a run whose backup had this identity before is stale.
    ::unlinkat(index.Get(), name.c_str(), 0);
    UniqueFileHandle file(
        ::openat(index.Get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file) return fs_detail::StoreErrno(errno);
    uint32_t code = fs_detail::WriteAllUncounted(file.Get(), bytes.data(), bytes.size());
    if (code == ERROR_SUCCESS && ::fdatasync(file.Get()) != 0) code = fs_detail::StoreErrno(errno);
    if (code != ERROR_SUCCESS) {
        ::unlinkat(index.Get(), name.c_str(), 0);
        return code;
    }
    SyncHeldDirectory(index.Get());
    return ERROR_SUCCESS;
}

void RemoveFromBackupIndex(const PathIdentity& identity) {
    if (!identity.known) return;
    fs_detail::TakenLockDirectory taken;
    for (const UniqueFileHandle& index : fs_detail::OpenUserLockDirectories(false, &taken))
        ::unlinkat(index.Get(), EntryName(identity).c_str(), 0);
}

namespace {
void ReadBackupIndexIn(const UniqueFileHandle& index, std::vector<BackupIndexEntry>* entries) {
    std::vector<std::string> names;
    if (!fs_detail::ReadDirectoryNames(index.Get(), &names)) return;
    for (const std::string& name : names) {
        BackupIndexEntry entry;
        if (!ParseEntryName(name, &entry.identity)) continue;
        const UniqueFileHandle file(::openat(index.Get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!file) continue;
        std::string bytes(kMaxEntryBytes, '\0');
        const ssize_t got = ::pread(file.Get(), bytes.data(), bytes.size(), 0);
        if (got <= 0) continue;
        bytes.resize(static_cast<size_t>(got));
        const size_t zero = bytes.find('\0');
        if (zero == std::string::npos) continue;
        entry.backupDirectory = tpl::PathFromBytes(bytes.substr(0, zero).c_str());
        entry.targetDirectory = tpl::PathFromBytes(bytes.substr(zero + 1).c_str());
        if (entry.backupDirectory.Empty() || entry.targetDirectory.Empty()) continue;
        entries->push_back(entry);
    }
}
}  // namespace

std::vector<BackupIndexEntry> ReadBackupIndex() {
    // Where the lock directory in the temporary directory was taken for a
    // while, some entries lie in the one that stood in.
    std::vector<BackupIndexEntry> entries;
    fs_detail::TakenLockDirectory taken;
    for (const UniqueFileHandle& index : fs_detail::OpenUserLockDirectories(false, &taken))
        ReadBackupIndexIn(index, &entries);
    return entries;
}
