#pragma once
// Which file system object a path names (device and inode, links not
// followed), so that an undo can tell the directory it made from another
// one put in its place under the same name.
#include <cstdint>
#include "fs/file_types.h"
#include "text/cow_string.h"

struct PathIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool known = false;  // false: not recorded (older journals), so not checked
};

// Which object a descriptor holds and which state of it: a write or a
// truncation gives a file a new change time (which nobody can set back),
// another file renamed into its place has another inode. So a file checked
// through one descriptor is known to be unchanged when read through another.
struct FileVersion {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t changeSeconds = 0;
    int64_t changeNanoseconds = 0;

    bool operator==(const FileVersion& other) const noexcept {
        return device == other.device && inode == other.inode && size == other.size &&
               changeSeconds == other.changeSeconds && changeNanoseconds == other.changeNanoseconds;
    }
    bool operator!=(const FileVersion& other) const noexcept { return !(*this == other); }
};

// The version of the open file (fstat). 0 or an error number.
[[nodiscard]] uint32_t GetFileVersion(FileHandle handle, FileVersion* out);

// The identity of the path's last component (lstat). 0 or an error number.
[[nodiscard]] uint32_t GetPathIdentity(const tpl::WideString& path, PathIdentity* out);

// False only when the identity is known and the path now names something
// else (or nothing): an unknown identity cannot tell, and counts as the same.
bool IsSameObject(const tpl::WideString& path, const PathIdentity& identity);

// 0 unless the process runs as the superuser and the path's last component
// is a symbolic link that another user owns: then ERROR_ACCESS_DENIED with
// EACCES kept, as the kernel's own rule for links in shared directories
// refuses such a link. Its owner, not the superuser, chose where it leads;
// following it would let any user make the superuser write into a
// directory of the superuser's own.
[[nodiscard]] uint32_t RefuseLinkOfAnotherUser(const tpl::WideString& path);
