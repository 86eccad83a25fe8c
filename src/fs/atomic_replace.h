#pragma once
// Replacing a file as a whole: a crash or a kill leaves the old file or the
// new one, never a mixture and never a partial file under its name.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

// A file's new contents written piece by piece beside it and put in its place
// at once. The destination is the file a symbolic link at path finally names
// (the link is kept). The contents go to a temporary file created exclusively
// in the destination's directory (never through a link), which takes the old
// file's permission bits (and its owner where permitted); a new file gets
// 0666 less the umask. Commit flushes it to disk, renames it over the
// destination and syncs the directory. Until then the destination is as it
// was, and a ReplacingFile that is not committed removes its temporary.
// Failures return the error number and store it as the last error.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { Discard(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    [[nodiscard]] uint32_t Open(const tpl::WideString& path);
    // The temporary file's descriptor, for writing; INVALID_FILE_HANDLE when none is open.
    FileHandle Handle() const noexcept { return file_.Get(); }
    [[nodiscard]] uint32_t Commit();
    // Closes and removes the temporary file, if any.
    void Discard() noexcept;

private:
    UniqueFileHandle file_;
    std::string target_;
    std::string temporary_;
};

// Replaces the file at path by the given bytes through a ReplacingFile,
// unless it holds exactly those bytes already: then nothing is written and
// its times stay. Returns 0 or the error number (ERROR_DISK_FULL on a full disk); the old
// file is unchanged on failure. *created, when given, tells whether the
// temporary file could be created, so that a caller can tell a file it may
// not write from a write that failed.
[[nodiscard]] uint32_t WriteFileReplacing(const tpl::WideString& path, const void* data, uint64_t size,
                                          bool* created = nullptr);
