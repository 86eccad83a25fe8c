#pragma once
// A file that only grows at its end, for logs. Each Append is one write with
// O_APPEND, so a line is never split by another writer and a killed process
// leaves only whole lines; nothing is buffered. Its writes touch neither the
// last error nor the fault-injection count, so logging never changes what
// the installation sees.
#include <cstddef>
#include <cstdint>
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

class AppendFile {
public:
    AppendFile() = default;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens the file for appending, created (0666 less the umask) if missing.
    // 0, or the errno rule's number with SystemError() set. Anything but a
    // regular file (a FIFO, a device) is refused without blocking.
    uint32_t Open(const tpl::WideString& path);
    bool IsOpen() const { return static_cast<bool>(file_); }
    // Writes all bytes in one call at the end. 0, or the errno rule's number.
    uint32_t Append(const char* data, size_t size);
    // The errno of the last failure of Open or Append.
    int SystemError() const { return systemError_; }

private:
    UniqueFileHandle file_;
    int systemError_ = 0;
};
