#pragma once

namespace tpl {

// The names the installer gives its own files. The installer, its recovery
// and the kit tool find each other's files by them, so they live in one place.

// The distribution kit, looked for beside the program.
constexpr const char16_t* kKitFileName = u"qbx4.tkx";
// The unpacked kit in the temporary directory: the prefix, then a unique part.
constexpr const char16_t* kKitTempPrefix = u"txk";
// A run's backup directory in the temporary directory: the prefix, then a number.
constexpr const char16_t* kBackupPrefix = u"wz4sx";
// A run's backup directory on the template directory's file system, beside
// the template directory or inside it: the prefix, then a number.
constexpr const char16_t* kBesideBackupPrefix = u".wz4sxbk";
// The journal inside the backup directory.
constexpr const char16_t* kJournalFileName = u"wz4sx.journal";
// The private name under which a missing target is made: the prefix, then digits.
constexpr const char16_t* kStagingPrefix = u".wz4sx";
// A copy to another file system under way: the prefix, then six letters or digits.
constexpr const char* kInterruptedCopyPrefix = ".wz4sxmv";
// The user's lock files in the temporary directory: the prefix, then the user's number.
constexpr const char* kLockDirectoryPrefix = ".wz4lock-";

}  // namespace tpl
