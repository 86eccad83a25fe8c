// Paths as the system calls take them.
#include "fs/native_path.h"

#include <sys/stat.h>
#include "text/path_bytes.h"

using tpl::NarrowString;
using tpl::WideString;

namespace fs_detail {

std::string NativePath(const WideString& path) {
    // Cut at an embedded 0, as every system call would read it.
    NarrowString narrow = PathToBytes(path);
    return std::string(narrow.Data());
}

std::string HiddenSiblingPath(const std::string& path, const char* suffix) {
    const size_t slash = path.rfind('/');
    return path.substr(0, slash + 1) + "." + path.substr(slash + 1) + suffix;
}

bool IsNativeDirectory(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace fs_detail
