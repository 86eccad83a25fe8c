#include "fs/file_copy.h"

#include <cerrno>
#include <unistd.h>
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/fs_testing.h"

namespace {

// The kernel refuses with these when it cannot copy between the two files
// at all, before anything has been written.
bool Unsupported(int err) {
    return err == ENOSYS || err == EXDEV || err == EOPNOTSUPP || err == EINVAL;
}

}  // namespace

uint32_t FileCopyRange(FileHandle source, uint64_t sourceOffset, FileHandle target, uint32_t count, uint32_t* copied) {
    fs_detail::ClearLastError();
    *copied = 0;
    if (source == INVALID_FILE_HANDLE || target == INVALID_FILE_HANDLE)
        return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    if (fs_detail::InjectedFault()) return GetLastFileError();
    // Tests take the caller's buffered path this way.
    if (fs_detail::FallbacksForced()) return fs_detail::StoreError(ERROR_NOT_SUPPORTED);
    fs_detail::NoteDataWrite(target);
    off_t from = static_cast<off_t>(sourceOffset);
    while (*copied < count) {
        const ssize_t done = ::copy_file_range(source, &from, target, nullptr, count - *copied, 0);
        if (done < 0) {
            if (errno == EINTR) continue;
            if (*copied == 0 && Unsupported(errno)) return fs_detail::StoreError(ERROR_NOT_SUPPORTED);
            return fs_detail::StoreErrno(errno);
        }
        if (done == 0) break;  // the source ends here
        *copied += static_cast<uint32_t>(done);
    }
    return ERROR_SUCCESS;
}
