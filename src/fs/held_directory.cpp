// Walking and changing directories through descriptors.
#include "fs/held_directory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/fault_injection.h"
#include "fs/file_finder.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "text/path_bytes.h"

using tpl::WideString;

namespace {

// Held only to reach names from: no read access is needed, so a directory
// its owner made write-only (0300) is held all the same.
constexpr int kDirectoryFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

bool IdentityOf(int fd, PathIdentity* out) {
    struct stat status;
    if (fstat(fd, &status) != 0) return false;
    *out = PathIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino), true};
    return true;
}

// A single component: no "/", not empty, not "." or "..".
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

uint32_t Refuse(uint32_t code, int err) {
    return fs_detail::StoreErrorWithErrno(code, err);
}

// The name in the locale's encoding, or empty when it is not a plain name.
std::string NameOf(const WideString& name) {
    const std::string native = fs_detail::NativePath(name);
    return IsPlainName(native) ? native : std::string();
}

}  // namespace

uint32_t OpenDirectoryBeneath(const WideString& root, const WideString& relative, UniqueFileHandle* out,
                              const DirectoryCheck& check) {
    fs_detail::ClearLastError();
    const UniqueFileHandle held(::open(fs_detail::NativePath(root).c_str(), kDirectoryFlags));
    if (!held) return fs_detail::StoreErrno(errno);
    return OpenDirectoryBelowHeld(held.Get(), root, relative, out, check);
}

uint32_t OpenDirectoryBelowHeld(FileHandle root, const WideString& rootPath, const WideString& relative,
                                UniqueFileHandle* out, const DirectoryCheck& check) {
    fs_detail::ClearLastError();
    UniqueFileHandle current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    if (!current) return fs_detail::StoreErrno(errno);
    WideString path = rootPath;
    while (path.Length() > 1 && path[path.Length() - 1] == u'/') path = path.Substring(0, path.Length() - 1);
    PathIdentity identity;
    if (check && (!IdentityOf(current.Get(), &identity) || !check(path, identity)))
        return Refuse(ERROR_PATH_NOT_FOUND, ESTALE);
    std::vector<WideString> components;
    if (!SplitRelativePath(relative, &components)) return GetLastFileError();
    for (const WideString& component : components) {
        const std::string name = NameOf(component);
        UniqueFileHandle next(::openat(current.Get(), name.c_str(), kDirectoryFlags | O_NOFOLLOW));
        if (!next) {
            const int err = errno;
            return err == ELOOP || err == ENOTDIR ? Refuse(ERROR_PATH_NOT_FOUND, err) : fs_detail::StoreErrno(err);
        }
        path += u"/";
        path += component;
        if (check && (!IdentityOf(next.Get(), &identity) || !check(path, identity)))
            return Refuse(ERROR_PATH_NOT_FOUND, ESTALE);
        current = std::move(next);
    }
    *out = std::move(current);
    return ERROR_SUCCESS;
}

bool SplitRelativePath(const WideString& relative, std::vector<WideString>* components) {
    components->clear();
    uint32_t begin = 0;
    while (begin < relative.Length()) {
        uint32_t end = begin;
        while (end < relative.Length() && relative[end] != u'/') ++end;
        const WideString component = relative.Substring(begin, end - begin);
        begin = end + 1;
        if (component.Empty() && begin >= relative.Length()) break;  // a final "/"
        if (NameOf(component).empty()) {
            Refuse(ERROR_INVALID_PARAMETER, EINVAL);
            return false;
        }
        components->push_back(component);
    }
    return true;
}

uint32_t GetIdentityAt(FileHandle dir, const WideString& name, PathIdentity* out) {
    const std::string native = NameOf(name);
    if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
    struct stat status;
    if (::fstatat(dir, native.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) return fs_detail::StoreErrno(errno);
    *out = PathIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino), true};
    return ERROR_SUCCESS;
}

uint32_t GetHeldIdentity(FileHandle dir, PathIdentity* out) {
    return IdentityOf(dir, out) ? ERROR_SUCCESS : fs_detail::StoreErrno(errno);
}

uint32_t CreateFileAt(FileHandle dir, const WideString& name, uint32_t mode, FileHandle* out) {
    fs_detail::ClearLastError();
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const std::string native = NameOf(name);
    if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
    const int fd = ::openat(dir, native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            static_cast<mode_t>(mode & 0777));
    if (fd < 0) return errno == EEXIST ? Refuse(ERROR_ALREADY_EXISTS, EEXIST) : fs_detail::StoreErrno(errno);
    *out = fd;
    return ERROR_SUCCESS;
}

uint32_t CreateDirectoryAt(FileHandle dir, const WideString& name, uint32_t mode) {
    fs_detail::ClearLastError();
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const std::string native = NameOf(name);
    if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
    if (::mkdirat(dir, native.c_str(), static_cast<mode_t>(mode & 07777)) == 0) return ERROR_SUCCESS;
    return errno == EEXIST ? Refuse(ERROR_ALREADY_EXISTS, EEXIST) : fs_detail::StoreErrno(errno);
}

