// Benchmark driver: loads a kit and runs one installation into a directory,
// as the wizard would but without a window and without the success pause.
// Usage: engine_bench KIT TARGET_DIRECTORY [PHASES_FILE]
// With PHASES_FILE it writes there the seconds spent unpacking the kit
// (inflate and tables), making the entries (until the last one is handed to
// the copier), and finishing (the last copies, the unpacked kit's deletion
// and the commit). The run is the kit's last use, as in the program.
#include <chrono>
#include <cstdio>
#include "engine/install_engine.h"
#include "engine/install_observer.h"
#include "engine/install_status.h"
#include "kit/kit_reader.h"
#include "text/convert.h"

namespace tpl {
namespace {
using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}
// The time of the last entry handled. An entry hook would do, but it makes
// the run wait for every entry's copy.
class LastEntryClock : public InstallObserver {
public:
    explicit LastEntryClock(Clock::time_point start) : last(start) {}
    void EntryHandled(const WideString&, EntryAction, uint32_t, int) override { last = Clock::now(); }
    void DirectoryCreated(const WideString&) override {}
    void Committed() override {}
    void RolledBackStep(RollbackStep, const WideString&, bool) override {}
    void RolledBack(uint32_t, bool) override {}
    Clock::time_point last;
};
}  // namespace

int RunEngineBench(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: engine_bench KIT TARGET_DIRECTORY [PHASES_FILE]\n");
        return 2;
    }
    InitProcessLocale();
    const Clock::time_point start = Clock::now();
    KitReader kit;
    const uint32_t loaded = kit.Load(ToWide(argv[1]));
    if (loaded != 0) {
        std::fprintf(stderr, "engine_bench: kit not loaded (error %u)\n", loaded);
        return 1;
    }
    const Clock::time_point unpacked = Clock::now();
    InstallStatus status;
    status.Init();
    status.PostJob(&kit, ToWide(argv[2]), true);
    InstallEngine engine;
    LastEntryClock clock(unpacked);
    engine.SetObserver(&clock);
    const uint32_t result = engine.Run(&status, 0);
    kit.Release();
    const Clock::time_point lastEntry = clock.last;
    const Clock::time_point end = Clock::now();
    if (result != 0) {
        std::fprintf(stderr, "engine_bench: installation failed (error %u)\n", result);
        return 1;
    }
    if (argc == 4) {
        std::FILE* phases = std::fopen(argv[3], "w");
        if (phases == nullptr) return 1;
        std::fprintf(phases, "%.3f %.3f %.3f\n", Seconds(start, unpacked), Seconds(unpacked, lastEntry),
                     Seconds(lastEntry, end));
        std::fclose(phases);
    }
    return 0;
}

}  // namespace tpl

int main(int argc, char** argv) {
    return tpl::RunEngineBench(argc, argv);
}
