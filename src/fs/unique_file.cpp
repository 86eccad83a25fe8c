// Files under names nobody else holds.
#include "fs/unique_file.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

constexpr int kNameAttempts = 100;

std::mt19937_64& ThreadGenerator() {
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

}  // namespace

namespace fs_detail {

uint64_t RandomNameBits() {
    return ThreadGenerator()();
}

std::string NameLetters(uint64_t x) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr uint64_t kLetters = sizeof kAlphabet - 1;
    std::string letters(6, 'a');
    for (char& c : letters) {
        c = kAlphabet[x % kLetters];
        x /= kLetters;
    }
    return letters;
}

int CreateUniqueFile(const std::string& stem, unsigned mode, std::string* name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        *name = stem + RandomSuffix();
        int fd;
        do {
            fd = ::open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace fs_detail
