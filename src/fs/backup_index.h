#pragma once
// Which backup directories this user's runs have made and not yet removed,
// one small file each in the user's own lock directory. A backup directory
// lies where others may write (a shared temporary directory, the parent of
// a template directory): renamed away, the next start would not find it and
// would say there is nothing to recover while the template directory is
// half installed. The index lets recovery find each backup again by its
// identity, or say that it is missing.
#include <cstdint>
#include <vector>
#include "fs/owned_directory.h"
#include "fs/path_identity.h"
#include "text/cow_string.h"

struct BackupIndexEntry {
    tpl::WideString backupDirectory;  // where it was made, ending in "/"
    tpl::WideString targetDirectory;  // the template directory of its run
    PathIdentity identity;
};

// Notes the backup (held) of a run into targetDirectory; on the disk when
// this returns. 0 or an error number.
[[nodiscard]] uint32_t AddToBackupIndex(const OwnedDirectory& backup, const tpl::WideString& targetDirectory);
// Forgets the backup of this identity (nothing when it is not noted).
void RemoveFromBackupIndex(const PathIdentity& identity);
// Every backup noted, in no particular order; empty when there is no index.
std::vector<BackupIndexEntry> ReadBackupIndex();
