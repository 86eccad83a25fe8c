// Device and inode of a path.
#include "fs/path_identity.h"

#include <cerrno>
#include <sys/stat.h>
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "text/path_text.h"
#include <unistd.h>

using tpl::WideString;

uint32_t GetPathIdentity(const WideString& path, PathIdentity* out) {
    struct stat status;
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    if (::lstat(fs_detail::NativePath(path).c_str(), &status) != 0) return fs_detail::StoreErrno(errno);
    out->device = static_cast<uint64_t>(status.st_dev);
    out->inode = static_cast<uint64_t>(status.st_ino);
    out->known = true;
    return ERROR_SUCCESS;
}

uint32_t GetFileVersion(FileHandle handle, FileVersion* out) {
    struct stat status;
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    if (::fstat(handle, &status) != 0) return fs_detail::StoreErrno(errno);
    out->device = static_cast<uint64_t>(status.st_dev);
    out->inode = static_cast<uint64_t>(status.st_ino);
    out->size = static_cast<uint64_t>(status.st_size);
    out->changeSeconds = static_cast<int64_t>(status.st_ctim.tv_sec);
    out->changeNanoseconds = static_cast<int64_t>(status.st_ctim.tv_nsec);
    return ERROR_SUCCESS;
}

bool IsSameObject(const WideString& path, const PathIdentity& identity) {
    if (!identity.known) return true;
    PathIdentity now;
    return GetPathIdentity(path, &now) == ERROR_SUCCESS && now.device == identity.device && now.inode == identity.inode;
}

uint32_t RefuseLinkOfAnotherUser(const WideString& path) {
    if (::geteuid() != 0) return ERROR_SUCCESS;
    struct stat status;
    const std::string native = tpl::WithoutFinalSeparator(fs_detail::NativePath(path));
    if (native.empty() || ::lstat(native.c_str(), &status) != 0 || !S_ISLNK(status.st_mode) ||
        status.st_uid == ::geteuid())
        return ERROR_SUCCESS;
    return fs_detail::StoreErrorWithErrno(ERROR_ACCESS_DENIED, EACCES);
}
