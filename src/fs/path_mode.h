#pragma once
// Examining a path without opening it: whether anything stands there, its kind and time.
#include <cstdint>
#include <sys/stat.h>
#include "fs/file_types.h"
#include "text/cow_string.h"

// True when the path's last component exists as anything, a dangling
// symbolic link included (lstat), unlike PathExists which follows links.
bool PathEntryExists(const tpl::WideString& path);

// What a path names, examined without opening it.
enum class PathEntryKind {
    Missing,    // nothing, not even a link
    File,       // a regular file, or a link to one
    Directory,  // a directory, or a link to one
    Special,    // a FIFO, socket or device, or a link to one
    Dangling,   // a symbolic link that names nothing
};

// The kind and write time (whole seconds) of what the path names, symbolic
// links followed; a dangling link has time 0. Nothing is opened, so
// asking about a FIFO cannot block. A missing last component gives Missing;
// a component before it that is not a directory gives ERROR_PATH_NOT_FOUND;
// other failures give the errno rule's number.
uint32_t GetPathEntry(const tpl::WideString& path, PathEntryKind* kind, FILETIME* writeTime);
namespace fs_detail {
// GetPathEntry for native relative to dir (AT_FDCWD for a path); *own gets
// what stands there itself, a link not followed.
uint32_t ReadEntryKind(int dir, const char* native, PathEntryKind* kind, FILETIME* writeTime, struct stat* own);
}  // namespace fs_detail
// True when the path's last component is a directory itself, not a link to one (lstat).
bool IsRealDirectory(const tpl::WideString& path);
// True when path names a directory (symbolic links followed). Unlike the
// file finder it takes every unit of the path literally, "*" included.
bool IsExistingDirectory(const tpl::WideString& path);
