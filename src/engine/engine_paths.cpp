#include "engine/engine_paths.h"

#include "fs/file_finder.h"
#include "text/path_bytes.h"

bool FitsPathLimit(const WideString& path) {
    return PathToBytes(path).Length() <= kKitMaxNameBytes;
}

bool IsExistingDirectory(const WideString& path) {
    // "name/." resolves only when name is a directory.
    WideString probe = WithoutFinalSeparator(path);
    if (!probe.EndsWith(u'/')) probe.Append(u'/');
    probe.Append(u'.');
    return PathExists(probe);
}
