// The lock directory and lock files behind DirectoryLock.
#include "fs/tree_lock_files.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "fs/file_finder.h"
#include "fs/native_path.h"
#include "fs/temp_names.h"
#include "fs/unique_file_handle.h"
#include "text/installer_file_names.h"
#include "text/path_text.h"

using tpl::ParentDirectory;
using tpl::WithoutFinalSeparator;

namespace fs_detail {

namespace {

constexpr const char* kLockFileSuffix = ".lock";
constexpr time_t kFreshSeconds = 24 * 60 * 60;

// The last component of a path without final "/"s.
std::string LastComponent(const std::string& path) {
    const size_t slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

void AppendComponent(std::string* path, const std::string& component) {
    if (component.empty() || component == ".") return;
    if (component == "..") {
        *path = ParentDirectory(*path);
        return;
    }
    if (path->back() != '/') path->push_back('/');
    path->append(component);
}

// One name per path. Two paths that happen to share a name only refuse each
// other more often, never less.
std::string LockFileName(const std::string& canonical) {
    uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (unsigned char byte : canonical) hash = (hash ^ byte) * 1099511628211ULL;
    static const char kDigits[] = "0123456789abcdef";
    std::string name(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) name[static_cast<size_t>(i)] = kDigits[hash & 15];
    return name + kLockFileSuffix;
}

std::string ReadPathFrom(int fd) {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), 0);
    return got > 0 ? std::string(buffer.data(), static_cast<size_t>(got)) : std::string();
}

bool IsBelow(const std::string& path, const std::string& directory) {
    if (directory == "/") return path.size() > 1 && path[0] == '/';
    return path.size() > directory.size() + 1 && path.compare(0, directory.size(), directory) == 0 &&
           path[directory.size()] == '/';
}

}  // namespace

std::string CanonicalDirectoryPath(const std::string& path) {
    std::string existing = WithoutFinalSeparator(path.empty() ? std::string(".") : path);
    std::vector<std::string> missing;
    std::string resolved;
    for (;;) {
        char* real = ::realpath(existing.c_str(), nullptr);
        if (real != nullptr) {
            resolved = real;
            std::free(real);
            break;
        }
        if (existing == "/" || existing == ".") {
            resolved = "/";  // not even the start resolves: taken as written
            break;
        }
        missing.push_back(LastComponent(existing));
        existing = ParentDirectory(existing);
    }
    for (auto component = missing.rbegin(); component != missing.rend(); ++component)
        AppendComponent(&resolved, *component);
    return resolved;
}

namespace {

// The lock directory at path, made private if missing (create): the
// descriptor, or -1 with errno, EACCES when something else than a directory
// of this user's own stands there (a link, a file, another's directory).
int OpenOwnLockDirectory(const std::string& path, bool create) {
    if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return -1;
    UniqueFileHandle directory(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!directory) {
        if (errno == ELOOP || errno == ENOTDIR) errno = EACCES;
        return -1;
    }
    struct stat status;
    if (::fstat(directory.Get(), &status) != 0) return -1;
    // Someone else's directory under this name could let that one take
    // the locks away: it is not used.
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid()) {
        errno = EACCES;
        return -1;
    }
    if ((status.st_mode & 077) != 0 && ::fchmod(directory.Get(), 0700) != 0) return -1;
    return directory.Release();
}

