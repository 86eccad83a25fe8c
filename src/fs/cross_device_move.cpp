// Moving one entry to another file system inside this process. A child
// program doing the move could outlive a killed installer and remove the
// original after a recovery had already given up the half-made copy; here
// the copy is made under a temporary name beside the destination, takes the
// destination's name by a rename once it is complete and on the disk, and
// only then does the original go. At every instant either the original is
// in place or a whole copy is under the final name; a kill can leave both
// (then they are equal) and a temporary name, never a partial file under a
// real one.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>
#include "fs/cross_device_move.h"
#include "fs/directory_sync.h"
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/fs_testing.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/owned_directory.h"
#include "fs/unique_file.h"
#include "fs/unique_file_handle.h"
#include "text/installer_file_names.h"
#include "text/path_bytes.h"
#include "text/path_text.h"

using tpl::kInterruptedCopyPrefix;
using tpl::ParentDirectory;
using tpl::WideString;

namespace {

constexpr size_t kCopyBufferSize = 1 << 20;
// Temporary names a copy tries before it gives up.
constexpr int kNameAttempts = 100;

std::atomic<fs_testing::CopyHook> copyHook{nullptr};

bool CopyBytes(int from, int to) {
    std::vector<char> buffer(kCopyBufferSize);
    uint64_t copied = 0;
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (fs_detail::WriteAllUncounted(to, buffer.data(), static_cast<uint64_t>(got)) != 0) return false;
        copied += static_cast<uint64_t>(got);
        const fs_testing::CopyHook hook = copyHook.load();
        if (hook != nullptr && !hook(copied)) {
            errno = EIO;
            return false;
        }
    }
}

// Extended attributes, and with them POSIX ACLs (system.posix_acl_access),
// as far as the destination takes them: a file system without them, or an
// attribute that only the super-user may set, does not stop the move.
template <typename List, typename Get, typename Set>
void CopyExtendedAttributes(List list, Get get, Set set) {
    const ssize_t size = list(nullptr, 0);
    if (size <= 0) return;
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t listed = list(names.data(), names.size());
    for (ssize_t at = 0; at < listed; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
        const char* name = names.data() + at;
        const ssize_t length = get(name, nullptr, 0);
        if (length < 0) continue;
        std::vector<char> value(static_cast<size_t>(length));
        const ssize_t got = get(name, value.data(), value.size());
        if (got >= 0) set(name, value.data(), static_cast<size_t>(got));
    }
}

void CopyDescriptorAttributes(int from, int to) {
    CopyExtendedAttributes(
        [from](char* names, size_t size) { return ::flistxattr(from, names, size); },
        [from](const char* name, void* value, size_t size) { return ::fgetxattr(from, name, value, size); },
        [to](const char* name, const void* value, size_t size) { return ::fsetxattr(to, name, value, size, 0); });
}

// The owner where permitted (an ordinary user keeps their own), then the
// permission bits: fchmod after fchown, which may clear set-id bits.
void CopyOwnerAndMode(int fd, const struct stat& source) {
    if (::fchown(fd, source.st_uid, source.st_gid) != 0) {
        // not permitted: the copy stays the mover's
    }
    ::fchmod(fd, source.st_mode & 07777);
}

// Extended attributes of an entry that cannot be opened (a link, a FIFO, a
// device), reached through the held directory's own descriptor, so that
// no link on the way is followed.
std::string EntryThroughDirectory(int dir, const std::string& name) {
    return "/proc/self/fd/" + std::to_string(dir) + "/" + name;
}

// A name in the destination's directory that the copy owns until it is
// renamed; removed on every other way out.
struct TemporaryName {
    int dir = -1;
    std::string name;
    ~TemporaryName() {
        if (!name.empty()) ::unlinkat(dir, name.c_str(), 0);
    }
};

