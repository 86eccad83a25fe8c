// Creation, deletion and moving of single paths: a direct system call where
// it gives exactly what the tool gives, the tool (mkdir, rm, mv) otherwise.
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
#include "fs/run_program.h"
#include "fs/fs_testing.h"
#include "text/path_text.h"

using tpl::WideString;
using tpl::WithoutFinalSeparator;

using fs_detail::RunTool;
using fs_detail::StoreError;
using fs_detail::ToolPathForced;

namespace {

// One component of "mkdir -p": created, or already a directory (links
// followed). Parents get u+wx added, as the tool gives them.
bool MakeComponent(const std::string& path, bool isParent) {
    if (::mkdir(path.c_str(), 0777) != 0) return errno == EEXIST && fs_detail::IsNativeDirectory(path);
    if (!isParent) return true;
    struct stat status;
    if (::stat(path.c_str(), &status) != 0) return false;
    if ((status.st_mode & (S_IWUSR | S_IXUSR)) == (S_IWUSR | S_IXUSR)) return true;
    return ::chmod(path.c_str(), (status.st_mode & 07777) | S_IWUSR | S_IXUSR) == 0;
}

// "mkdir -p" by system calls; false sends the caller to the tool, which
// then gives the authoritative result.
bool MakeDirectoriesDirectly(const std::string& path) {
    const std::string target = WithoutFinalSeparator(path);
    if (target.empty()) return false;
    for (size_t slash = target.find('/', 1); slash != std::string::npos; slash = target.find('/', slash + 1)) {
        if (target[slash - 1] == '/') continue;
        if (!MakeComponent(target.substr(0, slash), true)) return false;
    }
    return MakeComponent(target, false);
}

uint32_t ErrorFromToolStatus(int status) {
    if (status == -1) return StoreError(ERROR_INVALID_PARAMETER);
    return status == 0 ? ERROR_SUCCESS : StoreError(ERROR_FILE_NOT_FOUND);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// rename(2) for anything but a directory onto a non-directory, which is
// what mv does there, and across file systems the in-process copy. Returns
// false when the tool must decide (a directory source, a directory
// destination, the same file).
bool RenameDirectly(const std::string& from, const std::string& to, uint32_t* result) {
    struct stat source;
    if (::lstat(from.c_str(), &source) != 0) {
        if (errno != ENOENT) return false;
        *result = StoreError(ERROR_FILE_NOT_FOUND);  // mv fails on a missing source
        return true;
    }
    if (S_ISDIR(source.st_mode)) return false;
    struct stat target;
    if (::stat(to.c_str(), &target) == 0) {
        struct stat followed;
        if (S_ISDIR(target.st_mode) || SameFile(source, target) ||
            (::stat(from.c_str(), &followed) == 0 && SameFile(followed, target)))
            return false;
    }
    if (::lstat(to.c_str(), &target) == 0 && SameFile(source, target)) return false;
    if (::rename(from.c_str(), to.c_str()) == 0) {
        *result = ERROR_SUCCESS;
        return true;
    }
    if (errno == EXDEV) {
        *result = fs_detail::MoveAcrossFileSystems(from, to);
        return true;
    }
    if (errno != ENOENT) return false;
    *result = StoreError(ERROR_FILE_NOT_FOUND);  // the destination's directory is missing
    return true;
}

// The errors that say a path is not there, as "rm -f" takes them: a missing
// entry or a missing directory on the way.
bool IsAbsence(int err) {
    return err == ENOENT || err == ENOTDIR;
}

// Unlinks anything but a directory: 0 when the path is gone or was never
// there, else the errno of the failure (EISDIR for a directory).
int UnlinkFile(const std::string& path) {
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0) return IsAbsence(errno) ? 0 : errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    if (::unlink(path.c_str()) == 0 || IsAbsence(errno)) return 0;
    return errno;
}

}  // namespace

namespace fs_detail {

uint32_t MovePathUncounted(const std::string& from, const std::string& to) {
    uint32_t result;
    if (!ToolPathForced() && RenameDirectly(from, to, &result)) return result;
    const int status = RunTool({"mv", "--", from.c_str(), to.c_str()}, true);
    return ErrorFromToolStatus(status);
}

}  // namespace fs_detail

uint32_t CreateDirectoryPath(const WideString& path) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const std::string native = fs_detail::NativePath(path);
    if (!ToolPathForced() && (fs_detail::IsNativeDirectory(native) || MakeDirectoriesDirectly(native)))
        return ERROR_SUCCESS;
    return ErrorFromToolStatus(RunTool({"mkdir", "-p", "--", native.c_str()}, true));
}

uint32_t CreateDirectoryExclusive(const WideString& path, uint32_t mode) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    if (::mkdir(fs_detail::NativePath(path).c_str(), static_cast<mode_t>(mode)) == 0) return ERROR_SUCCESS;
    return (errno == EEXIST ? StoreError(ERROR_ALREADY_EXISTS) : fs_detail::StoreErrno(errno));
}

uint32_t RemoveDirectoryTree(const WideString& path) {
    // Without its trailing "/" a link to a directory is removed itself; with
    // it, the tool would empty the directory behind the link.
    const std::string native = WithoutFinalSeparator(fs_detail::NativePath(path));
    if (native.empty() || native == "/") return ERROR_SUCCESS;
    if (!ToolPathForced()) {
        struct stat status;
        if (::lstat(native.c_str(), &status) != 0) {
            if (errno == ENOENT) return ERROR_SUCCESS;
        } else if (S_ISDIR(status.st_mode) ? ::rmdir(native.c_str()) == 0 : ::unlink(native.c_str()) == 0) {
            return ERROR_SUCCESS;
        }
    }
    RunTool({"rm", "-rf", "--", native.c_str()}, true);
    return ERROR_SUCCESS;
}

uint32_t DeleteFilePath(const WideString& path) {
    const std::string native = fs_detail::NativePath(path);
    int cause = 0;
    if (!ToolPathForced()) {
        cause = UnlinkFile(native);
        if (cause == 0) return ERROR_SUCCESS;
    }
    // Its complaints (a directory, no permission) stay visible, as before.
    if (RunTool({"rm", "-f", "--", native.c_str()}, false) == 0) return ERROR_SUCCESS;
    struct stat status;
    if (::lstat(native.c_str(), &status) != 0) {
        if (IsAbsence(errno)) return ERROR_SUCCESS;
    } else if (cause == 0 && S_ISDIR(status.st_mode)) {
        cause = EISDIR;
    }
    // The tool alone does not say why; the code is the errno rule's all the same.
    return cause != 0 ? fs_detail::StoreErrno(cause) : StoreError(ERROR_INVALID_PARAMETER);
}

uint32_t MovePath(const WideString& from, const WideString& to) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    return fs_detail::MovePathUncounted(fs_detail::NativePath(from), fs_detail::NativePath(to));
}
