// Directory enumeration by a wildcard search path, and the single-entry existence test.
#include "fs/file_finder.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>
#include <utility>
#include "fs/native_path.h"
#include "text/path_bytes.h"

using tpl::NarrowString;
using tpl::PathFromBytes;
using tpl::WideString;

struct FinderDirectory {
    std::vector<std::string> names;
    size_t next = 0;
};

namespace fs_detail {

bool ReadDirectoryNames(int directory, std::vector<std::string>* names) {
    // A descriptor of its own: the stream closes it, and reads from the start.
    const int listed = ::openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) return false;
    DIR* stream = ::fdopendir(listed);
    if (stream == nullptr) {
        ::close(listed);
        return false;
    }
    while (const dirent* entry = ::readdir(stream)) names->push_back(entry->d_name);
    ::closedir(stream);
    return true;
}

}  // namespace fs_detail

FileFinder::FileFinder() noexcept {
    std::memset(&status_, 0, sizeof status_);
}

FileFinder::~FileFinder() {
    FindClose();
}

bool FileFinder::FindFirst(const WideString& searchPath) {
    FindClose();
    searchPath_ = searchPath;
    foundIsLink_ = false;
    std::memset(&status_, 0, sizeof status_);

    const uint32_t slash = searchPath.FindLast(u'/');
    if (slash == WideString::npos) {
        pattern_ = searchPath;
        directoryPart_ = PathToBytes(searchPath);
    } else {
        pattern_ = searchPath.Substring(slash + 1);
        // "/*" lists the root, whose directory part would otherwise be empty.
        directoryPart_ = slash == 0 ? NarrowString("/") : PathToBytes(searchPath.Substring(0, slash));
    }
    narrowPattern_ = PathToBytes(pattern_);

    if (pattern_.Find(u'*') == WideString::npos) {
        currentName_ = pattern_;
        std::string native = fs_detail::NativePath(searchPath);
        if (::stat(native.c_str(), &status_) != 0) return false;
        struct stat own;
        foundIsLink_ = ::lstat(native.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        return true;
    }

    currentName_ = WideString();
    const int directory = ::open(directoryPart_.Data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return false;
    directory_ = new FinderDirectory;
    const bool read = fs_detail::ReadDirectoryNames(directory, &directory_->names);
    ::close(directory);
    if (!read) {
        FindClose();
        return false;
    }
    return FindNext();
}

bool FileFinder::FindNext() {
    if (directory_ == nullptr) return false;
    for (;;) {
        if (directory_->next == directory_->names.size()) {
            FindClose();
            return false;
        }
        const std::string& found = directory_->names[directory_->next++];
        const int match = ::fnmatch(narrowPattern_.Data(), found.c_str(), FNM_NOESCAPE);
        if (match == FNM_NOMATCH) continue;
        if (match != 0) return false;

        // Every name converts, bytes the locale cannot read included; an
        // empty one would make callers act on the directory itself.
        WideString name = PathFromBytes(found.c_str());
        if (name.Empty()) continue;
        std::string path(directoryPart_.Data());
        path += '/';
        path += found;
        struct stat own;
        if (::lstat(path.c_str(), &own) != 0) continue;  // removed since readdir listed it
        foundIsLink_ = S_ISLNK(own.st_mode);
        // A dangling link is still an entry (a walk that stopped at it would
        // leave the rest of the tree behind); it is reported as a non-directory.
        if (::stat(path.c_str(), &status_) != 0) status_ = own;
        currentName_ = std::move(name);
        return true;
    }
}

uint32_t FileFinder::FoundAttributes() const noexcept {
    return S_ISDIR(status_.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
}

void FileFinder::FindClose() noexcept {
    if (directory_ == nullptr) return;
    delete directory_;
    directory_ = nullptr;
}

std::vector<DirectoryEntry> ListDirectory(const WideString& directory, const char16_t* pattern) {
    std::vector<DirectoryEntry> entries;
    FileFinder finder;
    for (bool found = finder.FindFirst(directory + pattern); found; found = finder.FindNext()) {
        WideString name = finder.FoundName();
        if (name.Equals(u".") || name.Equals(u"..")) continue;
        entries.push_back({std::move(name), (finder.FoundAttributes() & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           finder.FoundIsSymbolicLink()});
    }
    return entries;
}

bool PathExists(const WideString& path) {
    // A plain stat: a "*" in a real name must not switch to wildcard mode.
    struct stat status;
    return ::stat(fs_detail::NativePath(path).c_str(), &status) == 0;
}
