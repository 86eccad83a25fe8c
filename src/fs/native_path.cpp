// Paths as the system calls take them.
#include "fs/native_path.h"

#include <fcntl.h>
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

UniqueFileHandle OpenParentOf(const std::string& path, std::string* name) {
    const size_t slash = path.find_last_of('/');
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return UniqueFileHandle(::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace fs_detail
