#pragma once
// Directories reached from a held descriptor, never through a link: what an
// installation, its rollback and its recovery write, rename and delete
// inside a template directory that other users may also write into. A name
// is looked up once, by the call that acts on it, so a link planted between
// a check and its use cannot redirect the act.
#include <cstdint>
#include <functional>
#include <vector>
#include "fs/file_types.h"
#include "fs/path_identity.h"
#include "fs/path_mode.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

// Asked of each directory a walk enters, with its path and identity; false
// stops the walk there (it is not the directory the caller knew).
using DirectoryCheck = std::function<bool(const tpl::WideString& path, const PathIdentity& identity)>;

// Opens the directory root (links in its own path are followed: that is the
// path the user chose), then each "/"-separated component of relative in
// turn without following links. Empty, "." and ".." components are refused
// (ERROR_INVALID_PARAMETER), so that a walk never leaves root; a link or a
// non-directory gives ERROR_PATH_NOT_FOUND with ELOOP or ENOTDIR kept; a
// directory that check refuses gives ERROR_PATH_NOT_FOUND with ESTALE kept.
[[nodiscard]] uint32_t OpenDirectoryBeneath(const tpl::WideString& root, const tpl::WideString& relative,
                                            UniqueFileHandle* out, const DirectoryCheck& check = nullptr);

// The same from a root already held (root is not consumed; rootPath names it
// for check).
[[nodiscard]] uint32_t OpenDirectoryBelowHeld(FileHandle root, const tpl::WideString& rootPath,
                                              const tpl::WideString& relative, UniqueFileHandle* out,
                                              const DirectoryCheck& check = nullptr);

// The components of relative ("/"-separated, a final "/" allowed), each a
// plain name; false, with ERROR_INVALID_PARAMETER (EINVAL) as the last
// error, for an empty, "." or ".." one, so that a walk never leaves its root.
bool SplitRelativePath(const tpl::WideString& relative, std::vector<tpl::WideString>* components);
// The identity of name in dir (a link's own, never followed).
[[nodiscard]] uint32_t GetIdentityAt(FileHandle dir, const tpl::WideString& name, PathIdentity* out);
// The identity of the directory held by dir.
[[nodiscard]] uint32_t GetHeldIdentity(FileHandle dir, PathIdentity* out);

// Creates the file name in dir exclusively (never over anything, never
// through a link) for writing, with mode less the umask. Counted by fault
// injection. ERROR_ALREADY_EXISTS when the name is taken.
[[nodiscard]] uint32_t CreateFileAt(FileHandle dir, const tpl::WideString& name, uint32_t mode, FileHandle* out);
// Makes the directory name in dir (mode less the umask). Counted.
// ERROR_ALREADY_EXISTS when the name is taken.
[[nodiscard]] uint32_t CreateDirectoryAt(FileHandle dir, const tpl::WideString& name, uint32_t mode);
// Renames name in from to toName in to, replacing a file (or link) there
// but never following one. Counted.
[[nodiscard]] uint32_t RenameAt(FileHandle from, const tpl::WideString& name, FileHandle to,
                                const tpl::WideString& toName);
// Removes the file or link name in dir; a directory stays. 0 when it is
// gone (also when it was not there), else an error number.
uint32_t RemoveFileAt(FileHandle dir, const tpl::WideString& name);
// Removes the directory name in dir when it is empty. True when removed;
// else the errno is kept as the last error's cause (ENOTEMPTY for one that
// still holds something).
bool RemoveEmptyDirectoryAt(FileHandle dir, const tpl::WideString& name);
// The names dir lists, "." and ".." left out; false when it cannot be read.
bool ReadNamesAt(FileHandle dir, std::vector<tpl::WideString>* names);
// True when something, a dangling link included, stands at name in dir.
bool EntryExistsAt(FileHandle dir, const tpl::WideString& name);
// Sets the permission bits (mode & 0777; set-id bits never carry over) of
// the open file fd. Counted by fault injection.
[[nodiscard]] uint32_t SetHandleMode(FileHandle fd, uint32_t mode);

// Who owns a file system object, and its permission bits.
struct PathOwner {
    uint32_t user = 0;
    uint32_t group = 0;
    uint32_t mode = 0;     // mode & 0777
    bool regular = false;  // a regular file (not a link, not a directory)
    bool known = false;
};
// The owner of name in dir (links not followed), or of dir itself when name
// is empty. 0 or an error number.
[[nodiscard]] uint32_t GetOwnerAt(FileHandle dir, const tpl::WideString& name, PathOwner* out);
// What stands at name in dir, as GetPathEntry tells it (the kind with links
// followed, never opened), with the owner and mode of the entry itself (a
// link's own when it is one; unknown when nothing stands there). One look
// serves the decision and the replacement's owner.
[[nodiscard]] uint32_t GetEntryAt(FileHandle dir, const tpl::WideString& name, PathEntryKind* kind,
                                  FILETIME* writeTime, PathOwner* owner);
// Gives the open object fd the owner, when the process runs as the
// superuser (installing for another user) and the owner is known; a
// process of an ordinary user cannot give files away and leaves them as
// they are. 0 or an error number.
[[nodiscard]] uint32_t GiveHandleTo(FileHandle fd, const PathOwner& owner);
// The same for name in dir (links not followed).
[[nodiscard]] uint32_t GiveEntryTo(FileHandle dir, const tpl::WideString& name, const PathOwner& owner);
// True when name in first and name in second are regular files of the same
// bytes (never opened through a link).
bool SameFileContentsAt(FileHandle first, const tpl::WideString& firstName, FileHandle second,
                        const tpl::WideString& secondName);
// The device of the file system that holds the directory dir; 0 when unknown.
uint64_t DeviceOfHeld(FileHandle dir);
