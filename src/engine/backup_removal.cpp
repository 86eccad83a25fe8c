#include "engine/backup_removal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <exception>
#include <thread>
#include "fs/held_directory.h"
#include "fs/journal_file.h"
#include "fs/last_error.h"
#include "fs/path_ops.h"
#include "text/path_text.h"

namespace tpl {

namespace {
// Runs task(i) for every i below count, up to workers at a time; with fewer
// threads when one cannot be started.
void RunConcurrently(size_t count, uint32_t workers, const std::function<void(size_t)>& task) {
    std::atomic<size_t> next{0};
    auto drain = [count, &task, &next] {
        for (size_t i = next++; i < count; i = next++) task(i);
    };
    std::vector<std::thread> helpers;
    const size_t wanted = std::min<size_t>(workers, count);
    try {
        helpers.reserve(wanted);
        while (helpers.size() + 1 < wanted) helpers.emplace_back(drain);
    } catch (const std::exception&) {
        // The threads that did start, and this one, do the rest.
    }
    drain();
    for (std::thread& helper : helpers) helper.join();
}
}  // namespace

namespace {
// The entries of the held directory go, several at a time, each by its name
// (one call, no lookup of a path, never through a link); what turns out to
// be a directory is entered from the held one, emptied the same way and
// removed after its contents.
void EmptyBelow(FileHandle directory, const WideString& keep, uint32_t workers) {
    std::vector<WideString> subdirectories;
    {
        std::vector<WideString> names;
        if (!ReadNamesAt(directory, &names)) return;
        std::mutex found;
        RunConcurrently(names.size(), workers, [&](size_t i) {
            if (!keep.Empty() && names[i].Equals(keep)) return;
            if (RemoveFileAt(directory, names[i]) == 0 || GetLastFileErrno() != EISDIR) return;
            std::lock_guard<std::mutex> hold(found);
            subdirectories.push_back(names[i]);
        });
    }
    for (const WideString& name : subdirectories) {
        UniqueFileHandle below;
        if (OpenDirectoryBelowHeld(directory, WideString(), name, &below) != 0) continue;
        EmptyBelow(below.Get(), WideString(), workers);
        RemoveEmptyDirectoryAt(directory, name);
    }
}
}  // namespace

void EmptyDirectoryConcurrently(FileHandle directory, const WideString& keep, uint32_t workers) {
    EmptyBelow(directory, keep, workers);
}

}  // namespace tpl
