#pragma once
// Path text rules of the installation engine.
#include <string>
#include "kit/kit_entry_names.h"  // MakeRelativeEntryPath
#include "text/cow_string.h"

// The template directory as the engine uses it: "\" turned into "/" and a
// final "/" appended; empty stays empty.
WideString NormalizeTargetDirectory(const WideString& directory);

// Text before the last "/"; "/" for a path directly below the root; empty
// when the path holds no "/".
WideString ParentDirectory(const WideString& path);

// The path without its final "/"s ("/" itself stays "/").
WideString WithoutFinalSeparator(const WideString& path);

// Key for the engine's sets of paths.
inline std::u16string PathKey(const WideString& path) {
    return std::u16string(path.Data(), path.Length());
}

// True when path begins with the units of prefix.
bool PathStartsWith(const WideString& path, const WideString& prefix);

// True when path names a directory (symbolic links followed). Unlike the
// file finder it takes every unit of the path literally, "*" included.
bool IsExistingDirectory(const WideString& path);
