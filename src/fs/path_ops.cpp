// Creation, deletion and moving of single paths, by system calls alone: no
// program is started for them (the one found first on PATH could be
// anything, and the process may be the superuser's), and every failure is
// told with the errno that caused it.
#include "fs/path_ops.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/cross_device_move.h"
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/owned_directory.h"
#include "text/path_bytes.h"
#include "text/path_text.h"

using tpl::WideString;
using tpl::WithoutFinalSeparator;

namespace {

// One component of CreateDirectoryPath: made, or already a directory (links
// followed). Parents it makes get u+wx added, so that the rest can be made
// in them. 0 or the errno of the failure.
int MakeComponent(const std::string& path, bool isParent) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        if (errno != EEXIST) return errno;
        if (fs_detail::IsNativeDirectory(path)) return 0;
        return isParent ? ENOTDIR : EEXIST;
    }
    if (!isParent) return 0;
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return errno;
    if ((status.st_mode & (S_IWUSR | S_IXUSR)) == (S_IWUSR | S_IXUSR)) return 0;
    return ::chmod(path.c_str(), (status.st_mode & 07777) | S_IWUSR | S_IXUSR) == 0 ? 0 : errno;
}

// The directory and its missing parents, component by component; 0 or the
// errno of the first that failed.
int MakeDirectories(const std::string& path) {
    const std::string target = WithoutFinalSeparator(path);
    if (target.empty()) return ENOENT;
    for (size_t slash = target.find('/', 1); slash != std::string::npos; slash = target.find('/', slash + 1)) {
        if (target[slash - 1] == '/') continue;
        if (const int err = MakeComponent(target.substr(0, slash), true)) return err;
    }
    return MakeComponent(target, false);
}

// Creating and moving fail with one code whatever the cause; the errno
// kept beside it tells the cause.
uint32_t Failed(int err) {
    return fs_detail::StoreErrorWithErrno(ERROR_FILE_NOT_FOUND, err);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where a move of from to to lands: inside to when that is a directory
// (links followed), else at to itself.
std::string MoveDestination(const std::string& from, const std::string& to) {
    if (!fs_detail::IsNativeDirectory(to)) return to;
    const std::string source = WithoutFinalSeparator(from);
    return WithoutFinalSeparator(to) + "/" + source.substr(source.find_last_of('/') + 1);
}

// The errors that say a path is not there: a missing entry or a missing
// directory on the way.
bool IsAbsence(int err) {
    return err == ENOENT || err == ENOTDIR;
}

}  // namespace

namespace fs_detail {

uint32_t MovePathUncounted(const std::string& from, const std::string& to) {
    struct stat source;
    if (::lstat(from.c_str(), &source) != 0) return Failed(errno);
    const std::string destination = MoveDestination(from, to);
    // Never a file onto itself, nor a link onto what it names: rename would
    // report success for the one and lose the file for the other.
    struct stat target, followed;
    if (::lstat(destination.c_str(), &target) == 0 &&
        (SameFile(source, target) || (::stat(from.c_str(), &followed) == 0 && SameFile(followed, target))))
        return Failed(EINVAL);
    if (::rename(from.c_str(), destination.c_str()) == 0) return ERROR_SUCCESS;
    // A file goes to another file system as a copy; a directory does not.
    if (errno != EXDEV || S_ISDIR(source.st_mode)) return Failed(errno);
    return MoveAcrossFileSystems(from, destination);
}

}  // namespace fs_detail

uint32_t CreateDirectoryPath(const WideString& path) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const std::string native = fs_detail::NativePath(path);
    if (fs_detail::IsNativeDirectory(native)) return ERROR_SUCCESS;
    const int err = MakeDirectories(native);
    return err == 0 ? ERROR_SUCCESS : Failed(err);
}

uint32_t CreateDirectoryExclusive(const WideString& path, uint32_t mode) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    if (::mkdir(fs_detail::NativePath(path).c_str(), static_cast<mode_t>(mode)) == 0) return ERROR_SUCCESS;
    return (errno == EEXIST ? fs_detail::StoreError(ERROR_ALREADY_EXISTS) : fs_detail::StoreErrno(errno));
}

uint32_t RemoveDirectoryTree(const WideString& path) {
    // Without its trailing "/" a link to a directory is removed itself,
    // never the directory behind it.
    const std::string native = WithoutFinalSeparator(fs_detail::NativePath(path));
    if (native.empty()) return ERROR_SUCCESS;
    std::string name;
    const UniqueFileHandle parent = fs_detail::OpenParentOf(native, &name);
    if (!parent) return IsAbsence(errno) ? ERROR_SUCCESS : fs_detail::StoreErrno(errno);
    // The root, "." and ".." have no name of their own to remove: refused.
    return RemoveTreeAt(parent.Get(), tpl::PathFromBytes(name.c_str()));
}

uint32_t DeleteFilePath(const WideString& path) {
    // unlink refuses a directory (EISDIR) and never follows a link.
    if (::unlink(fs_detail::NativePath(path).c_str()) == 0 || IsAbsence(errno)) return ERROR_SUCCESS;
    return fs_detail::StoreErrno(errno);
}

uint32_t MovePath(const WideString& from, const WideString& to) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    return fs_detail::MovePathUncounted(fs_detail::NativePath(from), fs_detail::NativePath(to));
}
