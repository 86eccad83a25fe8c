#pragma once
// Creation, deletion and moving of single paths.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Creates the directory and its missing parents (those get u+wx added to
// what the umask leaves). 0 when it is a directory afterwards (links
// followed); else ERROR_FILE_NOT_FOUND, whatever the cause, with the errno
// of the component that failed kept beside it (ENOTDIR for a parent that is
// not a directory, EEXIST for a last one).
[[nodiscard]] uint32_t CreateDirectoryPath(const tpl::WideString& path);
// Creates exactly this directory with the given mode, never an existing one:
// 0, ERROR_ALREADY_EXISTS when the name is taken, else the errno rule.
[[nodiscard]] uint32_t CreateDirectoryExclusive(const tpl::WideString& path, uint32_t mode);
// Removes the path with everything below it, never through a link (a link,
// also the path itself with a trailing "/", is removed as a link). 0 when
// it is gone, also when it was not there; the root, "." and ".." are
// refused (ERROR_INVALID_PARAMETER, EINVAL); else the errno rule's code for
// the first failure, its errno kept.
uint32_t RemoveDirectoryTree(const tpl::WideString& path);
// Removes a file or link: 0 when the path is gone, also when it was not
// there to begin with. A directory is left alone: the errno rule's code for
// EISDIR. Another failure gives the errno rule's code, its errno kept.
uint32_t DeleteFilePath(const tpl::WideString& path);
// Moves from to to, or into to when that is a directory (links followed),
// replacing a file there; a file goes to another file system as a copy, a
// directory does not. 0, or ERROR_FILE_NOT_FOUND with the errno kept (EINVAL
// for a file onto itself or a link onto what it names), or the copy's code.
[[nodiscard]] uint32_t MovePath(const tpl::WideString& from, const tpl::WideString& to);

namespace fs_detail {
// MovePath without the fault-injection count (MoveTree's moves).
uint32_t MovePathUncounted(const std::string& from, const std::string& to);
}  // namespace fs_detail
