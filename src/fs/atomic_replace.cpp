// Replacing a file by writing its new contents beside it and renaming them
// over it, so that a crash leaves either the old file or the new one.
#include "fs/atomic_replace.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "fs/file_io.h"
#include "fs/native_path.h"
#include "fs/unique_file.h"

namespace {

constexpr int kMaxLinkHops = 40;

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Follows a chain of symbolic links to the file they finally name (which
// need not exist). False when the chain does not end.
bool ResolveLinks(std::string* path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status;
        if (::lstat(path->c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return true;
        std::vector<char> target(static_cast<size_t>(status.st_size > 0 ? status.st_size : 255) + 1);
        const ssize_t length = ::readlink(path->c_str(), target.data(), target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size()) return false;
        const std::string next(target.data(), static_cast<size_t>(length));
        *path = next[0] == '/' ? next : DirectoryOf(*path) + next;
    }
    return false;
}

// Removes the temporary file on every way out unless it was renamed into place.
class TemporaryFile {
public:
    TemporaryFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!name_.empty()) ::unlink(name_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int Descriptor() const { return fd_; }
    const std::string& Name() const { return name_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    void Keep() { name_.clear(); }

private:
    int fd_;
    std::string name_;
};

bool WriteAll(int fd, const unsigned char* data, uint64_t size) {
    while (size > 0) {
        const size_t chunk = size > (1u << 30) ? (1u << 30) : static_cast<size_t>(size);
        const ssize_t put = ::write(fd, data, chunk);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += put;
        size -= static_cast<uint64_t>(put);
    }
    return true;
}

// The new file takes the old one's owner (where allowed) and permission bits.
void CopyOwnerAndMode(int fd, const struct stat& old) {
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // not permitted for an ordinary user; the permission bits still follow
        }
    }
    ::fchmod(fd, old.st_mode & 07777);
}

void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

int WriteFileReplacing(const WideString& path, const void* data, uint64_t size) {
    std::string target = fs_detail::NativePath(path);
    if (target.empty() || (data == nullptr && size > 0) || !ResolveLinks(&target)) return 1;
    struct stat old;
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) return 1;

    const std::string directory = DirectoryOf(target);
    const std::string base = target.substr(directory.size());
    std::string name;
    // A new file gets 0666 less the umask from open itself.
    const int fd = fs_detail::CreateUniqueFile(directory + "." + base + ".", replacing ? 0600 : 0666, &name);
    if (fd < 0) return 1;
    TemporaryFile temporary(fd, name);
    if (replacing) CopyOwnerAndMode(fd, old);

    if (!WriteAll(fd, static_cast<const unsigned char*>(data), size) || ::fsync(fd) != 0 || !temporary.Close())
        return 2;
    if (::rename(temporary.Name().c_str(), target.c_str()) != 0) return 2;
    temporary.Keep();
    SyncDirectory(directory);
    return 0;
}
