#pragma once
// What a refused directory lock tells the user: which text says what
// failed, the path in the way and who holds it.
#include <cstdint>
#include "fs/directory_lock.h"
#include "text/cow_string.h"

namespace tpl {

struct LockRefusal {
    const char* textId = nullptr;  // null when the code was no refusal of the lock
    WideString path;               // the directory in use, or the lock directory taken
    WideString reason;             // who holds it; empty when nobody is known
};

// For a run refused with code by lock; target stands for a busy directory
// the lock did not name.
LockRefusal DescribeLockRefusal(uint32_t code, const DirectoryLock& lock, const WideString& target);

// The holder in words: "held by process 4242 of user ann (uid 1000)" for a
// lock, "owned by user ann (uid 1000)" for a lock directory; empty when
// nothing is known. In the current language, or in
// languageId's when that is not negative.
WideString LockHolderText(const LockHolder& holder, bool lockDirectory, int32_t languageId = -1);

}  // namespace tpl
