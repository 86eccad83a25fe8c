#pragma once
// The template directory a user typed, turned into the directory to install
// into and checked against what the installation will meet there, before
// anything is written.
#include "text/cow_string.h"

namespace tpl {

enum class TargetProblem {
    None,
    Empty,             // nothing but blanks
    Relative,          // would install below wherever the program was started
    ControlCharacter,  // a line feed or another control character inside the path
    IsFile,            // the path names a file
    CannotCreate,      // missing, and its nearest existing parent cannot take it
    NotWritable,       // an existing directory that refuses new files
};

struct TargetCheck {
    TargetProblem problem = TargetProblem::None;
    // Blanks dropped, "\" turned into "/", a leading "~" or "~/" expanded:
    // the absolute directory, also when a problem was found in it.
    WideString directory;
    // The path the problem was found at (the file in the way, the parent that
    // refused, the directory that refused), for the user to see.
    WideString problemPath;
    // Why, as the system's errno (0 when unknown) and in words (UTF-8, in
    // the catalog's language, ReasonText); may be empty.
    int systemErrno = 0;
    NarrowString systemReason;

    bool Ok() const { return problem == TargetProblem::None; }
};

// Only the text rules: trims, expands "~" with home and refuses what is
// empty or relative. No file is looked at.
TargetCheck ResolveTargetDirectory(const WideString& typed, const WideString& home);

// ResolveTargetDirectory with the user's home directory, then the file
// checks: the path fits the system's limits, and it is a directory that
// takes a new file, or it can be created below its nearest existing parent,
// which must take a new directory.
TargetCheck CheckTargetDirectory(const WideString& typed);

// A path and, on a line of its own when known, the system's words about it:
// the secondary text under a failure's notice.
WideString FailureDetailText(const WideString& path, const NarrowString& systemReason);

// The secondary text under a problem's notice: the path it was found at and,
// on a line of its own, what the system said; for a relative path what was
// typed, for a control character the path with it escaped. Empty for None
// and Empty.
WideString TargetProblemDetail(const TargetCheck& check);

// Catalog id of the notice for a problem; null for None.
const char* TargetProblemTextId(TargetProblem problem);

// The notice itself in the current language, the control character of
// such a path shown escaped ("\n"); empty for None.
WideString TargetProblemText(const TargetCheck& check);

// The first control character of path, escaped as the notices show it;
// empty when there is none.
WideString FirstControlCharacterShown(const WideString& path);

// Where a folder chooser should open for what the user typed: the directory
// itself or its nearest existing parent; the home directory when the text
// names no absolute place.
WideString NearestExistingDirectory(const WideString& typed);

}  // namespace tpl
