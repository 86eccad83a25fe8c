#include "session/target_directory.h"

#include <cerrno>

#include "catalog/message_catalog.h"
#include "config/launcher_config.h"
#include "config/template_locations.h"
#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/path_mode.h"
#include "kit/kit_entry_names.h"
#include "session/system_texts.h"
#include "text/path_bytes.h"
#include "text/path_text.h"
#include "text/text_helpers.h"
#include "text/utf8.h"

namespace tpl {

namespace {

bool IsBlank(char16_t unit) {
    return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u'\v' ||
           unit == u'\f' || unit == u'\u00A0';
}

WideString Trimmed(const WideString& text) {
    uint32_t begin = 0;
    uint32_t end = text.Length();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.Substring(begin, end - begin);
}

// "~" alone or "~/..." only: "~user" names another account, which the
// wizard does not look up, and stays relative (and so refused).
WideString ExpandHome(const WideString& path, const WideString& home) {
    if (path.Empty() || path[0] != u'~' || home.Empty()) return path;
    if (path.Length() > 1 && path[1] != u'/') return path;
    WideString expanded = WithoutFinalSeparator(home);
    if (path.Length() > 1) {
        if (expanded == WideString(u"/")) expanded = WideString();
        expanded += path.Substring(1);
    }
    return expanded;
}


// A real probe rather than permission bits: it also meets read-only file
// systems, immutable directories and access rules beyond the mode. It leaves
// the directory's entries and times as they were. *err: the system's errno
// for the refusal, 0 when it is not known.
bool TakesNewFile(const WideString& directory, int* err) {
    uint32_t code = 0;
    if (IsDirectoryWritable(directory, &code)) return true;
    // The system's words only when they belong to this very failure. A
    // directory that is there but answers "no such file" to a new entry
    // (the process file system does) allows none: that is the reason.
    if (GetLastFileError() != code) {
        *err = 0;
    } else if (GetLastFileErrno() == ENOENT) {
        *err = EPERM;
    } else {
        *err = GetLastFileErrno();
    }
    return false;
}

TargetCheck Problem(TargetCheck check, TargetProblem problem, const WideString& at, int err = 0) {
    check.problem = problem;
    check.problemPath = at;
    check.systemErrno = err;
    check.systemReason = ReasonText(err);
    return check;
}

}  // namespace

TargetCheck ResolveTargetDirectory(const WideString& typed, const WideString& home) {
    TargetCheck check;
    // A "\\" the user typed is part of a name, not a separator.
    WideString path = ExpandHome(Trimmed(typed), home);
    check.directory = path;
    if (path.Empty()) return Problem(check, TargetProblem::Empty, path);
    // Such a name is almost always a paste gone wrong, and no line of the
    // launcher file could record it: refused before anything is made.
    if (ContainsControlCharacter(path)) return Problem(check, TargetProblem::ControlCharacter, path);
    if (path[0] != u'/') return Problem(check, TargetProblem::Relative, path);
    return check;
}

TargetCheck CheckTargetDirectory(const WideString& typed) {
    TargetCheck check = ResolveTargetDirectory(typed, LauncherSettings::HomeDirectory());
    if (!check.Ok()) return check;
    const WideString& directory = check.directory;
    // Refused by the system before it looks at any directory, such a path
    // would wrongly find a parent that takes it on the walk up below.
    if (!FitsPathLimit(directory))
        return Problem(check, TargetProblem::CannotCreate, directory, ENAMETOOLONG);
    if (PathExists(directory)) {
        if (!IsExistingDirectory(directory)) return Problem(check, TargetProblem::IsFile, directory);
        int err = 0;
        if (!TakesNewFile(directory, &err)) return Problem(check, TargetProblem::NotWritable, directory, err);
        return check;
    }
    // Missing: the engine creates it and its missing parents below the
    // nearest part of the path that exists.
    WideString existing = directory;
    while (!existing.Empty() && !PathExists(existing)) {
        // A dangling link cannot be made into a directory.
        if (PathEntryExists(existing)) return Problem(check, TargetProblem::CannotCreate, existing);
        // A directory on the way that may not be searched: nothing below it
        // can be looked at or made, and the system says why. (A file on the
        // way is found as such further up.)
        PathEntryKind kind = PathEntryKind::Missing;
        FILETIME time = 0;
        const uint32_t code = GetPathEntry(existing, &kind, &time);
        if (code != 0 && code != ERROR_PATH_NOT_FOUND)
            return Problem(check, TargetProblem::CannotCreate, existing, GetLastFileErrno());
        existing = ParentDirectory(existing);
    }
    if (existing.Empty()) return Problem(check, TargetProblem::CannotCreate, directory);
    if (!IsExistingDirectory(existing)) return Problem(check, TargetProblem::CannotCreate, existing);
    int err = 0;
    if (!TakesNewFile(existing, &err)) return Problem(check, TargetProblem::CannotCreate, existing, err);
    return check;
}

WideString FailureDetailText(const WideString& path, const NarrowString& systemReason) {
    WideString detail = path;
    if (!systemReason.Empty()) {
        detail += u"\n";
        detail += FromUtf8(systemReason.Data());
    }
    return detail;
}

WideString TargetProblemDetail(const TargetCheck& check) {
    switch (check.problem) {
        case TargetProblem::None:
        case TargetProblem::Empty:
            return WideString();
        case TargetProblem::Relative:
        case TargetProblem::ControlCharacter:
            return EscapeControlCharacters(check.problemPath);
        case TargetProblem::IsFile:
        case TargetProblem::CannotCreate:
        case TargetProblem::NotWritable:
            break;
    }
    return FailureDetailText(check.problemPath, check.systemReason);
}

const char* TargetProblemTextId(TargetProblem problem) {
    switch (problem) {
        case TargetProblem::None: return nullptr;
        case TargetProblem::Empty: return "IDS_SETUP_EMPTYTARGET";
        case TargetProblem::Relative:
            return "IDS_TARGET_RELATIVE";
        case TargetProblem::ControlCharacter:
            return "IDS_TARGET_CONTROLCHAR";
        case TargetProblem::IsFile: return "IDS_TARGET_ISFILE";
        case TargetProblem::CannotCreate: return "IDS_TARGET_CANNOTCREATE";
        case TargetProblem::NotWritable: return "IDS_TARGET_NOTWRITABLE";
    }
    return nullptr;
}

WideString FirstControlCharacterShown(const WideString& path) {
    for (uint32_t i = 0; i < path.Length(); ++i) {
        const WideString unit = path.Substring(i, 1);
        if (ContainsControlCharacter(unit)) return EscapeControlCharacters(unit);
    }
    return WideString();
}

WideString TargetProblemText(const TargetCheck& check) {
    const char* id = TargetProblemTextId(check.problem);
    if (id == nullptr) return WideString();
    return FormatPattern(MessageCatalog::GetText(id), {FirstControlCharacterShown(check.problemPath)});
}

WideString NearestExistingDirectory(const WideString& typed) {
    const WideString home = LauncherSettings::HomeDirectory();
    const TargetCheck check = ResolveTargetDirectory(typed, home);
    if (check.problem == TargetProblem::Empty || check.problem == TargetProblem::Relative ||
        check.problem == TargetProblem::ControlCharacter)
        return home;
    WideString directory = check.directory;
    while (!directory.Empty() && !IsExistingDirectory(directory)) directory = ParentDirectory(directory);
    return directory.Empty() ? home : directory;
}

}  // namespace tpl
