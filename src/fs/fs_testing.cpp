// The test-only switch onto the tools.
#include "fs/fs_testing.h"

#include <atomic>

namespace {
std::atomic<bool> toolPathForced{false};
}  // namespace

namespace fs_detail {

bool ToolPathForced() {
    return toolPathForced.load();
}

}  // namespace fs_detail

namespace fs_testing {

void ForceToolPath(bool on) {
    toolPathForced.store(on);
}

}  // namespace fs_testing