uint32_t RenameAt(FileHandle from, const WideString& name, FileHandle to, const WideString& toName) {
    fs_detail::ClearLastError();
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const std::string source = NameOf(name), destination = NameOf(toName);
    if (source.empty() || destination.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
    if (::renameat(from, source.c_str(), to, destination.c_str()) == 0) return ERROR_SUCCESS;
    return fs_detail::StoreErrno(errno);
}

uint32_t RemoveFileAt(FileHandle dir, const WideString& name) {
    const std::string native = NameOf(name);
    if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
    if (::unlinkat(dir, native.c_str(), 0) == 0 || errno == ENOENT) return ERROR_SUCCESS;
    return fs_detail::StoreErrno(errno);
}

bool RemoveEmptyDirectoryAt(FileHandle dir, const WideString& name) {
    const std::string native = NameOf(name);
    if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL) == ERROR_SUCCESS;
    if (::unlinkat(dir, native.c_str(), AT_REMOVEDIR) == 0) return true;
    fs_detail::StoreErrno(errno);
    return false;
}

bool ReadNamesAt(FileHandle dir, std::vector<WideString>* names) {
    std::vector<std::string> native;
    if (!fs_detail::ReadDirectoryNames(dir, &native)) return false;
    names->clear();
    names->reserve(native.size());
    for (const std::string& name : native)
        if (name != "." && name != "..") names->push_back(tpl::PathFromBytes(name.c_str()));
    return true;
}

bool EntryExistsAt(FileHandle dir, const WideString& name) {
    const std::string native = NameOf(name);
    struct stat status;
    return !native.empty() && ::fstatat(dir, native.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

uint32_t SetHandleMode(FileHandle fd, uint32_t mode) {
    fs_detail::ClearLastError();
    if (fs_detail::InjectedFault()) return GetLastFileError();
    return ::fchmod(fd, static_cast<mode_t>(mode & 0777)) == 0 ? ERROR_SUCCESS : fs_detail::StoreErrno(errno);
}

namespace {
PathOwner OwnerOf(const struct stat& status) {
    return PathOwner{static_cast<uint32_t>(status.st_uid), static_cast<uint32_t>(status.st_gid),
                     static_cast<uint32_t>(status.st_mode & 0777), S_ISREG(status.st_mode), true};
}
}  // namespace

uint32_t GetOwnerAt(FileHandle dir, const WideString& name, PathOwner* out) {
    struct stat status;
    int result = 0;
    if (name.Empty()) {
        result = ::fstat(dir, &status);
    } else {
        const std::string native = NameOf(name);
        if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
        result = ::fstatat(dir, native.c_str(), &status, AT_SYMLINK_NOFOLLOW);
    }
    if (result != 0) return fs_detail::StoreErrno(errno);
    *out = OwnerOf(status);
    return ERROR_SUCCESS;
}

uint32_t GetEntryAt(FileHandle dir, const WideString& name, PathEntryKind* kind, FILETIME* writeTime,
                    PathOwner* owner) {
    *owner = PathOwner();
    const std::string native = NameOf(name);
    if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
    struct stat own;
    const uint32_t code = fs_detail::ReadEntryKind(dir, native.c_str(), kind, writeTime, &own);
    if (code == ERROR_SUCCESS && *kind != PathEntryKind::Missing) *owner = OwnerOf(own);
    return code;
}

uint32_t GiveEntryTo(FileHandle dir, const WideString& name, const PathOwner& owner) {
    if (!owner.known || ::geteuid() != 0) return ERROR_SUCCESS;
    const std::string native = NameOf(name);
    if (native.empty()) return Refuse(ERROR_INVALID_PARAMETER, EINVAL);
    return ::fchownat(dir, native.c_str(), owner.user, owner.group, AT_SYMLINK_NOFOLLOW) == 0
               ? ERROR_SUCCESS
               : fs_detail::StoreErrno(errno);
}

uint32_t GiveHandleTo(FileHandle fd, const PathOwner& owner) {
    if (!owner.known || ::geteuid() != 0) return ERROR_SUCCESS;
    struct stat status;
    if (::fstat(fd, &status) == 0 && status.st_uid == owner.user && status.st_gid == owner.group)
        return ERROR_SUCCESS;
    return ::fchown(fd, owner.user, owner.group) == 0 ? ERROR_SUCCESS : fs_detail::StoreErrno(errno);
}

namespace {
// A regular file opened for reading, never through a link.
UniqueFileHandle OpenRegularAt(FileHandle dir, const WideString& name, struct stat* status) {
    const std::string native = NameOf(name);
    if (native.empty()) return UniqueFileHandle();
    UniqueFileHandle file(::openat(dir, native.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file || ::fstat(file.Get(), status) != 0 || !S_ISREG(status->st_mode)) return UniqueFileHandle();
    return file;
}

// Reads up to size bytes; fewer only at the end of the file.
ssize_t ReadFully(int fd, char* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}
}  // namespace

bool SameFileContentsAt(FileHandle first, const WideString& firstName, FileHandle second, const WideString& secondName) {
    struct stat a, b;
    const UniqueFileHandle one = OpenRegularAt(first, firstName, &a), other = OpenRegularAt(second, secondName, &b);
    if (!one || !other || a.st_size != b.st_size) return false;
    std::vector<char> x(1 << 16), y(1 << 16);
    for (;;) {
        const ssize_t n = ReadFully(one.Get(), x.data(), x.size()), m = ReadFully(other.Get(), y.data(), y.size());
        if (n < 0 || n != m) return false;
        if (n == 0) return true;
        if (std::memcmp(x.data(), y.data(), static_cast<size_t>(n)) != 0) return false;
    }
}

uint64_t DeviceOfHeld(FileHandle dir) {
    struct stat status;
    return ::fstat(dir, &status) == 0 ? static_cast<uint64_t>(status.st_dev) : 0;
}
