// Append-only journal files with an advisory lock.
#include "fs/journal_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/directory_sync.h"
#include "fs/native_path.h"
#include "fs/owned_directory.h"
#include "text/path_bytes.h"
#include "text/path_text.h"

using tpl::ParentDirectory;
using tpl::WideString;
using tpl::WithoutFinalSeparator;

namespace {

// One write of the bytes; syncToDisk adds fdatasync.
uint32_t AppendTo(int fd, const std::string& bytes, bool syncToDisk) {
    if (fd < 0) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    const uint32_t code = fs_detail::WriteAllUncounted(fd, bytes.data(), bytes.size());
    if (code != ERROR_SUCCESS || !syncToDisk) return code;
    if (fdatasync(fd) != 0) return fs_detail::StoreErrno(errno);
    fs_detail::NoteDataSynced(fd);
    return ERROR_SUCCESS;
}

// The whole contents of fd from its start.
uint32_t ReadFromStart(int fd, std::string* contents) {
    contents->clear();
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fs_detail::StoreErrno(errno);
        }
        if (n == 0) return ERROR_SUCCESS;
        contents->append(buffer, static_cast<size_t>(n));
        offset += n;
    }
}

}  // namespace

uint32_t JournalFile::Create(const WideString& path) {
    const std::string native = fs_detail::NativePath(path);
    const std::string directory = ParentDirectory(native);
    const UniqueFileHandle held(open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!held) return fs_detail::StoreErrno(errno);
    const size_t slash = native.find_last_of('/');
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    return CreateAt(held.Get(), tpl::PathFromBytes(name.c_str()));
}

uint32_t JournalFile::CreateAt(FileHandle directory, const WideString& name) {
    Close();
    if (fs_detail::InjectedFault()) return GetLastFileError();
    const std::string native = fs_detail::NativePath(name);
    if (native.empty() || native.find('/') != std::string::npos)
        return fs_detail::StoreErrorWithErrno(ERROR_INVALID_PARAMETER, EINVAL);
    UniqueFileHandle held(fcntl(directory, F_DUPFD_CLOEXEC, 0));
    if (!held) return fs_detail::StoreErrno(errno);
    UniqueFileHandle file(
        openat(directory, native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file) return fs_detail::StoreErrno(errno);
    if (flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        unlinkat(directory, native.c_str(), 0);
        return fs_detail::StoreErrno(err);
    }
    file_ = std::move(file);
    directory_ = std::move(held);
    name_ = native;
    // The new name, usually in a new directory, must survive a power loss.
    SyncHeldDirectory(directory_.Get());
    const UniqueFileHandle parent(openat(directory_.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent) fsync(parent.Get());
    return ERROR_SUCCESS;
}

void JournalFile::Remove() noexcept {
    if (!file_) return;
    // Deleted while still locked: no other process can take it over.
    if (directory_) unlinkat(directory_.Get(), name_.c_str(), 0);
    Close();
}

uint32_t JournalFile::Append(const std::string& bytes, bool syncToDisk) {
    if (!file_) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    if (fs_detail::InjectedFault()) return GetLastFileError();
    if (pending_.empty()) return AppendTo(file_.Get(), bytes, syncToDisk);
    // Gathered records go first, in the same write: the order on disk is
    // the order of the calls.
    pending_ += bytes;
    const uint32_t code = AppendTo(file_.Get(), pending_, syncToDisk);
    pending_.clear();
    return code;
}

uint32_t JournalFile::AppendLater(const std::string& bytes) {
    if (!file_) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    pending_ += bytes;
    return pending_.size() < kGatherBytes ? ERROR_SUCCESS : WritePending();
}

uint32_t JournalFile::WritePending() {
    if (pending_.empty()) return ERROR_SUCCESS;
    std::string pending;
    pending.swap(pending_);
    if (fs_detail::InjectedFault()) return GetLastFileError();
    return AppendTo(file_.Get(), pending, false);
}

uint32_t JournalFile::Sync() {
    if (!file_) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    const uint32_t code = WritePending();
    if (code != ERROR_SUCCESS) return code;
    if (fdatasync(file_.Get()) != 0) return fs_detail::StoreErrno(errno);
    fs_detail::NoteDataSynced(file_.Get());
    return ERROR_SUCCESS;
}

uint32_t JournalFile::HandOver(std::string* contents, JournalLock* lock) {
    if (!file_) return fs_detail::StoreError(ERROR_INVALID_HANDLE);
    // Undo can do without what was gathered (see AppendLater): a failure
    // to write it must not keep undo from running.
    (void)WritePending();
    const uint32_t code = ReadFromStart(file_.Get(), contents);
    if (code != ERROR_SUCCESS) return code;
    lock->file_ = std::move(file_);
    return ERROR_SUCCESS;
}

void JournalFile::Close() noexcept {
    (void)WritePending();
    file_.Reset();  // also releases the lock
    directory_.Reset();
}

uint32_t JournalLock::Append(const std::string& bytes) {
    return AppendTo(file_.Get(), bytes, true);
}

uint32_t ReadUnlockedJournal(const WideString& path, std::string* contents, JournalLock* lock) {
    return ReadUnlockedJournalAt(AT_FDCWD, path, contents, lock);
}

uint32_t ReadUnlockedJournalAt(FileHandle directory, const WideString& name, std::string* contents, JournalLock* lock) {
    lock->Release();
    const std::string native = fs_detail::NativePath(name);
    UniqueFileHandle file(openat(directory, native.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file) return errno == ELOOP ? ERROR_ACCESS_DENIED : ErrorFromErrno(errno);
    const int fd = file.Get();
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno);
    // Checked under the lock: a writer deletes its journal before it lets
    // go, so a journal without a name has been finished by its own process.
    struct stat status;
    if (fstat(fd, &status) != 0) return ErrorFromErrno(errno);
    if (status.st_nlink == 0) return ERROR_FILE_NOT_FOUND;
    if (!S_ISREG(status.st_mode) || status.st_uid != geteuid()) return ERROR_ACCESS_DENIED;
    const uint32_t code = ReadFromStart(fd, contents);
    if (code != ERROR_SUCCESS) return code;
    lock->file_ = std::move(file);
    return ERROR_SUCCESS;
}

bool IsDirectoryOfCurrentUser(const WideString& path) {
    struct stat st;
    const std::string native = fs_detail::NativePath(path);
    if (lstat(native.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool RemoveDirectoryIfEmpty(const WideString& path) {
    const std::string native = WithoutFinalSeparator(fs_detail::NativePath(path));
    return !native.empty() && native != "/" && rmdir(native.c_str()) == 0;
}

bool OnSameFileSystem(const WideString& first, const WideString& second) {
    struct stat a, b;
    return stat(fs_detail::NativePath(first).c_str(), &a) == 0 &&
           stat(fs_detail::NativePath(second).c_str(), &b) == 0 && a.st_dev == b.st_dev;
}
