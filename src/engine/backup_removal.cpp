#include "engine/backup_removal.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include "fs/dir_ops.h"

void DeleteFilesConcurrently(const std::vector<WideString>& paths, uint32_t workers) {
    std::atomic<size_t> next{0};
    auto drain = [&paths, &next] {
        for (size_t i = next++; i < paths.size(); i = next++) DeleteFilePath(paths[i]);
    };
    std::vector<std::thread> helpers;
    const size_t wanted = std::min<size_t>(workers, paths.size());
    try {
        helpers.reserve(wanted);
        while (helpers.size() + 1 < wanted) helpers.emplace_back(drain);
    } catch (const std::exception&) {
        // The threads that did start, and this one, delete the rest.
    }
    drain();
    for (std::thread& helper : helpers) helper.join();
}
