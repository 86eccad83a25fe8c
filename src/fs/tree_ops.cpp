// Moving the files of a directory tree. The walk never descends through a
// symbolic link: a link is moved as the link itself.
#include "fs/tree_ops.h"

#include "fs/file_finder.h"
#include "fs/native_path.h"
#include "fs/path_ops.h"
#include "text/text_helpers.h"

using tpl::WideString;

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
