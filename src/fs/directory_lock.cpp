// Advisory locks on directories.
#include "fs/directory_lock.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "text/path_bytes.h"
#include "text/path_text.h"

using tpl::DirectoryHolding;
using tpl::PathFromBytes;
using tpl::WideString;

namespace {}  // namespace

uint32_t DirectoryLock::Lock(const WideString& directory) {
    Release();
    const std::string native = fs_detail::NativePath(directory);
    const int fd = ::open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES) return ERROR_SUCCESS;
        return fs_detail::StoreError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                                         : ErrorFromErrno(errno));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        // A file system without locks cannot be protected this way, and
        // refusing every installation there would help nobody.
        if (err != EWOULDBLOCK) return ERROR_SUCCESS;
        return fs_detail::StoreError(ERROR_LOCK_VIOLATION);
    }
    fd_ = fd;
    return ERROR_SUCCESS;
}

uint32_t DirectoryLock::LockNearest(const WideString& directory, WideString* locked) {
    std::string native = fs_detail::WithoutTrailingSlashes(fs_detail::NativePath(directory));
    if (native.empty()) native = ".";
    while (!fs_detail::IsNativeDirectory(native)) {
        const std::string parent = DirectoryHolding(native);
        if (parent == native) return fs_detail::StoreError(ERROR_PATH_NOT_FOUND);
        native = parent;
    }
    *locked = PathFromBytes(native.c_str());
    return Lock(*locked);
}

void DirectoryLock::MoveTo(DirectoryLock* other) noexcept {
    if (other == this) return;
    other->Release();
    other->fd_ = fd_;
    fd_ = -1;
}

void DirectoryLock::Release() noexcept {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
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
