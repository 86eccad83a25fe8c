#pragma once
// Whether a run would change anything in its template directory: a daily
// run on many desktops mostly finds every file already there, and then
// needs no backup, no journal and no sync of the file system.
#include "kit/kit_reader.h"
#include "text/cow_string.h"

namespace tpl {

// True when target is an existing directory and every entry of kit finds a
// file at its destination at least as new as the kit's copy (each entry's
// action would be Keep). Looks, never touches; stops at the first entry
// that would be written.
bool EveryEntryKept(const KitReader& kit, const WideString& target);

}  // namespace tpl
