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
size_t Depth(const WideString& path) {
    return static_cast<size_t>(std::count(path.Data(), path.Data() + path.Length(), u'/'));
}

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

void DeleteFilesConcurrently(const std::vector<WideString>& paths, uint32_t workers) {
    RunConcurrently(paths.size(), workers, [&paths](size_t i) { DeleteFilePath(paths[i]); });
}

namespace {
// The files of directory go, several at a time, each by its name in the
// held directory (one call, no lookup of the path); what turns out to be a
// directory is walked in turn and added to *directories.
void DeleteFilesBelow(const WideString& directory, const WideString& keep, uint32_t workers,
                      std::vector<WideString>* directories) {
    UniqueFileHandle held;
    if (OpenDirectoryBeneath(directory, WideString(), &held) != 0) return;
    std::vector<WideString> subdirectories;
    {
        std::vector<WideString> names;
        if (!ReadNamesAt(held.Get(), &names)) return;
        std::mutex found;
        RunConcurrently(names.size(), workers, [&](size_t i) {
            if (!keep.Empty() && names[i].Equals(keep)) return;
            if (RemoveFileAt(held.Get(), names[i]) == 0 || GetLastFileErrno() != EISDIR) return;
            std::lock_guard<std::mutex> hold(found);
            subdirectories.push_back(names[i]);
        });
    }
    for (const WideString& name : subdirectories) {
        const WideString path = directory + u"/" + name;
        directories->push_back(path);
        DeleteFilesBelow(path, WideString(), workers, directories);
    }
}
}  // namespace

void EmptyDirectoryConcurrently(const WideString& directory, const WideString& keep, uint32_t workers) {
    std::vector<WideString> directories;
    DeleteFilesBelow(WithoutFinalSeparator(directory), keep, workers, &directories);
    RemoveEmptyDirectoriesConcurrently(std::move(directories), workers);
}

void RemoveEmptyDirectoriesConcurrently(std::vector<WideString> directories, uint32_t workers) {
    std::sort(directories.begin(), directories.end(),
              [](const WideString& a, const WideString& b) { return Depth(a) > Depth(b); });
    for (size_t begin = 0; begin < directories.size();) {
        size_t end = begin + 1;
        while (end < directories.size() && Depth(directories[end]) == Depth(directories[begin])) ++end;
        RunConcurrently(end - begin, workers,
                        [&directories, begin](size_t i) { RemoveDirectoryIfEmpty(directories[begin + i]); });
        begin = end;
    }
}

}  // namespace tpl