// The attempt-th temporary name of a copy of source: the prefix and six
// letters or digits drawn from the source's identity. A recovery, which
// still finds the source whenever a copy was cut short (the original goes
// only after the rename), can so name exactly what its copies may have
// left, and never takes a user's file of the same form for one of them.
std::string CopyName(const struct stat& source, int attempt) {
    uint64_t x = static_cast<uint64_t>(source.st_dev) * 0x9E3779B97F4A7C15ull;
    x ^= static_cast<uint64_t>(source.st_ino) + static_cast<uint64_t>(attempt) * 0xD1B54A32D192ED03ull;
    // splitmix64's finaliser, so that neighbouring inodes give unrelated names
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return kInterruptedCopyPrefix + fs_detail::NameLetters(x);
}

// Runs make(name) on the copy names of source in turn until one is free;
// make returns -1 with errno EEXIST for a name that is taken.
template <typename Make>
int MakeUnderCopyName(int toDir, const struct stat& source, TemporaryName* copy, Make make) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = CopyName(source, attempt);
        int made;
        do {
            made = make(name);
        } while (made < 0 && errno == EINTR);
        if (made >= 0) {
            copy->dir = toDir;
            copy->name = name;
            return made;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

// The whole file with its metadata under a temporary name, synced.
bool CopyRegularFile(int fromDir, const std::string& from, const struct stat& source, int toDir,
                     TemporaryName* copy) {
    const UniqueFileHandle in(::openat(fromDir, from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat opened;
    if (!in || ::fstat(in.Get(), &opened) != 0 || opened.st_ino != source.st_ino || !S_ISREG(opened.st_mode))
        return false;
    UniqueFileHandle out(MakeUnderCopyName(toDir, source, copy, [toDir](const std::string& name) {
        return ::openat(toDir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    }));
    if (!out) return false;
    if (!CopyBytes(in.Get(), out.Get())) return false;
    CopyOwnerAndMode(out.Get(), opened);
    CopyDescriptorAttributes(in.Get(), out.Get());
    const struct timespec times[2] = {opened.st_atim, opened.st_mtim};
    if (::futimens(out.Get(), times) != 0 || ::fsync(out.Get()) != 0) return false;
    fs_detail::NoteDataSynced(out.Get());
    return out.Reset() == 0;
}

// Makes the link, FIFO, socket or device anew (never opened) under a free
// temporary name.
bool MakeSpecialEntry(int fromDir, const std::string& from, const struct stat& source, int toDir,
                      TemporaryName* copy) {
    std::string target;
    if (S_ISLNK(source.st_mode)) {
        std::vector<char> buffer(static_cast<size_t>(source.st_size > 0 ? source.st_size : 255) + 1);
        const ssize_t length = ::readlinkat(fromDir, from.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<size_t>(length) >= buffer.size()) return false;
        target.assign(buffer.data(), static_cast<size_t>(length));
    }
    return MakeUnderCopyName(toDir, source, copy, [&source, &target, toDir](const std::string& name) {
               if (S_ISLNK(source.st_mode)) return ::symlinkat(target.c_str(), toDir, name.c_str());
               if (S_ISFIFO(source.st_mode)) return ::mkfifoat(toDir, name.c_str(), 0600);
               return ::mknodat(toDir, name.c_str(), (source.st_mode & S_IFMT) | 0600, source.st_rdev);
           }) == 0;
}

bool CopySpecialEntry(int fromDir, const std::string& from, const struct stat& source, int toDir,
                      TemporaryName* copy) {
    if (!MakeSpecialEntry(fromDir, from, source, toDir, copy)) return false;
    const char* made = copy->name.c_str();
    if (::fchownat(toDir, made, source.st_uid, source.st_gid, AT_SYMLINK_NOFOLLOW) != 0) {
        // not permitted: the copy stays the mover's
    }
    if (!S_ISLNK(source.st_mode) && ::fchmodat(toDir, made, source.st_mode & 07777, 0) != 0) return false;
    const std::string in = EntryThroughDirectory(fromDir, from), out = EntryThroughDirectory(toDir, copy->name);
    CopyExtendedAttributes(
        [&in](char* names, size_t size) { return ::llistxattr(in.c_str(), names, size); },
        [&in](const char* name, void* value, size_t size) { return ::lgetxattr(in.c_str(), name, value, size); },
        [&out](const char* name, const void* value, size_t size) {
            return ::lsetxattr(out.c_str(), name, value, size, 0);
        });
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return ::utimensat(toDir, made, times, AT_SYMLINK_NOFOLLOW) == 0;
}

// The temporary name followed by exactly six letters or digits.
bool IsCopyName(const std::string& name) {
    const size_t prefix = std::strlen(kInterruptedCopyPrefix);
    return name.size() == prefix + 6 && name.compare(0, prefix, kInterruptedCopyPrefix) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

bool IsInterruptedCopyName(const WideString& name) {
    std::string ascii;
    for (uint32_t i = 0; i < name.Length(); ++i) {
        if (name[i] > 0x7f) return false;
        ascii += static_cast<char>(name[i]);
    }
    return IsCopyName(ascii);
}

uint32_t RemoveInterruptedCopiesAt(FileHandle sourceDir, const WideString& source, FileHandle destinationDir) {
    const std::string from = fs_detail::NativePath(source);
    struct stat original;
    if (::fstatat(sourceDir, from.c_str(), &original, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    uint32_t removed = 0;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = CopyName(original, attempt);
        struct stat status;
        if (::fstatat(destinationDir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            // Names are tried in order and a copy takes the first free one:
            // past the first free name no copy of this source can lie.
            if (errno == ENOENT) break;
            continue;
        }
        if (!S_ISDIR(status.st_mode) && ::unlinkat(destinationDir, name.c_str(), 0) == 0) ++removed;
    }
    return removed;
}

uint32_t MoveAcrossFileSystemsAt(FileHandle fromDir, const WideString& from, FileHandle toDir,
                                 const WideString& to) {
    const std::string fromName = fs_detail::NativePath(from), toName = fs_detail::NativePath(to);
    if (fromName.empty() || toName.empty() || fromName.find('/') != std::string::npos ||
        toName.find('/') != std::string::npos)
        return fs_detail::StoreErrorWithErrno(ERROR_INVALID_PARAMETER, EINVAL);
    struct stat source;
    if (::fstatat(fromDir, fromName.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0) return fs_detail::StoreErrno(errno);
    if (S_ISDIR(source.st_mode)) return fs_detail::StoreErrorWithErrno(ERROR_INVALID_PARAMETER, EISDIR);
    // Until the rename the destination keeps whatever stood there, and a
    // kill leaves only a temporary name that a recovery knows to remove.
    TemporaryName copy;
    const bool copied = S_ISREG(source.st_mode) ? CopyRegularFile(fromDir, fromName, source, toDir, &copy)
                                                : CopySpecialEntry(fromDir, fromName, source, toDir, &copy);
    if (!copied || ::renameat(toDir, copy.name.c_str(), toDir, toName.c_str()) != 0)
        return fs_detail::StoreErrno(errno);
    copy.name.clear();
    // The whole copy is under its name before the original goes.
    SyncHeldDirectory(toDir);
    // Only the entry that was copied goes: one put in its place meanwhile
    // stays where it is.
    struct stat still;
    if (::fstatat(fromDir, fromName.c_str(), &still, AT_SYMLINK_NOFOLLOW) != 0) return fs_detail::StoreErrno(errno);
    if (still.st_dev != source.st_dev || still.st_ino != source.st_ino)
        return fs_detail::StoreErrorWithErrno(ERROR_ACCESS_DENIED, ESTALE);
    if (::unlinkat(fromDir, fromName.c_str(), 0) != 0) return fs_detail::StoreErrno(errno);
    SyncHeldDirectory(fromDir);
    return ERROR_SUCCESS;
}

namespace fs_detail {

uint32_t MoveAcrossFileSystems(const std::string& from, const std::string& to) {
    std::string fromName, toName;
    const UniqueFileHandle fromDir = OpenParentOf(from, &fromName), toDir = OpenParentOf(to, &toName);
    if (!fromDir || !toDir) return StoreErrno(errno);
    return MoveAcrossFileSystemsAt(fromDir.Get(), tpl::PathFromBytes(fromName.c_str()), toDir.Get(),
                                   tpl::PathFromBytes(toName.c_str()));
}

}  // namespace fs_detail

namespace fs_testing {

void SetCopyHook(CopyHook hook) {
    copyHook.store(hook);
}

}  // namespace fs_testing
