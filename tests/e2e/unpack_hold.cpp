// Built only into tplsetup_held beside worker_hold.cpp: holds the unpacking
// of the kit at its start while a file exists, so that a flow can look at
// the unpacking window or progress line and cancel or signal the run while
// the unpacking is known to be under way (a test kit unpacks in
// milliseconds otherwise). The shipped tplsetup has no such code.
//
//   TPL_HOLD_UNPACKING=file   the unpacking waits while file exists
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>
#include "session/unpack_feedback.h"

namespace tpl {

namespace {

// Longer than any flow waits for anything; a flow that died does not leave
// a program behind that never ends.
constexpr int kGiveUpSeconds = 100;

std::string g_holdFile;
time_t g_giveUp = 0;

bool UnpackingHeld() {
    if (g_giveUp == 0) g_giveUp = time(nullptr) + kGiveUpSeconds;
    return access(g_holdFile.c_str(), F_OK) == 0 && time(nullptr) < g_giveUp;
}

struct UnpackHoldFromEnvironment {
    UnpackHoldFromEnvironment() {
        const char* file = std::getenv("TPL_HOLD_UNPACKING");
        if (!file || !*file) return;
        g_holdFile = file;
        DelayedUnpackObserver::SetHoldForTesting(&UnpackingHeld);
    }
} g_unpackHoldFromEnvironment;

}  // namespace

}  // namespace tpl
