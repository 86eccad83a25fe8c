// The lock file beside a file that several processes update.
#include "fs/file_update_lock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/sleep.h"
#include "text/path_text.h"

using tpl::WideString;
using tpl::WithoutFinalSeparator;

namespace {

constexpr int32_t kRetryMilliseconds = 5;

// True when name still names the file open at fd: a holder removes the lock
// file before it lets go, so a lock won on a removed file protects nothing.
bool StillNamed(int fd, const std::string& name) {
    struct stat held, named;
    return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

}  // namespace

uint32_t FileUpdateLock::Acquire(const WideString& file, uint32_t waitMilliseconds) {
    Release();
    const std::string path = WithoutFinalSeparator(fs_detail::NativePath(file));
    const std::string name = fs_detail::HiddenSiblingPath(path, ".lock");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        UniqueFileHandle file(::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
        if (!file) return fs_detail::StoreErrno(errno);
        struct stat status;
        if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return fs_detail::StoreErrno(EINVAL);
        if (::flock(file.Get(), LOCK_EX | LOCK_NB) == 0) {
            if (StillNamed(file.Get(), name)) {
                file_ = std::move(file);
                name_ = name;
                return ERROR_SUCCESS;
            }
            // Its holder finished with it: the next file is the one.
            if (std::chrono::steady_clock::now() >= deadline) return fs_detail::StoreError(ERROR_LOCK_VIOLATION);
            continue;
        }
        const int err = errno;
        file.Reset();
        // Without locks on this file system the update goes unguarded, as
        // everywhere before.
        if (err != EWOULDBLOCK) return ERROR_SUCCESS;
        if (std::chrono::steady_clock::now() >= deadline) return fs_detail::StoreError(ERROR_LOCK_VIOLATION);
        SleepMilliseconds(kRetryMilliseconds);
    }
}

void FileUpdateLock::Release() noexcept {
    if (!file_) return;
    // Removed while still held, so that no one else holds it by then.
    if (StillNamed(file_.Get(), name_)) ::unlink(name_.c_str());
    file_.Reset();
    name_.clear();
}
