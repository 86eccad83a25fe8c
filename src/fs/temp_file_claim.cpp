// Claims on temporary files and the removal of abandoned ones.
#include "fs/temp_file_claim.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "text/text_helpers.h"

using tpl::WideString;

namespace {

// True when the file is an old regular file of ours that nobody claims.
// The claim is tested on a descriptor of the very file that was checked.
bool IsAbandoned(const std::string& path, int64_t minAgeSeconds) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool abandoned = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
                     static_cast<int64_t>(time(nullptr)) - static_cast<int64_t>(st.st_mtime) >= minAgeSeconds &&
                     flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return abandoned;
}

}  // namespace

uint32_t ClaimOpenFile(FileHandle handle) {
    if (handle == INVALID_FILE_HANDLE) return ERROR_INVALID_HANDLE;
    if (flock(handle, LOCK_EX | LOCK_NB) == 0) return ERROR_SUCCESS;
    return errno == EWOULDBLOCK ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno);
}

uint32_t DeleteAbandonedTempFiles(const WideString& directory, const WideString& prefix, int64_t minAgeSeconds) {
    const WideString base = WithSeparator(directory);
    uint32_t deleted = 0;
    for (const DirectoryEntry& entry : ListDirectory(base, (prefix + u"*").Data())) {
        if (entry.isSymbolicLink || entry.isDirectory) continue;
        const std::string path = fs_detail::NativePath(base + entry.name);
        if (!path.empty() && IsAbandoned(path, minAgeSeconds) && unlink(path.c_str()) == 0) ++deleted;
    }
    return deleted;
}
