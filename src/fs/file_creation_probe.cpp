// Probing a directory with a file that never gets a name.
#include "fs/file_creation_probe.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include "fs/fs_testing.h"
#include "fs/last_error.h"
#include "fs/native_path.h"

using tpl::WideString;

uint32_t ProbeFileCreation(const WideString& directory) {
    // Tests take the caller's probe by name this way.
    if (fs_detail::FallbacksForced()) return fs_detail::StoreError(ERROR_NOT_SUPPORTED);
    const int fd = ::open(fs_detail::NativePath(directory).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return ERROR_SUCCESS;
    }
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return fs_detail::StoreError(ERROR_NOT_SUPPORTED);
    return fs_detail::StoreErrno(errno);
}
