// Examining a path without opening it.
#include "fs/path_mode.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "text/path_text.h"

using tpl::WideString;

bool PathEntryExists(const WideString& path) {
    struct stat status;
    return ::lstat(fs_detail::NativePath(path).c_str(), &status) == 0;
}

namespace fs_detail {
uint32_t ReadEntryKind(int dir, const char* native, PathEntryKind* kind, FILETIME* writeTime, struct stat* own) {
    *kind = PathEntryKind::Missing;
    *writeTime = 0;
    if (::fstatat(dir, native, own, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return ERROR_SUCCESS;
        const int err = errno;
        return err == ENOTDIR ? StoreErrorWithErrno(ERROR_PATH_NOT_FOUND, err) : StoreErrno(err);
    }
    struct stat status = *own;
    if (S_ISLNK(status.st_mode) && ::fstatat(dir, native, &status, 0) != 0) {
        *kind = PathEntryKind::Dangling;
        return ERROR_SUCCESS;
    }
    if (S_ISREG(status.st_mode))
        *kind = PathEntryKind::File;
    else if (S_ISDIR(status.st_mode))
        *kind = PathEntryKind::Directory;
    else
        *kind = PathEntryKind::Special;
    *writeTime = FileTimeFromUnixSeconds(status.st_mtime);
    return ERROR_SUCCESS;
}
}  // namespace fs_detail

uint32_t GetPathEntry(const WideString& path, PathEntryKind* kind, FILETIME* writeTime) {
    if (kind == nullptr || writeTime == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    struct stat own;
    return fs_detail::ReadEntryKind(AT_FDCWD, fs_detail::NativePath(path).c_str(), kind, writeTime, &own);
}

bool IsRealDirectory(const WideString& path) {
    struct stat status;
    return ::lstat(fs_detail::NativePath(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsExistingDirectory(const WideString& path) {
    // "name/." resolves only when name is a directory that can be searched.
    WideString probe = WithoutFinalSeparator(path);
    if (!probe.EndsWith(u'/')) probe.Append(u'/');
    probe.Append(u'.');
    struct stat status;
    return ::stat(fs_detail::NativePath(probe).c_str(), &status) == 0;
}
