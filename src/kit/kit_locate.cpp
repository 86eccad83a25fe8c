// Finding the kit beside the executable or in the current directory.
#include "kit/kit_reader.h"

#include "fs/process_paths.h"
#include "kit/kit_format.h"
#include "text/path_bytes.h"

namespace tpl {

WideString LocateKitFile(bool useCurrentDirectory) {
    NarrowString directory;
    if (useCurrentDirectory) {
        directory = GetCurrentDirectory();
    } else {
        const NarrowString executable = GetExecutablePath();
        const uint32_t slash = executable.FindLast('/');
        if (slash != NarrowString::npos) directory = executable.Substring(0, slash);
    }
    if (directory.Empty()) return WideString();
    if (directory.Back() != '/') directory += '/';
    WideString path = PathFromBytes(directory.Data(), directory.Length());
    path += kKitFileName;
    return path;
}

}  // namespace tpl
