#include "engine/backup_removal.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include "fs/file_finder.h"
#include "fs/journal_file.h"
#include "fs/path_ops.h"

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
// The files of directory (which ends in "/") go, several at a time; its
// subdirectories are walked in turn and added to *directories.
void DeleteFilesBelow(const WideString& directory, const WideString& keep, uint32_t workers,
                      std::vector<WideString>* directories) {
    std::vector<WideString> files;
    for (const DirectoryEntry& entry : ListDirectory(directory)) {
        if (!keep.Empty() && entry.name.Equals(keep)) continue;
        const WideString path = directory + entry.name;
        if (entry.isDirectory && !entry.isSymbolicLink) {
            directories->push_back(path);
            DeleteFilesBelow(path + u"/", WideString(), workers, directories);
        } else {
            files.push_back(path);
        }
    }
    DeleteFilesConcurrently(files, workers);
}
}  // namespace

void EmptyDirectoryConcurrently(const WideString& directory, const WideString& keep, uint32_t workers) {
    std::vector<WideString> directories;
    DeleteFilesBelow(directory, keep, workers, &directories);
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
