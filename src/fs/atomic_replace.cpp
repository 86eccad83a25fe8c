// Replacing a file by writing its new contents beside it and renaming them
// over it, so that a crash leaves either the old file or the new one.
#include "fs/atomic_replace.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "fs/directory_sync.h"
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/unique_file.h"
#include "text/path_text.h"

using tpl::ParentDirectory;
using tpl::WideString;

namespace {

constexpr int kMaxLinkHops = 40;

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
        *path = next[0] == '/' ? next : ParentDirectory(*path) + "/" + next;
    }
    return false;
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

// True when the file at target is a regular file holding exactly these bytes.
bool HoldsExactly(const std::string& target, const void* data, uint64_t size) {
    const UniqueFileHandle file(fs_detail::OpenRegularFile(target, O_RDONLY, 0));
    struct stat status;
    if (!file || ::fstat(file.Get(), &status) != 0 || static_cast<uint64_t>(status.st_size) != size) return false;
    const auto* expected = static_cast<const char*>(data);
    char buffer[65536];
    uint64_t compared = 0;
    while (compared < size) {
        const ssize_t got = ::pread(file.Get(), buffer, sizeof buffer, static_cast<off_t>(compared));
        if (got <= 0) return false;
        if (std::memcmp(buffer, expected + compared, static_cast<size_t>(got)) != 0) return false;
        compared += static_cast<uint64_t>(got);
    }
    return true;
}

}  // namespace

uint32_t ReplacingFile::Open(const WideString& path) {
    Discard();
    ClearLastFileError();
    std::string target = fs_detail::NativePath(path);
    if (target.empty()) return fs_detail::StoreErrno(ENOENT);
    if (!ResolveLinks(&target)) return fs_detail::StoreErrno(ELOOP);
    struct stat old;
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) return fs_detail::StoreErrno(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);

    const std::string stem = fs_detail::HiddenSiblingPath(target, ".");
    std::string name;
    // A new file gets 0666 less the umask from open itself.
    const int fd = fs_detail::CreateUniqueFile(stem, replacing ? 0600 : 0666, &name);
    if (fd < 0) return fs_detail::StoreErrno(errno);
    file_ = UniqueFileHandle(fd);
    temporary_ = name;
    target_ = target;
    if (replacing) {
        CopyOwnerAndMode(fd, old);
    } else if (::geteuid() == 0) {
        // A superuser writing a user's file makes it the user's: it takes
        // the owner of the directory it appears in.
        struct stat directory;
        if (::stat(ParentDirectory(target).c_str(), &directory) == 0 && ::fchown(fd, directory.st_uid, directory.st_gid) != 0)
            return fs_detail::StoreErrno(errno);
    }
    return 0;
}

uint32_t ReplacingFile::Commit() {
    if (!file_) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    if (::fsync(file_.Get()) != 0) return fs_detail::StoreErrno(errno);
    fs_detail::NoteDataSynced(file_.Get());
    const uint32_t closed = file_.Reset();
    if (closed != 0) return closed;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) return fs_detail::StoreErrno(errno);
    temporary_.clear();
    fs_detail::SyncDirectory(ParentDirectory(target_));
    return 0;
}

void ReplacingFile::Discard() noexcept {
    file_.Reset();
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

uint32_t WriteFileReplacing(const WideString& path, const void* data, uint64_t size, bool* created) {
    if (created != nullptr) *created = false;
    if (data == nullptr && size > 0) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    // Nothing to change: the file and its times stay as they are, so that
    // whoever watches it sees no change.
    std::string target = fs_detail::NativePath(path);
    if (ResolveLinks(&target) && HoldsExactly(target, data, size)) {
        if (created != nullptr) *created = true;
        return 0;
    }
    ReplacingFile file;
    uint32_t code = file.Open(path);
    if (code != 0) return code;
    if (created != nullptr) *created = true;
    code = fs_detail::WriteAllUncounted(file.Handle(), data, size);
    return code != 0 ? code : file.Commit();
}
