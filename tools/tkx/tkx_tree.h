#pragma once
// The walk of the tree to pack: every regular file with its kit name, size
// and modification time, in a stable order.
#include <cstdint>
#include <string>
#include <vector>
#include "fs/file_types.h"
#include "text/cow_string.h"

namespace tpl {

struct PackSource {
    std::string path;    // on disk
    WideString kitName;  // relative, "\" separators
    uint32_t size = 0;
    FILETIME writeTime = 0;
};

// Fills *sources (sorted by path) or returns false with a message naming the
// offending path: symbolic links, special files, names that the kit cannot
// carry (a "\" inside a name, text the locale cannot convert), files of
// 4 GiB or more, unreadable files.
bool CollectPackSources(const std::string& root, std::vector<PackSource>* sources, std::string* error);

// Reads size and write time of one file through the file layer.
bool ReadSourceInfo(const std::string& path, uint32_t* size, FILETIME* writeTime, std::string* error);

}  // namespace tpl
