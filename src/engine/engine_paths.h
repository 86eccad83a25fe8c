#pragma once
// Path rules of the installation engine: the pure text ones (text/path_text.h)
// and the one that asks the file system.
#include "kit/kit_entry_names.h"  // MakeRelativeEntryPath
#include "text/cow_string.h"
#include "text/path_text.h"

// True when the path, in the bytes the file system gets, fits the system's
// path limit.
bool FitsPathLimit(const WideString& path);

// True when path names a directory (symbolic links followed). Unlike the
// file finder it takes every unit of the path literally, "*" included.
bool IsExistingDirectory(const WideString& path);
