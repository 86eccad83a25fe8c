#include "engine/engine_paths.h"

#include "fs/dir_ops.h"

bool IsExistingDirectory(const WideString& path) {
    // "name/." resolves only when name is a directory.
    WideString probe = WithoutFinalSeparator(path);
    if (!probe.EndsWith(u'/')) probe.Append(u'/');
    probe.Append(u'.');
    return PathExists(probe);
}
