// Append-only journal files with an advisory lock.
#include "fs/journal_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/file_io.h"
#include "fs/fs_internal.h"

uint32_t JournalFile::Create(const WideString& path)
{
    Close();
    const std::string native = fs_detail::NativePath(path);
    const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fs_detail::StoreError(ErrorFromErrno(errno));
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        close(fd);
        unlink(native.c_str());
        return fs_detail::StoreError(ErrorFromErrno(err));
    }
    fd_ = fd;
    return ERROR_SUCCESS;
}

uint32_t JournalFile::Append(const std::string& bytes, bool syncToDisk)
{
    if (fd_ < 0)
        return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fs_detail::StoreError(ErrorFromErrno(errno));
        }
        done += static_cast<size_t>(n);
    }
    if (syncToDisk && fdatasync(fd_) != 0)
        return fs_detail::StoreError(ErrorFromErrno(errno));
    return ERROR_SUCCESS;
}

void JournalFile::Close() noexcept
{
    if (fd_ >= 0) {
        close(fd_);  // also releases the lock
        fd_ = -1;
    }
}

void JournalLock::Release() noexcept
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

uint32_t ReadUnlockedJournal(const WideString& path, std::string* contents, JournalLock* lock)
{
    lock->Release();
    const std::string native = fs_detail::NativePath(path);
    const int fd = open(native.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return ErrorFromErrno(errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        close(fd);
        return err == EWOULDBLOCK ? ERROR_ALREADY_EXISTS : ErrorFromErrno(err);
    }
    contents->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            close(fd);
            return ErrorFromErrno(err);
        }
        if (n == 0)
            break;
        contents->append(buffer, static_cast<size_t>(n));
    }
    lock->fd_ = fd;
    return ERROR_SUCCESS;
}

bool IsDirectoryOfCurrentUser(const WideString& path)
{
    struct stat st;
    const std::string native = fs_detail::NativePath(path);
    if (lstat(native.c_str(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}
