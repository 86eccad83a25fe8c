// Driver of the kit load benchmark (bench/kit/run.sh):
//   kit_load_bench tree DIR MEGABYTES FILES   writes a synthetic tree of mixed compressibility
//   kit_load_bench body KIT OUT               raw-inflates the kit into OUT (the body, for gzip)
//   kit_load_bench load KIT                   KitReader::Load; prints "seconds peak_rss_kib"
#include <sys/resource.h>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#include "kit/kit_reader.h"
#include "text/convert.h"

namespace tpl {
namespace {

// Three kinds of content in turn: random bytes, repetitive configuration
// text, and text drawn from a small vocabulary (between the two).
void FillFile(std::string& bytes, size_t size, int kind, std::mt19937& random) {
    static const std::vector<std::string> words = {"alpha", "template", "value=", "true", "false", "\n",
                                                   "path/to/item", "0x1F", "section", "[main]", " ", "42"};
    bytes.clear();
    bytes.reserve(size);
    if (kind == 0) {
        while (bytes.size() < size) bytes.push_back(static_cast<char>(random() & 0xFF));
    } else if (kind == 1) {
        for (size_t line = 0; bytes.size() < size; ++line)
            bytes += "setting_" + std::to_string(line % 97) + "=default\n";
    } else {
        while (bytes.size() < size) bytes += words[random() % words.size()];
    }
    bytes.resize(size);
}

int MakeTree(const std::string& root, uint64_t megabytes, uint32_t files) {
    std::mt19937 random(12345);
    const uint64_t total = megabytes * 1024 * 1024;
    std::string bytes;
    for (uint32_t i = 0; i < files; ++i) {
        // Sizes vary around the mean: from a quarter to one and three quarters of it.
        const uint64_t mean = total / files;
        const size_t size = static_cast<size_t>(mean / 4 + (mean * 3 / 2) * (i * 7919 % files) / files);
        const std::filesystem::path dir = std::filesystem::path(root) / ("d" + std::to_string(i % 40));
        std::filesystem::create_directories(dir);
        FillFile(bytes, size, static_cast<int>(i % 3), random);
        std::ofstream out(dir / ("f" + std::to_string(i) + ".dat"), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return 1;
    }
    return 0;
}

long PeakRssKib() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int RunKitLoadBench(int argc, char** argv) {
    setlocale(LC_ALL, "C.UTF-8");
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "tree" && argc == 5) return MakeTree(argv[2], std::strtoull(argv[3], nullptr, 10),
                                                     static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)));
    if (mode == "body" && argc == 4) {
        const uint32_t code = InflateKitToFile(ToWide(argv[2]), ToWide(argv[3]));
        if (code != 0) std::fprintf(stderr, "inflate failed: %u\n", code);
        return code == 0 ? 0 : 1;
    }
    if (mode == "load" && argc == 3) {
        KitReader reader;
        const auto start = std::chrono::steady_clock::now();
        const uint32_t code = reader.Load(ToWide(argv[2]));
        // Deleting the temporary file afterwards is not part of the load.
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (code != 0) {
            std::fprintf(stderr, "load failed: %u\n", code);
            return 1;
        }
        std::printf("%.3f %ld\n", elapsed.count(), PeakRssKib());
        return 0;
    }
    std::fprintf(stderr, "usage: kit_load_bench tree DIR MB FILES | body KIT OUT | load KIT\n");
    return 2;
}

}  // namespace tpl

int main(int argc, char** argv) {
    return tpl::RunKitLoadBench(argc, argv);
}
