#pragma once
// Directory enumeration by a wildcard search path, and the existence test.
// The one place that reads directories: FileFinder, ListDirectory and the
// file layer's own listing of a directory it holds open all read through
// fs_detail::ReadDirectoryNames.
#include <cstdint>
#include <string>
#include <vector>
#include <sys/stat.h>
#include "fs/file_types.h"
#include "text/cow_string.h"

struct FinderDirectory;  // the names read from the directory, and the next one

// One enumeration of a directory by a wildcard search path ("dir/*.txt"), or an
// existence test of a plain path (single-entry mode). Closes on destruction.
// A wildcard walk reports a dangling link as a non-directory entry and skips
// an entry that vanished between listing and status, rather than stopping;
// it also skips names that are not text in the locale (they cannot be named).
class FileFinder {
public:
    FileFinder() noexcept;
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    bool FindFirst(const tpl::WideString& searchPath);
    bool FindNext();
    tpl::WideString FoundName() const { return currentName_; }
    // FILE_ATTRIBUTE_DIRECTORY when the entry (links followed) is a directory.
    uint32_t FoundAttributes() const noexcept;
    // True when the entry itself is a symbolic link (lstat).
    bool FoundIsSymbolicLink() const noexcept { return foundIsLink_; }
    void FindClose() noexcept;

private:
    tpl::WideString pattern_;
    tpl::WideString searchPath_;
    tpl::WideString currentName_;
    FinderDirectory* directory_ = nullptr;
    struct stat status_;
    tpl::NarrowString directoryPart_;
    tpl::NarrowString narrowPattern_;
    bool foundIsLink_ = false;
};

// One entry of a directory listing.
struct DirectoryEntry {
    tpl::WideString name;
    bool isDirectory = false;     // links followed
    bool isSymbolicLink = false;  // the entry itself
};

// The entries of directory (which ends in "/") whose names match the
// wildcard pattern, "." and ".." left out. Read in full before the caller
// acts on them, so that a caller that changes the directory meets no entry
// twice and skips none. Empty when the directory cannot be read.
std::vector<DirectoryEntry> ListDirectory(const tpl::WideString& directory, const char16_t* pattern = u"*");

namespace fs_detail {
// Every name the open directory lists, "." and ".." included, as the system
// spells them. The descriptor stays the caller's, its position unchanged for
// other readers; false when the directory cannot be read.
bool ReadDirectoryNames(int directory, std::vector<std::string>* names);
}  // namespace fs_detail

// True when the path exists (file, directory, or link target).
bool PathExists(const tpl::WideString& path);
