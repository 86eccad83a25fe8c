#pragma once
// Path rules that are pure text: the installation engine and the journal's
// recovery both decide with them what lies below a template directory.
#include <string>
#include "text/cow_string.h"

namespace tpl {

// The template directory as the engine uses it: "\" turned into "/" and a
// final "/" appended; empty stays empty.
WideString NormalizeTargetDirectory(const WideString& directory);

// The directory that holds a path: the text before its last "/" once final
// "/"s are ignored, without "/"s of its own at the end; "/" below the root
// and for the root itself; "." when there is no "/" (a relative name lies in
// the current directory). The same rule for paths as text and as the bytes
// the system takes.
WideString ParentDirectory(const WideString& path);
std::string ParentDirectory(const std::string& path);

// The path without its final "/"s ("/" itself stays "/", empty stays empty).
WideString WithoutFinalSeparator(const WideString& path);
std::string WithoutFinalSeparator(const std::string& path);

// Key for sets of paths: the path's units, compared exactly.
inline std::u16string PathKey(const WideString& path) {
    return std::u16string(path.Data(), path.Length());
}

// True when path begins with the units of prefix.
bool PathStartsWith(const WideString& path, const WideString& prefix);

}  // namespace tpl
