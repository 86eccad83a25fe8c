// Reading and setting permission bits.
#include "fs/path_mode.h"

#include <cerrno>
#include <sys/stat.h>
#include "fs/file_io.h"
#include "fs/fs_internal.h"

namespace {
constexpr uint32_t kPermissionBits = 0777;
}  // namespace

uint32_t GetPathMode(const WideString& path, uint32_t* mode)
{
    if (mode == nullptr)
        return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    struct stat status;
    if (::stat(fs_detail::NativePath(path).c_str(), &status) != 0)
        return fs_detail::StoreErrno(errno);
    *mode = static_cast<uint32_t>(status.st_mode) & kPermissionBits;
    return ERROR_SUCCESS;
}

uint32_t SetPathMode(const WideString& path, uint32_t mode)
{
    if (fs_detail::InjectedFault())
        return GetLastFileError();
    if (::chmod(fs_detail::NativePath(path).c_str(), static_cast<mode_t>(mode & kPermissionBits)) != 0)
        return fs_detail::StoreErrno(errno);
    return ERROR_SUCCESS;
}

bool PathEntryExists(const WideString& path)
{
    struct stat status;
    return ::lstat(fs_detail::NativePath(path).c_str(), &status) == 0;
}
