#include "fs/append_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"

using tpl::WideString;

uint32_t AppendFile::Open(const WideString& path) {
    // A FIFO at the path must not hang the start; anything but a regular
    // file is refused.
    file_ =
        UniqueFileHandle(fs_detail::OpenRegularFile(fs_detail::NativePath(path), O_WRONLY | O_APPEND | O_CREAT, 0666));
    if (!file_) {
        systemError_ = errno;
        return ErrorFromErrno(systemError_);
    }
    return 0;
}

uint32_t AppendFile::Append(const char* data, size_t size) {
    if (!file_) return ERROR_INVALID_HANDLE;
    size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(file_.Get(), data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            systemError_ = errno;
            return ErrorFromErrno(systemError_);
        }
        done += static_cast<size_t>(put);
    }
    return 0;
}
