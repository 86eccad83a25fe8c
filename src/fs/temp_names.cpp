// The temporary directory and unique temporary files.
#include "fs/temp_names.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include "fs/fault_injection.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/native_path.h"
#include "fs/unique_file.h"
#include "text/path_bytes.h"

using tpl::PathFromBytes;
using tpl::WideString;

namespace {

constexpr uint32_t kPrefixUnits = 5;

// The first five units of the prefix, not splitting a surrogate pair.
std::string ShortPrefix(const WideString& prefix) {
    WideString units(prefix.Data());
    uint32_t count = units.Length() < kPrefixUnits ? units.Length() : kPrefixUnits;
    if (count == kPrefixUnits && units[count - 1] >= 0xD800 && units[count - 1] <= 0xDBFF) --count;
    return std::string(PathToBytes(units.Substring(0, count)).Data());
}

}  // namespace

uint32_t GetTempDirectory(WideString* out) {
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    std::string directory = "/tmp";
    const char* fromEnvironment = std::getenv("TMPDIR");
    struct stat status;
    if (fromEnvironment != nullptr && *fromEnvironment != '\0' && ::stat(fromEnvironment, &status) == 0 &&
        S_ISDIR(status.st_mode))
        directory = fromEnvironment;
    if (directory.back() != '/') directory += '/';
    *out = PathFromBytes(directory.c_str());
    return ERROR_SUCCESS;
}

int32_t RandomNameNumber(int32_t lowest) {
    if (lowest < 0) lowest = 0;
    const uint64_t span = static_cast<uint64_t>(INT32_MAX) - static_cast<uint64_t>(lowest) + 1;
    return static_cast<int32_t>(static_cast<uint64_t>(lowest) + fs_detail::RandomNameBits() % span);
}

uint32_t MakeTempFileName(const WideString& directory, const WideString& prefix, WideString* out) {
    std::string stem = fs_detail::NativePath(directory);
    // An empty directory (or one that is not text in the locale) would put
    // the file in the root; it is refused like an unwritable one.
    const bool noDirectory = stem.empty();
    if (stem.empty() || stem.back() != '/') stem += '/';
    stem += ShortPrefix(prefix);
    if (out == nullptr) return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    if (fs_detail::InjectedFault() || noDirectory) {
        *out = PathFromBytes((stem + fs_detail::RandomSuffix()).c_str());
        return noDirectory ? fs_detail::StoreError(ERROR_CANTWRITE) : GetLastFileError();
    }
    // Created exclusively and never through a link: a name merely found free
    // could be taken, or planted with a link, before the file is made.
    std::string name;
    const int fd = fs_detail::CreateUniqueFile(stem, 0600, &name);
    *out = PathFromBytes(name.c_str());
    if (fd < 0) {
        // A full disk says so; every other cause stays "cannot write".
        if (ErrorFromErrno(errno) == ERROR_DISK_FULL) return fs_detail::StoreErrno(errno);
        // The cause stays known, for a user who must pick another directory.
        return fs_detail::StoreErrorWithErrno(ERROR_CANTWRITE, errno);
    }
    ::close(fd);
    return ERROR_SUCCESS;
}
