#pragma once
// A directory this process made for itself (a run's backup), held from the
// moment it was made. Its name in a directory that others can write is only
// a label: whoever can write the parent can rename it away and put a link
// or a directory of theirs in its place. Every step inside it, its emptying
// and its removal therefore go through the descriptor held here, never
// through its path.
#include <cstdint>
#include <vector>
#include "fs/file_types.h"
#include "fs/path_identity.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

class OwnedDirectory {
public:
    OwnedDirectory() = default;
    OwnedDirectory(OwnedDirectory&&) noexcept = default;
    OwnedDirectory& operator=(OwnedDirectory&&) noexcept = default;

    // Makes name in the directory at parentPath (links on the way followed:
    // it is the caller's choice) exclusively, mode 0700, and holds it.
    // ERROR_ALREADY_EXISTS when the name is taken; ERROR_ACCESS_DENIED with
    // EPERM when what then opens under the name is not a private directory
    // of the effective user (it was swapped in between). Counted by fault
    // injection.
    [[nodiscard]] static uint32_t Make(const tpl::WideString& parentPath, const tpl::WideString& name,
                                       OwnedDirectory* out);
    // Holds an existing one found by name in parent: trusted only when the
    // descriptor opened (never through a link) is a directory of the
    // effective user that no one else may write, checked on that descriptor.
    // ERROR_ACCESS_DENIED (EPERM) otherwise.
    [[nodiscard]] static uint32_t Open(FileHandle parent, const tpl::WideString& parentPath,
                                       const tpl::WideString& name, OwnedDirectory* out);
    // The same by path: the last component is never followed.
    [[nodiscard]] static uint32_t OpenPath(const tpl::WideString& path, OwnedDirectory* out);

    bool IsHeld() const noexcept { return static_cast<bool>(dir_); }
    FileHandle Get() const noexcept { return dir_.Get(); }
    // Its path when it was made or found, ending in "/": for messages and
    // the journal's readers, never to reach it.
    const tpl::WideString& Path() const noexcept { return path_; }
    const PathIdentity& Identity() const noexcept { return identity_; }

    // Holds the directory relative (components separated by "/", none
    // empty, "." or "..") below this one, never through a link; with create,
    // the missing ones are made (0700) on the way. Counted when one is made.
    [[nodiscard]] uint32_t HoldBelow(const tpl::WideString& relative, bool create, UniqueFileHandle* out) const;
    // Deletes everything inside, never through a link, except the name keep
    // at its top (may be empty).
    void Empty(const tpl::WideString& keep) const;
    // Removes the directory from its parent when the name there still
    // leads to it and it is empty, and lets go of it. True when it is gone.
    bool Remove();
    void Release() noexcept;

private:
    UniqueFileHandle parent_;
    UniqueFileHandle dir_;
    tpl::WideString name_;
    tpl::WideString path_;
    PathIdentity identity_;
};

// Removes name in dir with everything below it, never through a link (a
// link is removed as a link). 0 when it is gone, also when it was not
// there; else the first failure's error number.
uint32_t RemoveTreeAt(FileHandle dir, const tpl::WideString& name);
// Deletes everything in dir, never through a link, except keep at its top.
// 0 when all went, else the first failure's error number.
uint32_t EmptyHeldDirectory(FileHandle dir, const tpl::WideString& keep);
// Forces dir's entries to disk (best effort, as SyncDirectory).
void SyncHeldDirectory(FileHandle dir);
