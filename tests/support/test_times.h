#pragma once
// Two modification times, in Unix seconds, for tests of what a run replaces:
// a file dated kOld is older than a kit entry dated kNew.
#include <cstdint>

namespace tpl {

constexpr int64_t kOld = 1500000000;
constexpr int64_t kNew = 1600000000;

}  // namespace tpl
