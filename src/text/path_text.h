#pragma once
// Path rules that are pure text: the installation engine and the journal's
// recovery both decide with them what lies below a template directory.
#include <string>
#include "text/cow_string.h"

namespace tpl {

// The template directory as the engine uses it: "\" turned into "/" and a
// final "/" appended; empty stays empty.
WideString NormalizeTargetDirectory(const WideString& directory);

// Text before the last "/"; "/" for a path directly below the root; empty
// when the path holds no "/".
WideString ParentDirectory(const WideString& path);

// The directory that holds a file system path (bytes): the text before its
// last "/" once final "/"s are ignored, without "/"s of its own at the end;
// "/" below the root and for the root itself; "." when there is no "/".
std::string DirectoryHolding(const std::string& path);

// The path without its final "/"s ("/" itself stays "/").
WideString WithoutFinalSeparator(const WideString& path);

// Key for sets of paths: the path's units, compared exactly.
inline std::u16string PathKey(const WideString& path) {
    return std::u16string(path.Data(), path.Length());
}

// True when path begins with the units of prefix.
bool PathStartsWith(const WideString& path, const WideString& prefix);

}  // namespace tpl
