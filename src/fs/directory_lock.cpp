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
    uint32_t code = NearestExisting(directory, locked);
    if (code == ERROR_SUCCESS) code = LockTree(directory, false);
    Release();
    return code;
}

uint32_t DirectoryLock::LockNearest(const WideString& directory, WideString* locked) {
    Release();
    busy_ = WideString();
    const uint32_t code = NearestExisting(directory, locked);
    return code == ERROR_SUCCESS ? LockTree(directory) : code;
}

uint32_t DirectoryLock::LockTree(const WideString& directory, bool create) {
    const std::string canonical = fs_detail::CanonicalDirectoryPath(fs_detail::NativePath(directory));
    const UniqueFileHandle lockDirectory(fs_detail::OpenUserLockDirectory(create));
    if (!lockDirectory && !create && errno == ENOENT) return ERROR_SUCCESS;  // no run of this user holds anything
    if (!lockDirectory) return fs_detail::StoreErrno(errno);
    // Shared above, exclusive at the directory itself: of two runs whose
    // directories nest, one wants exclusively what the other holds.
    std::vector<std::string> paths = DirectoriesAbove(canonical);
    paths.push_back(canonical);
    descriptors_.reserve(paths.size() + 1);  // no descriptor is lost to a failed allocation
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool own = i + 1 == paths.size();
        const int fd = fs_detail::OpenDirectoryLockFile(lockDirectory.Get(), paths[i], create);
        if (fd < 0 && !create && errno == ENOENT) continue;  // held by no one
        if (fd < 0) {
            const int err = errno;
            Release();
            return fs_detail::StoreErrno(err);
        }
        descriptors_.emplace_back(fd);
        if (::flock(fd, (own ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) continue;
        const int err = errno;
        Release();
        // A file system without locks cannot be protected this way, and
        // refusing every installation there would help nobody.
        if (err != EWOULDBLOCK) return ERROR_SUCCESS;
        busy_ = own ? BusyAtOrBelow(lockDirectory.Get(), canonical, directory) : PathFromBytes(paths[i].c_str());
        return fs_detail::StoreError(ERROR_LOCK_VIOLATION);
    }
    // Runs of other users have lock directories of their own; they still
    // meet on the directory itself where it exists and can be read.
    const int itself = ::open(canonical.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (itself < 0) return ERROR_SUCCESS;
    descriptors_.emplace_back(itself);
    if (::flock(itself, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        Release();
        busy_ = directory;
        return fs_detail::StoreError(ERROR_LOCK_VIOLATION);
    }
    return ERROR_SUCCESS;
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
