// Windows-style file handles over POSIX descriptors.
#include "fs/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/fault_injection.h"
#include "fs/last_error.h"
#include "fs/native_path.h"

using tpl::WideString;

using fs_detail::ClearLastError;
using fs_detail::StoreError;

static_assert(sizeof(off_t) == 8, "the file layer needs 64-bit file offsets");

namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr int64_t kIntervalsPerSecond = 10000000LL;

uint32_t StoreErrno() {
    return fs_detail::StoreErrno(errno);
}

// Whole POSIX seconds of a FILETIME, without the 32-bit wrap of
// UnixSecondsFromFileTime, so that times after 2038 are set as given.
int64_t UnixSeconds64(FILETIME time) {
    return static_cast<int64_t>(time / kIntervalsPerSecond) - kSecondsFrom1601To1970;
}

}  // namespace

FILETIME FileTimeFromUnixSeconds(int64_t seconds) {
    return static_cast<FILETIME>(seconds + kSecondsFrom1601To1970) * kIntervalsPerSecond;
}

int32_t UnixSecondsFromFileTime(FILETIME time) {
    return static_cast<int32_t>(UnixSeconds64(time));
}

uint32_t FileOpen(const WideString& path, uint32_t access, uint32_t /*shareMode*/, uint32_t disposition,
                  FileHandle* out, uint32_t /*attributes*/) {
    ClearLastError();
    const bool writing = (access & GENERIC_WRITE) != 0;
    if (writing && fs_detail::InjectedFault()) return GetLastFileError();
    if (out == nullptr) return StoreError(ERROR_INVALID_PARAMETER);

    int flags = O_RDONLY;
    if (writing) flags = (access & GENERIC_READ) ? O_RDWR : O_WRONLY;
    // CREATE_ALWAYS keeps the old contents: writers that replace a file
    // truncate it after writing, at the length they wrote.
    if (disposition == TRUNCATE_EXISTING)
        flags |= O_TRUNC;
    else if (disposition == CREATE_ALWAYS)
        flags |= O_CREAT;

    // A FIFO or a device where a file is expected would block the open, or
    // every read, for good: only regular files are opened.
    const int fd = fs_detail::OpenRegularFile(fs_detail::NativePath(path), flags, 0660);
    if (fd < 0) return StoreErrno();
    *out = fd;
    return ERROR_SUCCESS;
}

int fs_detail::OpenRegularFile(const std::string& path, int flags, unsigned mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int err = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        errno = err;
        return -1;
    }
    const int blocking = ::fcntl(fd, F_GETFL);
    if (blocking >= 0) ::fcntl(fd, F_SETFL, blocking & ~O_NONBLOCK);
    return fd;
}

uint32_t FileRead(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead, void* overlapped) {
    ClearLastError();
    if (bytesRead == nullptr) return overlapped == nullptr ? StoreError(ERROR_INVALID_PARAMETER) : ERROR_SUCCESS;
    *bytesRead = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (*bytesRead < count) {
        ssize_t got = ::read(handle, bytes + *bytesRead, count - *bytesRead);
        if (got < 0) {
            if (errno == EINTR) continue;
            return StoreErrno();
        }
        if (got == 0) break;
        *bytesRead += static_cast<uint32_t>(got);
    }
    return ERROR_SUCCESS;
}

uint32_t FileReadAt(FileHandle handle, uint64_t offset, void* buffer, uint32_t count, uint32_t* bytesRead) {
    ClearLastError();
    *bytesRead = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (*bytesRead < count) {
        const ssize_t got = ::pread(handle, bytes + *bytesRead, count - *bytesRead,
                                    static_cast<off_t>(offset + *bytesRead));
        if (got < 0) {
            if (errno == EINTR) continue;
            return StoreErrno();
        }
        if (got == 0) break;
        *bytesRead += static_cast<uint32_t>(got);
    }
    return ERROR_SUCCESS;
}

void FileReadOrThrow(FileHandle handle, void* buffer, uint32_t count, uint32_t* bytesRead) {
    const uint32_t code = FileRead(handle, buffer, count, bytesRead, nullptr);
    if (code != ERROR_SUCCESS) throw code;
}

uint32_t FileWrite(FileHandle handle, const void* data, uint32_t count, uint32_t* bytesWritten, void* overlapped) {
    ClearLastError();
    if (bytesWritten == nullptr && overlapped == nullptr) return StoreError(ERROR_INVALID_PARAMETER);
    if (handle == INVALID_FILE_HANDLE) return StoreError(ERROR_INVALID_HANDLE);
    if (bytesWritten == nullptr) return ERROR_SUCCESS;
    if (fs_detail::InjectedFault()) return GetLastFileError();
    uint64_t written = 0;
    const uint32_t code = fs_detail::WriteAllUncounted(handle, data, count, &written);
    *bytesWritten = static_cast<uint32_t>(written);
    return code;
}

