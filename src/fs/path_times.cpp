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

uint32_t GetPathTimes(const WideString& path, PathTimes* out) {
    struct stat status;
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    if (::stat(fs_detail::NativePath(path).c_str(), &status) != 0) return fs_detail::StoreErrno(errno);
    out->accessSeconds = status.st_atim.tv_sec;
    out->accessNanoseconds = status.st_atim.tv_nsec;
    out->writeSeconds = status.st_mtim.tv_sec;
    out->writeNanoseconds = status.st_mtim.tv_nsec;
    return ERROR_SUCCESS;
}

uint32_t SetPathTimes(const WideString& path, const PathTimes& times) {
    struct timespec values[2];
    values[0].tv_sec = static_cast<time_t>(times.accessSeconds);
    values[0].tv_nsec = static_cast<long>(times.accessNanoseconds);
    values[1].tv_sec = static_cast<time_t>(times.writeSeconds);
    values[1].tv_nsec = static_cast<long>(times.writeNanoseconds);
    if (::utimensat(AT_FDCWD, fs_detail::NativePath(path).c_str(), values, 0) != 0) return fs_detail::StoreErrno(errno);
    return ERROR_SUCCESS;
}
