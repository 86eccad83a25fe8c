// Benchmark driver: loads a kit and runs one installation into a directory,
// as the wizard would but without a window and without the success pause.
// Usage: engine_bench KIT TARGET_DIRECTORY
#include <cstdio>
#include "engine/install_engine.h"
#include "engine/install_status.h"
#include "kit/kit_reader.h"
#include "text/convert.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: engine_bench KIT TARGET_DIRECTORY\n");
        return 2;
    }
    InitProcessLocale();
    KitReader kit;
    const uint32_t loaded = kit.Load(ToWide(argv[1]));
    if (loaded != 0) {
        std::fprintf(stderr, "engine_bench: kit not loaded (error %u)\n", loaded);
        return 1;
    }
    InstallStatus status;
    status.Init();
    status.PostJob(&kit, ToWide(argv[2]));
    InstallEngine engine;
    const uint32_t result = engine.Run(&status, 0);
    kit.Release();
    if (result != 0) {
        std::fprintf(stderr, "engine_bench: installation failed (error %u)\n", result);
        return 1;
    }
    return 0;
}
