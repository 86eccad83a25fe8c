// Recursive removal and moving of directory trees. Neither walk descends
// through a symbolic link: a link is removed or moved as the link itself.
#include "fs/tree_ops.h"

#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>
#include "fs/file_finder.h"
#include "fs/native_path.h"
#include "fs/path_ops.h"
#include "text/path_bytes.h"
#include "text/text_helpers.h"
#include "text/path_text.h"

using tpl::PathFromBytes;
using tpl::WideString;
using tpl::WithoutFinalSeparator;

namespace {

bool IsSymbolicLink(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

}  // namespace

uint32_t RemoveTree(const WideString& path) {
    if (path.Empty()) return ERROR_SUCCESS;
    const std::string native = WithoutFinalSeparator(fs_detail::NativePath(path));
    if (native == "/") return ERROR_SUCCESS;  // never the whole file system
    if (IsSymbolicLink(native)) return DeleteFilePath(PathFromBytes(native.c_str()));

    const WideString directory = WithSeparator(path);
    for (const DirectoryEntry& entry : ListDirectory(directory)) {
        if (entry.isDirectory && !entry.isSymbolicLink)
            RemoveTree(directory + entry.name);
        else
            DeleteFilePath(directory + entry.name);
    }
    return RemoveDirectoryTree(path);
}

void MoveTree(const WideString& destination, const WideString& source) {
    const WideString from = WithSeparator(source);
    const WideString to = WithSeparator(destination);
    for (const DirectoryEntry& entry : ListDirectory(from)) {
        if (entry.isDirectory && !entry.isSymbolicLink)
            MoveTree(to + entry.name, from + entry.name);
        else
            fs_detail::MovePathUncounted(fs_detail::NativePath(from + entry.name),
                                         fs_detail::NativePath(to + entry.name));
    }
}
