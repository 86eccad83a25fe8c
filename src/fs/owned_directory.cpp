// Private directories held by descriptor from their making to their removal.
#include "fs/owned_directory.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/fault_injection.h"
#include "fs/file_finder.h"
#include "fs/held_directory.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "text/path_bytes.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

using tpl::WideString;

namespace {

// Readable, so that it can be listed and synced; never through a link.
constexpr int kOwnFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A single component: no "/", not empty, not "." or "..".
std::string PlainName(const WideString& name) {
    const std::string native = fs_detail::NativePath(name);
    const bool plain = !native.empty() && native != "." && native != ".." && native.find('/') == std::string::npos;
    return plain ? native : std::string();
}

// Only this user may change what is inside: another's directory, or one
// that others may write, could hold anything.
bool IsPrivateOfEffectiveUser(const struct stat& status) {
    return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

uint32_t Hold(FileHandle parent, const std::string& name, UniqueFileHandle* dirOut, PathIdentity* identity) {
    UniqueFileHandle dir(::openat(parent, name.c_str(), kOwnFlags));
    if (!dir) {
        const int err = errno;
        return err == ELOOP || err == ENOTDIR ? fs_detail::StoreErrorWithErrno(ERROR_ACCESS_DENIED, err)
                                              : fs_detail::StoreErrno(err);
    }
    struct stat status;
    if (::fstat(dir.Get(), &status) != 0) return fs_detail::StoreErrno(errno);
    if (!IsPrivateOfEffectiveUser(status)) return fs_detail::StoreErrorWithErrno(ERROR_ACCESS_DENIED, EPERM);
    *identity = PathIdentity{static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino), true};
    *dirOut = std::move(dir);
    return ERROR_SUCCESS;
}

}  // namespace

