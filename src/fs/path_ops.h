#pragma once
// Creation, deletion and moving of single paths.
#include <cstdint>
#include <string>
#include "fs/file_types.h"
#include "text/cow_string.h"

// Creates the directory and its missing parents ("mkdir -p").
[[nodiscard]] uint32_t CreateDirectoryPath(const tpl::WideString& path);
// Creates exactly this directory with the given mode, never an existing one:
// 0, ERROR_ALREADY_EXISTS when the name is taken, else the errno rule.
[[nodiscard]] uint32_t CreateDirectoryExclusive(const tpl::WideString& path, uint32_t mode);
// Removes the path, a directory with everything below it ("rm -rf").
uint32_t RemoveDirectoryTree(const tpl::WideString& path);
// Removes a file or link ("rm -f"): 0 when the path is gone, also when it was
// not there to begin with. A directory is left alone: the errno rule's code
// for EISDIR. Another failure gives the errno rule's code for the errno of
// the system call, kept beside it; where only the "rm" tool was tried, which
// does not say why, ERROR_INVALID_PARAMETER without an errno.
uint32_t DeleteFilePath(const tpl::WideString& path);
[[nodiscard]] uint32_t MovePath(const tpl::WideString& from, const tpl::WideString& to);

namespace fs_detail {
// MovePath without the fault-injection count (the rollback's moves).
uint32_t MovePathUncounted(const std::string& from, const std::string& to);
}  // namespace fs_detail