// A directory where nobody but this user can make or replace a name, or empty.
std::string PrivatePlace() {
    for (const char* variable : {"XDG_RUNTIME_DIR", "HOME"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || value[0] != '/') continue;
        struct stat status;
        if (::stat(value, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
            (status.st_mode & (S_IWGRP | S_IWOTH)) == 0)
            return value;
    }
    return std::string();
}

bool SameDirectory(int first, int second) {
    struct stat a, b;
    return ::fstat(first, &a) == 0 && ::fstat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::vector<UniqueFileHandle> OpenUserLockDirectories(bool create, TakenLockDirectory* taken) {
    const std::string name = tpl::kLockDirectoryPrefix + std::to_string(::geteuid());
    tpl::WideString temp;
    GetTempDirectory(&temp);
    std::vector<UniqueFileHandle> directories;
    const std::string usual = NativePath(temp) + name;
    UniqueFileHandle first(OpenOwnLockDirectory(usual, create));
    const int firstError = errno;
    if (first) directories.push_back(std::move(first));
    std::string place = PrivatePlace();
    if (!place.empty()) {
        if (place.back() != '/') place.push_back('/');
        // Made only when needed; once made, every later run locks in it too.
        UniqueFileHandle standIn(OpenOwnLockDirectory(place + name, create && directories.empty()));
        if (standIn && (directories.empty() || !SameDirectory(standIn.Get(), directories.front().Get())))
            directories.push_back(std::move(standIn));
    }
    if (!directories.empty()) return directories;
    errno = firstError;
    if (firstError == EACCES) {
        taken->path = usual;
        struct stat status;
        taken->ownerKnown = ::lstat(usual.c_str(), &status) == 0;
        if (taken->ownerKnown) taken->owner = static_cast<uint32_t>(status.st_uid);
        // Unless create is false and a stand-in could still be made.
        if (!create && !place.empty()) errno = ENOENT;
    }
    return directories;
}

int OpenDirectoryLockFile(int lockDirectory, const std::string& canonical, bool create) {
    UniqueFileHandle file(::openat(lockDirectory, LockFileName(canonical).c_str(),
                                   O_RDWR | (create ? O_CREAT : 0) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (!file) return -1;
    struct stat status;
    if (::fstat(file.Get(), &status) != 0) return -1;
    if (!S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // The path lets a refused run name the directory in its way. Written
    // once by whoever made the file; a later writer writes the same bytes.
    if (status.st_size == 0) (void)!::pwrite(file.Get(), canonical.data(), canonical.size(), 0);
    // Kept fresh, so that a cleaner of old temporary files leaves it alone.
    if (status.st_mtime < ::time(nullptr) - kFreshSeconds) ::futimens(file.Get(), nullptr);
    return file.Release();
}

std::string FindExclusivelyLockedBelow(int lockDirectory, const std::string& canonical) {
    std::vector<std::string> names;
    if (!ReadDirectoryNames(lockDirectory, &names)) return std::string();
    for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        const UniqueFileHandle file(
            ::openat(lockDirectory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (!file) continue;
        const std::string path = ReadPathFrom(file.Get());
        if (!IsBelow(path, canonical)) continue;
        // Only the run into a directory holds its file exclusively; those
        // above it share theirs.
        if (::flock(file.Get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) return path;
    }
    return std::string();
}

}  // namespace fs_detail

namespace fs_detail {

LockOwnerProcess FindLockOwner(int fd, bool wantedExclusive) {
    LockOwnerProcess found;
    struct stat status;
    if (::fstat(fd, &status) != 0) return found;
    FILE* table = std::fopen("/proc/locks", "re");
    if (table == nullptr) return found;
    // "1: FLOCK  ADVISORY  WRITE 4242 08:01:1234 0 EOF"; waiting requests
    // carry "->" and hold nothing. The device is the file system's, which
    // may differ from what stat reports (subvolumes): the inode alone is a
    // second choice.
    char line[256];
    pid_t inodeOnly = 0;
    while (found.pid == 0 && std::fgets(line, sizeof line, table) != nullptr) {
        char kind[16], advisory[16], access[16];
        unsigned long pid = 0, inode = 0;
        unsigned major = 0, minor = 0;
        if (std::strstr(line, "->") != nullptr) continue;
        if (std::sscanf(line, "%*[^:]: %15s %15s %15s %lu %x:%x:%lu", kind, advisory, access, &pid, &major, &minor,
                        &inode) != 7)
            continue;
        // Only flock() locks refuse one another; byte-range locks and leases do not.
        if (std::strcmp(kind, "FLOCK") != 0 || inode != status.st_ino || pid == 0) continue;
        if (!wantedExclusive && std::strcmp(access, "WRITE") != 0) continue;
        if (major == ::major(status.st_dev) && minor == ::minor(status.st_dev))
            found.pid = static_cast<pid_t>(pid);
        else if (inodeOnly == 0)
            inodeOnly = static_cast<pid_t>(pid);
    }
    std::fclose(table);
    if (found.pid == 0) found.pid = inodeOnly;
    struct stat process;
    const std::string entry = "/proc/" + std::to_string(found.pid);
    found.uidKnown = found.pid != 0 && ::stat(entry.c_str(), &process) == 0;
    if (found.uidKnown) found.uid = static_cast<uint32_t>(process.st_uid);
    return found;
}

}  // namespace fs_detail
