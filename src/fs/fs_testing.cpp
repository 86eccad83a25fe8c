// The test-only switch onto the fallbacks.
#include "fs/fs_testing.h"

#include <atomic>

namespace {
std::atomic<bool> fallbacksForced{false};
}  // namespace

namespace fs_detail {

bool FallbacksForced() {
    return fallbacksForced.load();
}

}  // namespace fs_detail

namespace fs_testing {

void ForceFallbacks(bool on) {
    fallbacksForced.store(on);
}

}  // namespace fs_testing
