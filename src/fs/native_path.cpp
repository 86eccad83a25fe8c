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

std::string WithoutTrailingSlashes(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return path.empty() ? path : std::string("/");
    return path.substr(0, end + 1);
}

bool IsNativeDirectory(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace fs_detail
