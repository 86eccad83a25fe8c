// Advisory locks on directories.
#include "fs/directory_lock.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/tree_lock_files.h"
#include "fs/unique_file_handle.h"
#include "fs/user_names.h"
#include "text/path_bytes.h"
#include "text/path_text.h"

using tpl::ParentDirectory;
using tpl::PathFromBytes;
using tpl::WideString;
using tpl::WithoutFinalSeparator;

namespace {

// The directories above a canonical path, the root first.
std::vector<std::string> DirectoriesAbove(const std::string& canonical) {
    std::vector<std::string> above;
    if (canonical == "/") return above;
    above.push_back("/");
    for (size_t slash = canonical.find('/', 1); slash != std::string::npos; slash = canonical.find('/', slash + 1))
        above.push_back(canonical.substr(0, slash));
    return above;
}

// Who holds the directory's own lock file: a run into the directory itself
// (named as the caller gave it) or runs below it, one of which is named.
WideString BusyAtOrBelow(int lockDirectory, const std::string& canonical, const WideString& asGiven) {
    const UniqueFileHandle own(fs_detail::OpenDirectoryLockFile(lockDirectory, canonical));
    if (!own || ::flock(own.Get(), LOCK_SH | LOCK_NB) != 0) return asGiven;
    const std::string below = fs_detail::FindExclusivelyLockedBelow(lockDirectory, canonical);
    return below.empty() ? asGiven : PathFromBytes(below.c_str());
}

}  // namespace

uint32_t DirectoryLock::Lock(const WideString& directory) {
    Release();
    busy_ = WideString();
    holder_ = LockHolder();
    taken_ = false;
    std::string native = fs_detail::NativePath(directory);
    if (!fs_detail::IsNativeDirectory(native.empty() ? "." : native))
        return fs_detail::StoreError(ERROR_PATH_NOT_FOUND);
    return LockTree(directory);
}

namespace {
// The directory itself or, when it does not exist, its nearest existing parent.
uint32_t NearestExisting(const WideString& directory, WideString* nearest) {
    std::string native = WithoutFinalSeparator(fs_detail::NativePath(directory));
    if (native.empty()) native = ".";
    while (!fs_detail::IsNativeDirectory(native)) {
        const std::string parent = ParentDirectory(native);
        if (parent == native) return fs_detail::StoreError(ERROR_PATH_NOT_FOUND);
        native = parent;
    }
    *nearest = PathFromBytes(native.c_str());
    return ERROR_SUCCESS;
}
}  // namespace

uint32_t DirectoryLock::ProbeNearest(const WideString& directory, WideString* locked) {
    Release();
    busy_ = WideString();
    holder_ = LockHolder();
    taken_ = false;
    uint32_t code = NearestExisting(directory, locked);
    if (code == ERROR_SUCCESS) code = LockTree(directory, false);
    Release();
    return code;
}

uint32_t DirectoryLock::LockNearest(const WideString& directory, WideString* locked) {
    Release();
    busy_ = WideString();
    holder_ = LockHolder();
    taken_ = false;
    const uint32_t code = NearestExisting(directory, locked);
    return code == ERROR_SUCCESS ? LockTree(directory) : code;
}

uint32_t DirectoryLock::LockTree(const WideString& directory, bool create) {
    const std::string canonical = fs_detail::CanonicalDirectoryPath(fs_detail::NativePath(directory));
    fs_detail::TakenLockDirectory taken;
    std::vector<UniqueFileHandle> lockDirectories = fs_detail::OpenUserLockDirectories(create, &taken);
    if (lockDirectories.empty() && !create && errno == ENOENT) {
        // No run of this user holds anything; those of others still may.
        const uint32_t code = LockDirectories(canonical, directory);
        Release();
        return code;
    }
    if (lockDirectories.empty() && errno == EACCES && !taken.path.empty()) {
        const int err = errno;
        taken_ = true;
        busy_ = PathFromBytes(taken.path.c_str());
        holder_.userKnown = taken.ownerKnown;
        holder_.uid = taken.owner;
        if (taken.ownerKnown) holder_.userName = PathFromBytes(UserName(taken.owner).c_str());
        return fs_detail::StoreErrorWithErrno(ERROR_ACCESS_DENIED, err);
    }
    if (lockDirectories.empty()) return fs_detail::StoreErrno(errno);
    for (const UniqueFileHandle& lockDirectory : lockDirectories) {
        bool unlockable = false;
        const uint32_t code = LockFiles(lockDirectory.Get(), canonical, directory, create, &unlockable);
        // A file system without locks cannot be protected this way, and
        // refusing every installation there would help nobody.
        if (code != 0 || unlockable) return code;
    }
    return LockDirectories(canonical, directory);
}

