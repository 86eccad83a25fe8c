#pragma once
// Directory enumeration by a wildcard search path, and the existence test.
#include <cstdint>
#include <sys/stat.h>
#include "fs/file_types.h"
#include "text/cow_string.h"

struct FinderDirectory;  // owns the C library's directory stream

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

// True when the path exists (file, directory, or link target).
bool PathExists(const tpl::WideString& path);
