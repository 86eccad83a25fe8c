#include "fs/directory_sync.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include "fs/fault_injection.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/unique_file_handle.h"

uint32_t SyncFileSystemOf(const tpl::WideString& path) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const UniqueFileHandle fd(::open(fs_detail::NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return fs_detail::StoreErrno(errno);
    if (::syncfs(fd.Get()) != 0) return fs_detail::StoreErrno(errno);
    fs_detail::NoteFileSystemSynced(fd.Get());
    return ERROR_SUCCESS;
}

uint32_t SyncFileSystemOfHeld(FileHandle dir) {
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const UniqueFileHandle fd(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return fs_detail::StoreErrno(errno);
    if (::syncfs(fd.Get()) != 0) return fs_detail::StoreErrno(errno);
    fs_detail::NoteFileSystemSynced(fd.Get());
    return ERROR_SUCCESS;
}

void fs_detail::SyncDirectory(const std::string& directory) {
    const UniqueFileHandle fd(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.Get());
}