uint32_t DirectoryLock::LockFiles(int lockDirectory, const std::string& canonical, const WideString& directory,
                                  bool create, bool* unlockable) {
    // Shared above, exclusive at the directory itself: of two runs whose
    // directories nest, one wants exclusively what the other holds.
    std::vector<std::string> paths = DirectoriesAbove(canonical);
    paths.push_back(canonical);
    descriptors_.reserve(descriptors_.size() + paths.size() * 2 + 1);  // no descriptor is lost to a failed allocation
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool own = i + 1 == paths.size();
        const int fd = fs_detail::OpenDirectoryLockFile(lockDirectory, paths[i], create);
        if (fd < 0 && !create && errno == ENOENT) continue;  // held by no one
        if (fd < 0) {
            const int err = errno;
            Release();
            return fs_detail::StoreErrno(err);
        }
        descriptors_.emplace_back(fd);
        if (::flock(fd, (own ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) continue;
        if (errno != EWOULDBLOCK) {
            Release();
            *unlockable = true;
            return ERROR_SUCCESS;
        }
        const WideString busy =
            own ? BusyAtOrBelow(lockDirectory, canonical, directory) : PathFromBytes(paths[i].c_str());
        const uint32_t code = Refuse(ERROR_LOCK_VIOLATION, busy, fd, own);
        Release();
        return code;
    }
    return ERROR_SUCCESS;
}

uint32_t DirectoryLock::LockDirectories(const std::string& canonical, const WideString& directory) {
    std::vector<std::string> paths = DirectoriesAbove(canonical);
    paths.push_back(canonical);
    std::vector<WideString> names;
    for (const std::string& path : paths) names.push_back(PathFromBytes(path.c_str()));
    names.back() = directory;
    const uint32_t code = HoldDirectories(paths, names);
    if (code != 0) Release();
    return code;
}

uint32_t DirectoryLock::HoldMade(const std::vector<WideString>& made) {
    std::vector<std::string> paths;
    for (const WideString& path : made) paths.push_back(fs_detail::NativePath(path));
    // Kept on a refusal: the run that made them still has to take them away.
    return HoldDirectories(paths, made);
}

uint32_t DirectoryLock::HoldDirectories(const std::vector<std::string>& paths, const std::vector<WideString>& names) {
    descriptors_.reserve(descriptors_.size() + paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool own = i + 1 == paths.size();
        // Missing (yet), or not to be read by this user: another's run
        // there is met on the lock files, or not at all.
        const int fd = ::open(paths[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        descriptors_.emplace_back(fd);
        if (::flock(fd, (own ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0 || errno != EWOULDBLOCK) continue;
        return Refuse(ERROR_LOCK_VIOLATION, names[i], fd, own);
    }
    return ERROR_SUCCESS;
}

uint32_t DirectoryLock::Refuse(uint32_t code, const WideString& busy, int lockedFile, bool wantedExclusive) {
    const fs_detail::LockOwnerProcess owner = fs_detail::FindLockOwner(lockedFile, wantedExclusive);
    busy_ = busy;
    holder_.pid = static_cast<int32_t>(owner.pid);
    holder_.userKnown = owner.uidKnown;
    holder_.uid = owner.uid;
    if (owner.uidKnown) holder_.userName = PathFromBytes(UserName(owner.uid).c_str());
    return fs_detail::StoreError(code);
}

void DirectoryLock::Release() noexcept {
    descriptors_.clear();
}

uint32_t RenameDirectoryNoReplace(const WideString& from, const WideString& to) {
    if (fs_detail::InjectedFault()) return ERROR_INVALID_PARAMETER;
    const std::string source = fs_detail::NativePath(from);
    const std::string target = fs_detail::NativePath(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return ERROR_SUCCESS;
    if (errno == EEXIST) return fs_detail::StoreError(ERROR_ALREADY_EXISTS);
    if (errno != EINVAL && errno != ENOSYS) return fs_detail::StoreErrno(errno);
    // A file system without the flag: the check and the rename are two
    // steps, which only an empty directory made in between could slip through.
    struct stat status;
    if (::lstat(target.c_str(), &status) == 0) return fs_detail::StoreError(ERROR_ALREADY_EXISTS);
    if (::rename(source.c_str(), target.c_str()) != 0) return fs_detail::StoreErrno(errno);
    return ERROR_SUCCESS;
}
