// The temporary directory, unique temporary files, free space and sleeping.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include "fs/dir_ops.h"
#include "fs/file_io.h"
#include "fs/fs_internal.h"
#include "text/path_bytes.h"

namespace {

constexpr int kNameAttempts = 100;
constexpr uint32_t kPrefixUnits = 5;

std::mt19937_64& ThreadGenerator()
{
    thread_local std::mt19937_64 generator([] {
        uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        seed ^= static_cast<uint64_t>(::getpid()) << 32;
        try {
            std::random_device device;
            seed ^= (static_cast<uint64_t>(device()) << 32) | device();
        } catch (...) {
            // the clock and the process id still differ between runs
        }
        return seed;
    }());
    return generator;
}

// The first five units of the prefix, not splitting a surrogate pair.
std::string ShortPrefix(const WideString& prefix)
{
    WideString units(prefix.Data());
    uint32_t count = units.Length() < kPrefixUnits ? units.Length() : kPrefixUnits;
    if (count == kPrefixUnits && units[count - 1] >= 0xD800 && units[count - 1] <= 0xDBFF)
        --count;
    return std::string(PathToBytes(units.Substring(0, count)).Data());
}

}  // namespace

namespace fs_detail {

std::string RandomSuffix()
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 2);
    std::string suffix(6, 'a');
    for (char& c : suffix)
        c = kAlphabet[pick(ThreadGenerator())];
    return suffix;
}

int CreateUniqueFile(const std::string& stem, unsigned mode, std::string* name)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        *name = stem + RandomSuffix();
        int fd;
        do {
            fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace fs_detail

uint32_t GetTempDirectory(WideString* out)
{
    if (out == nullptr)
        return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    std::string directory = "/tmp";
    const char* fromEnvironment = std::getenv("TMPDIR");
    struct stat status;
    if (fromEnvironment != nullptr && *fromEnvironment != '\0' && ::stat(fromEnvironment, &status) == 0 &&
        S_ISDIR(status.st_mode))
        directory = fromEnvironment;
    if (directory.back() != '/')
        directory += '/';
    *out = PathFromBytes(directory.c_str());
    return ERROR_SUCCESS;
}

uint32_t MakeTempFileName(const WideString& directory, const WideString& prefix, WideString* out)
{
    std::string stem = fs_detail::NativePath(directory);
    // An empty directory (or one that is not text in the locale) would put
    // the file in the root; it is refused like an unwritable one.
    const bool noDirectory = stem.empty();
    if (stem.empty() || stem.back() != '/')
        stem += '/';
    stem += ShortPrefix(prefix);
    if (out == nullptr)
        return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
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
        if (ErrorFromErrno(errno) == ERROR_DISK_FULL)
            return fs_detail::StoreErrno(errno);
        // The cause stays known, for a user who must pick another directory.
        return fs_detail::StoreErrorWithErrno(ERROR_CANTWRITE, errno);
    }
    ::close(fd);
    return ERROR_SUCCESS;
}

uint32_t GetFreeSpace(uint32_t* out)
{
    if (out == nullptr)
        return fs_detail::StoreError(ERROR_INVALID_PARAMETER);
    *out = 0;
    WideString directory;
    GetTempDirectory(&directory);
    struct statvfs info;
    if (::statvfs(fs_detail::NativePath(directory).c_str(), &info) != 0)
        return fs_detail::StoreErrno(errno);
    const uint64_t blocks = info.f_bfree;
    const uint64_t blockSize = info.f_frsize;
    const uint64_t limit = 0xFFFFFFFFu;
    // Saturated: more than 4 GiB free must not read as a small number.
    if (blockSize != 0 && blocks > limit / blockSize)
        *out = 0xFFFFFFFFu;
    else
        *out = static_cast<uint32_t>(blocks * blockSize);
    return ERROR_SUCCESS;
}

void SleepMilliseconds(int32_t milliseconds)
{
    if (milliseconds <= 0)
        return;
    struct timespec remaining;
    remaining.tv_sec = milliseconds / 1000;
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}