uint32_t WriteAll(FileHandle handle, const void* data, uint64_t size) {
    if (size == 0) return ERROR_SUCCESS;
    ClearLastError();
    if (fs_detail::InjectedFault()) return GetLastFileError();
    return fs_detail::WriteAllUncounted(handle, data, size);
}

uint32_t fs_detail::WriteAllUncounted(FileHandle handle, const void* data, uint64_t size, uint64_t* written) {
    // A short write is continued rather than reported with a stale errno;
    // a real failure (a full disk) shows up as -1 on the next call.
    const auto* bytes = static_cast<const unsigned char*>(data);
    fs_detail::NoteDataWrite(handle);
    uint64_t done = 0;
    uint32_t code = ERROR_SUCCESS;
    while (done < size && code == ERROR_SUCCESS) {
        const uint64_t left = size - done;
        const ssize_t put = ::write(handle, bytes + done, left > (1u << 30) ? (1u << 30) : static_cast<size_t>(left));
        if (put > 0)
            done += static_cast<uint64_t>(put);
        else if (put == 0)
            code = StoreError(ERROR_CANTWRITE);  // no progress and no cause
        else if (errno != EINTR)
            code = fs_detail::StoreErrno(errno);
    }
    if (written != nullptr) *written = done;
    return code;
}

int64_t FileSeek(FileHandle handle, uint32_t offsetLow, int32_t offsetHigh, uint32_t origin) {
    ClearLastError();
    if (handle == INVALID_FILE_HANDLE) {
        StoreError(ERROR_INVALID_HANDLE);
        return -1;
    }
    int whence = SEEK_SET;
    if (origin == FILE_CURRENT)
        whence = SEEK_CUR;
    else if (origin == FILE_END)
        whence = SEEK_END;
    const int64_t offset =
        static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(offsetHigh)) << 32) | offsetLow);
    off_t position = ::lseek(handle, offset, whence);
    if (position < 0) StoreErrno();
    return position;
}

uint32_t FileClose(FileHandle handle) {
    // Not retried on EINTR: on Linux the descriptor is gone either way.
    if (::close(handle) != 0) return StoreErrno();
    return ERROR_SUCCESS;
}

uint32_t FileGetTimes(FileHandle handle, FILETIME* creation, FILETIME* access, FILETIME* write) {
    ClearLastError();
    struct stat status;
    if (handle == INVALID_FILE_HANDLE || ::fstat(handle, &status) != 0) return StoreError(ERROR_INVALID_HANDLE);
    if (creation) *creation = FileTimeFromUnixSeconds(status.st_ctime);
    if (access) *access = FileTimeFromUnixSeconds(status.st_atime);
    if (write) *write = FileTimeFromUnixSeconds(status.st_mtime);
    return ERROR_SUCCESS;
}

uint32_t FileSetWriteTime(FileHandle handle, const FILETIME* /*creation*/, const FILETIME* /*access*/,
                          const FILETIME* write) {
    ClearLastError();
    if (handle == INVALID_FILE_HANDLE) return StoreError(ERROR_INVALID_HANDLE);
    if (write == nullptr) return StoreError(ERROR_INVALID_PARAMETER);
    if (fs_detail::InjectedFault()) return GetLastFileError();
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(UnixSeconds64(*write));
    times[0].tv_nsec = 0;
    times[1] = times[0];
    // The installer decides later installations by this time, so a file
    // whose time could not be set is reported, not passed as installed.
    if (::futimens(handle, times) != 0) return StoreErrno();
    return ERROR_SUCCESS;
}

uint32_t FileTruncate(FileHandle handle) {
    ClearLastError();
    if (handle == INVALID_FILE_HANDLE) return StoreError(ERROR_INVALID_HANDLE);
    if (fs_detail::InjectedFault()) return GetLastFileError();
    off_t position = ::lseek(handle, 0, SEEK_CUR);
    if (position < 0) return StoreErrno();
    int result;
    do {
        result = ::ftruncate(handle, position);
    } while (result != 0 && errno == EINTR);
    if (result != 0) return StoreErrno();
    return ERROR_SUCCESS;
}

uint32_t GetFileSizeByPath(const WideString& path, uint32_t* size) {
    if (size == nullptr) return 1;
    struct stat status;
    if (::stat(fs_detail::NativePath(path).c_str(), &status) != 0) return 1;
    *size = static_cast<uint32_t>(static_cast<uint64_t>(status.st_size));
    return 0;
}
