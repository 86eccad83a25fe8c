#pragma once
// What installing a kit takes from the file system it goes to, counted as
// the file system counts it: a file's contents take whole blocks, and each
// new file and directory an inode. Asked before the first change, so that a
// run that cannot fit fails with nothing to undo, and by the dry run, so
// that its "enough" is the run's.
#include <cstdint>
#include "kit/kit_reader.h"
#include "text/cow_string.h"

namespace tpl {

struct KitRoom {
    uint64_t bytes = 0;           // the contents to write, each rounded up to blocks, and a block per new directory
    uint64_t inodes = 0;          // files to write and directories to make
    uint32_t newDirectories = 0;  // the target's missing part included
    bool everyEntryKept = true;   // nothing to write: every entry's action is Keep
};

// Looks at every entry's destination below targetDirectory (as
// NormalizeTargetDirectory gives it), never touches. A replaced file's old
// contents stay (in the backup) until the commit, so its new ones count in
// full. blockSize 0 counts bytes as they are.
KitRoom MeasureKitRoom(const KitReader& kit, const WideString& targetDirectory, uint64_t blockSize);

// The nearest directory at or above path that exists: the one whose file
// system the new directories and files go to. Empty when none does.
WideString NearestExistingParent(const WideString& path);

}  // namespace tpl
