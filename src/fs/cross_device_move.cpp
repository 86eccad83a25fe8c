// Moving one entry to another file system inside this process. A child
// program doing the move could outlive a killed installer and remove the
// original after a recovery had already given up the half-made copy; here
// the original goes only once its copy is complete and on the disk, so at
// every instant one whole version exists where the journal says.
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "fs/file_io.h"
#include "fs/fs_internal.h"
#include "fs/fs_testing.h"

namespace {

constexpr size_t kCopyBufferSize = 1 << 20;

std::atomic<fs_testing::CopyHook> copyHook{nullptr};

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool SyncDirectoryOf(const std::string& path)
{
    const int fd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems refuse fsync on a directory; the name is still there.
    ::fsync(fd);
    ::close(fd);
    return true;
}

// Closes a descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool CopyBytes(int from, int to)
{
    std::vector<char> buffer(kCopyBufferSize);
    uint64_t copied = 0;
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += put;
        }
        copied += static_cast<uint64_t>(got);
        const fs_testing::CopyHook hook = copyHook.load();
        if (hook != nullptr && !hook(copied)) {
            errno = EIO;
            return false;
        }
    }
}

// The owner where permitted (an ordinary user keeps their own), then the
// permission bits: fchmod after fchown, which may clear set-id bits.
void CopyOwnerAndMode(int fd, const struct stat& source)
{
    if (::fchown(fd, source.st_uid, source.st_gid) != 0) {
        // not permitted: the copy stays the mover's
    }
    ::fchmod(fd, source.st_mode & 07777);
}

bool CopyRegularFile(const std::string& from, const struct stat& source, const std::string& to)
{
    Descriptor in{::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
    struct stat opened;
    if (in.fd < 0 || ::fstat(in.fd, &opened) != 0 || opened.st_ino != source.st_ino || !S_ISREG(opened.st_mode))
        return false;
    Descriptor out{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
    if (out.fd < 0)
        return false;
    if (!CopyBytes(in.fd, out.fd))
        return false;
    CopyOwnerAndMode(out.fd, opened);
    const struct timespec times[2] = {opened.st_atim, opened.st_mtim};
    if (::futimens(out.fd, times) != 0 || ::fsync(out.fd) != 0)
        return false;
    const int fd = out.fd;
    out.fd = -1;
    return ::close(fd) == 0;
}

// Links, FIFOs, sockets and devices are made anew, never opened.
bool CopySpecialEntry(const std::string& from, const struct stat& source, const std::string& to)
{
    bool made;
    if (S_ISLNK(source.st_mode)) {
        std::vector<char> target(static_cast<size_t>(source.st_size > 0 ? source.st_size : 255) + 1);
        const ssize_t length = ::readlink(from.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size())
            return false;
        made = ::symlink(std::string(target.data(), static_cast<size_t>(length)).c_str(), to.c_str()) == 0;
    } else if (S_ISFIFO(source.st_mode)) {
        made = ::mkfifo(to.c_str(), 0600) == 0;
    } else {
        made = ::mknod(to.c_str(), (source.st_mode & S_IFMT) | 0600, source.st_rdev) == 0;
    }
    if (!made)
        return false;
    if (::lchown(to.c_str(), source.st_uid, source.st_gid) != 0) {
        // not permitted: the copy stays the mover's
    }
    if (!S_ISLNK(source.st_mode) && ::chmod(to.c_str(), source.st_mode & 07777) != 0)
        return false;
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return ::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

namespace fs_detail {

uint32_t MoveAcrossFileSystems(const std::string& from, const struct stat& source, const std::string& to)
{
    if (S_ISDIR(source.st_mode))
        return StoreError(ERROR_INVALID_PARAMETER);
    // Whatever stands at the destination is replaced, as rename would.
    if (::unlink(to.c_str()) != 0 && errno != ENOENT)
        return StoreErrno(errno);
    const bool copied = S_ISREG(source.st_mode) ? CopyRegularFile(from, source, to) : CopySpecialEntry(from, source, to);
    if (!copied || !SyncDirectoryOf(to)) {
        const int err = errno;
        ::unlink(to.c_str());
        return StoreErrno(err);
    }
    if (::unlink(from.c_str()) != 0)
        return StoreErrno(errno);
    SyncDirectoryOf(from);
    return ERROR_SUCCESS;
}

}  // namespace fs_detail

namespace fs_testing {

void SetCopyHook(CopyHook hook)
{
    copyHook.store(hook);
}

}  // namespace fs_testing