uint32_t OwnedDirectory::Make(const WideString& parentPath, const WideString& name, OwnedDirectory* out) {
    fs_detail::ClearLastError();
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const std::string native = PlainName(name);
    if (native.empty()) return fs_detail::StoreErrorWithErrno(ERROR_INVALID_PARAMETER, EINVAL);
    UniqueFileHandle parent(::open(fs_detail::NativePath(parentPath).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent) return fs_detail::StoreErrno(errno);
    if (::mkdirat(parent.Get(), native.c_str(), 0700) != 0)
        return errno == EEXIST ? fs_detail::StoreErrorWithErrno(ERROR_ALREADY_EXISTS, EEXIST)
                               : fs_detail::StoreErrno(errno);
    OwnedDirectory made;
    const uint32_t code = Hold(parent.Get(), native, &made.dir_, &made.identity_);
    if (code != ERROR_SUCCESS) return code;
    // The umask may have taken the owner's own rights.
    if (::fchmod(made.dir_.Get(), 0700) != 0) return fs_detail::StoreErrno(errno);
    made.parent_ = std::move(parent);
    made.name_ = name;
    made.path_ = tpl::WithSeparator(parentPath) + name + u"/";
    *out = std::move(made);
    return ERROR_SUCCESS;
}

uint32_t OwnedDirectory::Open(FileHandle parent, const WideString& parentPath, const WideString& name,
                              OwnedDirectory* out) {
    fs_detail::ClearLastError();
    const std::string native = PlainName(name);
    if (native.empty()) return fs_detail::StoreErrorWithErrno(ERROR_INVALID_PARAMETER, EINVAL);
    UniqueFileHandle held(::fcntl(parent, F_DUPFD_CLOEXEC, 0));
    if (!held) return fs_detail::StoreErrno(errno);
    OwnedDirectory found;
    const uint32_t code = Hold(parent, native, &found.dir_, &found.identity_);
    if (code != ERROR_SUCCESS) return code;
    found.parent_ = std::move(held);
    found.name_ = name;
    found.path_ = tpl::WithSeparator(parentPath) + name + u"/";
    *out = std::move(found);
    return ERROR_SUCCESS;
}

uint32_t OwnedDirectory::OpenPath(const WideString& path, OwnedDirectory* out) {
    const WideString itself = tpl::WithoutFinalSeparator(path);
    const uint32_t slash = itself.FindLast(u'/');
    const WideString parentPath = slash == WideString::npos ? WideString(u".")
                                  : slash == 0               ? WideString(u"/")
                                                             : itself.Substring(0, slash);
    const WideString name = slash == WideString::npos ? itself : itself.Substring(slash + 1);
    const UniqueFileHandle parent(::open(fs_detail::NativePath(parentPath).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent) return fs_detail::StoreErrno(errno);
    return Open(parent.Get(), parentPath, name, out);
}

uint32_t OwnedDirectory::HoldBelow(const WideString& relative, bool create, UniqueFileHandle* out) const {
    fs_detail::ClearLastError();
    if (!dir_) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    UniqueFileHandle current(::fcntl(dir_.Get(), F_DUPFD_CLOEXEC, 0));
    if (!current) return fs_detail::StoreErrno(errno);
    std::vector<WideString> components;
    if (!SplitRelativePath(relative, &components)) return GetLastFileError();
    for (const WideString& component : components) {
        const std::string name = PlainName(component);
        UniqueFileHandle next(::openat(current.Get(), name.c_str(), kOwnFlags));
        if (!next && errno == ENOENT && create) {
            if (fs_detail::InjectedFault()) return GetLastFileError();
            if (::mkdirat(current.Get(), name.c_str(), 0700) != 0 && errno != EEXIST) return fs_detail::StoreErrno(errno);
            next = UniqueFileHandle(::openat(current.Get(), name.c_str(), kOwnFlags));
        }
        if (!next) {
            const int err = errno;
            return err == ELOOP || err == ENOTDIR ? fs_detail::StoreErrorWithErrno(ERROR_PATH_NOT_FOUND, err)
                                                  : fs_detail::StoreErrno(err);
        }
        current = std::move(next);
    }
    *out = std::move(current);
    return ERROR_SUCCESS;
}

void OwnedDirectory::Empty(const WideString& keep) const {
    if (dir_) (void)EmptyHeldDirectory(dir_.Get(), keep);
}

bool OwnedDirectory::Remove() {
    if (!dir_) return true;
    const std::string name = PlainName(name_);
    struct stat status;
    // The name may have been given to something else meanwhile: only the
    // directory held goes, and only when it is empty.
    const bool same = ::fstatat(parent_.Get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISDIR(status.st_mode) && static_cast<uint64_t>(status.st_dev) == identity_.device &&
                      static_cast<uint64_t>(status.st_ino) == identity_.inode;
    const bool removed = same && ::unlinkat(parent_.Get(), name.c_str(), AT_REMOVEDIR) == 0;
    Release();
    return removed;
}

void OwnedDirectory::Release() noexcept {
    dir_.Reset();
    parent_.Reset();
}

uint32_t RemoveTreeAt(FileHandle dir, const WideString& name) {
    const std::string native = PlainName(name);
    if (native.empty()) return fs_detail::StoreErrorWithErrno(ERROR_INVALID_PARAMETER, EINVAL);
    if (::unlinkat(dir, native.c_str(), 0) == 0 || errno == ENOENT) return ERROR_SUCCESS;
    if (errno != EISDIR) return fs_detail::StoreErrno(errno);
    const UniqueFileHandle inside(::openat(dir, native.c_str(), kOwnFlags));
    if (!inside) {
        // Swapped for a link or a file since the unlink: that goes as it is.
        if (errno != ELOOP && errno != ENOTDIR) return fs_detail::StoreErrno(errno);
        return ::unlinkat(dir, native.c_str(), 0) == 0 ? ERROR_SUCCESS : fs_detail::StoreErrno(errno);
    }
    uint32_t code = EmptyHeldDirectory(inside.Get(), WideString());
    if (::unlinkat(dir, native.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT && code == ERROR_SUCCESS)
        code = fs_detail::StoreErrno(errno);
    return code;
}

uint32_t EmptyHeldDirectory(FileHandle dir, const WideString& keep) {
    std::vector<std::string> names;
    if (!fs_detail::ReadDirectoryNames(dir, &names)) return fs_detail::StoreErrno(errno);
    uint32_t first = ERROR_SUCCESS;
    for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        const WideString wide = tpl::PathFromBytes(name.c_str());
        if (!keep.Empty() && wide.Equals(keep)) continue;
        const uint32_t code = RemoveTreeAt(dir, wide);
        if (first == ERROR_SUCCESS) first = code;
    }
    return first;
}

void SyncHeldDirectory(FileHandle dir) {
    const UniqueFileHandle readable(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (readable) ::fsync(readable.Get());
}
