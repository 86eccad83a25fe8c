#include "fs/inherited_owner.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "text/path_text.h"

using tpl::WideString;

namespace {

// The nearest existing directory at or above native, with its status;
// false when not even "/" can be looked at.
bool NearestDirectory(std::string native, std::string* found, struct stat* status) {
    for (;;) {
        if (::stat(native.c_str(), status) == 0 && S_ISDIR(status->st_mode)) {
            *found = native;
            return true;
        }
        const size_t slash = native.find_last_of('/');
        if (slash == std::string::npos) return false;
        native = slash == 0 ? std::string("/") : native.substr(0, slash);
        if (native == "/" && ::stat("/", status) != 0) return false;
    }
}

PathOwner OwnerOf(const struct stat& status) {
    PathOwner owner;
    owner.user = status.st_uid;
    owner.group = status.st_gid;
    owner.mode = status.st_mode & 0777;
    owner.known = true;
    return owner;
}

}  // namespace

uint32_t GetNearestDirectoryOwner(const WideString& path, PathOwner* out) {
    *out = PathOwner();
    const std::string native = tpl::WithoutFinalSeparator(fs_detail::NativePath(path));
    if (native.empty()) return fs_detail::StoreErrno(ENOENT);
    std::string found;
    struct stat status;
    if (!NearestDirectory(native, &found, &status)) return fs_detail::StoreErrno(errno != 0 ? errno : ENOENT);
    *out = OwnerOf(status);
    return ERROR_SUCCESS;
}

uint32_t GivePathTo(const WideString& path, const PathOwner& owner) {
    if (!owner.known || ::geteuid() != 0) return ERROR_SUCCESS;
    const std::string native = fs_detail::NativePath(path);
    if (native.empty()) return fs_detail::StoreErrno(ENOENT);
    struct stat status;
    if (::lstat(native.c_str(), &status) == 0 && status.st_uid == owner.user && status.st_gid == owner.group)
        return ERROR_SUCCESS;
    return ::lchown(native.c_str(), owner.user, owner.group) == 0 ? ERROR_SUCCESS : fs_detail::StoreErrno(errno);
}

uint32_t CreateDirectoriesOwnedLikeParent(const WideString& path) {
    const std::string native = tpl::WithoutFinalSeparator(fs_detail::NativePath(path));
    if (native.empty()) return fs_detail::StoreErrno(ENOENT);
    std::string existing;
    struct stat status;
    if (!NearestDirectory(native, &existing, &status)) return fs_detail::StoreErrno(errno != 0 ? errno : ENOENT);
    const PathOwner owner = OwnerOf(status);
    // The missing components, outermost first.
    std::vector<std::string> missing;
    for (std::string walk = native; walk != existing && walk.size() > existing.size();
         walk = walk.substr(0, walk.find_last_of('/'))) {
        missing.insert(missing.begin(), walk);
    }
    for (const std::string& directory : missing) {
        if (::mkdir(directory.c_str(), 0777) != 0) {
            if (errno == EEXIST && fs_detail::IsNativeDirectory(directory)) continue;  // made by another meanwhile
            return fs_detail::StoreErrno(errno);
        }
        if (::geteuid() == 0 && ::lchown(directory.c_str(), owner.user, owner.group) != 0)
            return fs_detail::StoreErrno(errno);
    }
    return ERROR_SUCCESS;
}
