// Built only into tplsetup_held, the test build of tplsetup that the
// end-to-end flows run when they must act while the installation is under
// way: it holds the installation worker after chosen entries until the flow
// lets it go, so a cancel or a signal lands mid-copy every time instead of
// racing the copy. The shipped tplsetup has no such code.
//
//   TPL_HOLD_AFTER=3,40   entries (0-based) after which the worker waits
//   TPL_HOLD_DIR=dir      the worker creates dir/held-N when it waits after
//                         entry N, and goes on once dir/release-N exists,
//                         creating dir/left-N as it does
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include "engine/install_status.h"

namespace tpl {

namespace {

// Longer than any flow waits for anything; a flow that died does not leave
// a worker behind that never ends.
constexpr int kGiveUpSeconds = 100;

std::set<uint32_t> g_holdAfter;
std::string g_holdDirectory;

std::string MarkerPath(const char* kind, uint32_t index) {
    return g_holdDirectory + "/" + kind + "-" + std::to_string(index);
}

void SleepBriefly() {
    timespec pause{0, 5 * 1000 * 1000};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool Mark(const char* kind, uint32_t index) {
    const int marker = open(MarkerPath(kind, index).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (marker < 0) {
        std::perror("tplsetup_held: cannot mark the hold");
        return false;
    }
    close(marker);
    return true;
}

void HoldAfterEntry(uint32_t index) {
    if (g_holdAfter.count(index) == 0 || !Mark("held", index)) return;
    const std::string release = MarkerPath("release", index);
    const time_t giveUp = time(nullptr) + kGiveUpSeconds;
    while (access(release.c_str(), F_OK) != 0) {
        if (time(nullptr) > giveUp) {
            std::fprintf(stderr, "tplsetup_held: never released after entry %u\n", index);
            return;
        }
        SleepBriefly();
    }
    Mark("left", index);
}

struct HoldFromEnvironment {
    HoldFromEnvironment() {
        const char* entries = std::getenv("TPL_HOLD_AFTER");
        const char* directory = std::getenv("TPL_HOLD_DIR");
        if (!entries || !directory) return;
        g_holdDirectory = directory;
        std::istringstream list(entries);
        std::string item;
        while (std::getline(list, item, ','))
            g_holdAfter.insert(static_cast<uint32_t>(std::strtoul(item.c_str(), nullptr, 10)));
        WorkerThread::SetEntryHookForTesting(&HoldAfterEntry);
    }
} g_holdFromEnvironment;

}  // namespace

}  // namespace tpl
