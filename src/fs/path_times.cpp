// Reading and setting times by path.
#include "fs/path_times.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"

using tpl::WideString;

namespace {
PathTimes TimesOf(const struct stat& status) {
    PathTimes times;
    times.accessSeconds = status.st_atim.tv_sec;
    times.accessNanoseconds = status.st_atim.tv_nsec;
    times.writeSeconds = status.st_mtim.tv_sec;
    times.writeNanoseconds = status.st_mtim.tv_nsec;
    return times;
}
}  // namespace

uint32_t GetPathTimes(const WideString& path, PathTimes* out) {
    struct stat status;
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    if (::stat(fs_detail::NativePath(path).c_str(), &status) != 0) return fs_detail::StoreErrno(errno);
    *out = TimesOf(status);
    return ERROR_SUCCESS;
}

uint32_t GetHandleTimes(FileHandle fd, PathTimes* out) {
    struct stat status;
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    if (::fstat(fd, &status) != 0) return fs_detail::StoreErrno(errno);
    *out = TimesOf(status);
    return ERROR_SUCCESS;
}

uint32_t SetPathTimes(const WideString& path, const PathTimes& times) {
    return SetPathTimesAt(AT_FDCWD, path, times);
}

uint32_t SetPathTimesAt(FileHandle dir, const WideString& name, const PathTimes& times) {
    struct timespec values[2];
    values[0].tv_sec = static_cast<time_t>(times.accessSeconds);
    values[0].tv_nsec = static_cast<long>(times.accessNanoseconds);
    values[1].tv_sec = static_cast<time_t>(times.writeSeconds);
    values[1].tv_nsec = static_cast<long>(times.writeNanoseconds);
    // By name in a held directory a link is never followed; a path is the
    // caller's and is followed as given.
    const int flags = dir == AT_FDCWD ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::utimensat(dir, fs_detail::NativePath(name).c_str(), values, flags) != 0) return fs_detail::StoreErrno(errno);
    return ERROR_SUCCESS;
}
