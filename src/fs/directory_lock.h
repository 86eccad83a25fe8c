#pragma once
// A lock on a directory tree, so that two installations never work in one
// template directory, nor one in a directory below or above another's, at
// once, whoever runs them.
//
// Runs of one user meet on lock files in the user's lock directory: an
// exclusive lock on the file for the run's directory and a shared one on the
// file for each directory above it, whatever the template directory's
// permission bits (or whether it exists yet). The lock directory lies in the
// temporary directory; where someone else has taken its name there, a
// private place of the user's ($XDG_RUNTIME_DIR, else $HOME) serves, and a
// lock directory found there is always locked as well, so that a run started
// after the taken name was cleared still meets one started before.
//
// Runs of different users meet on the directories themselves, where they
// exist and can be read: a shared lock on each one above, an exclusive one on
// the directory itself; the directories a run makes are held from the moment
// they exist (HoldMade).
// Anybody who may read a directory may lock it too, and so keep
// installations out of it and below it; such a refusal names the process
// and the user that hold the lock, so that they can be asked or ended.
//
// Two runs whose directories nest meet on the upper one's lock; runs into
// sibling directories share only the locks above them. The kernel releases
// the locks when their holder ends, however it ends, so a killed run never
// blocks the next one.
#include <cstdint>
#include <string>
#include <vector>
#include "fs/file_types.h"
#include "fs/unique_file_handle.h"
#include "text/cow_string.h"

// Who stands in a lock's way: the process holding the lock that refused
// one, or the owner of a lock directory under the user's name.
struct LockHolder {
    int32_t pid = 0;  // 0 when no process is known
    bool userKnown = false;
    uint32_t uid = 0;
    tpl::WideString userName;  // "name (uid N)", or "uid N" for a user without a name
};

class DirectoryLock {
public:
    DirectoryLock() = default;
    ~DirectoryLock() { Release(); }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // Locks the tree at an existing directory without waiting: 0;
    // ERROR_LOCK_VIOLATION when another holder has that tree or one that
    // overlaps it (BusyDirectory then names it, Holder who has it);
    // ERROR_ACCESS_DENIED with LockDirectoryTaken when the user has no lock
    // directory to be had (BusyDirectory names the one in the temporary
    // directory, Holder its owner); ERROR_PATH_NOT_FOUND when there is no
    // directory.
    [[nodiscard]] uint32_t Lock(const tpl::WideString& directory);
    // Locks the tree at directory whether it exists or not; *locked receives
    // the directory itself or, when it does not exist, its nearest existing
    // parent, where the missing part is to be made. As Lock otherwise.
    [[nodiscard]] uint32_t LockNearest(const tpl::WideString& directory, tpl::WideString* locked);
    // After LockNearest, once the missing directories are made (made: the
    // outermost first, the directory itself last): holds them as the
    // directories of a locked tree are held, so that runs of other users
    // that come after meet this one there. 0, or ERROR_LOCK_VIOLATION as for
    // Lock when one came first (what is held stays held).
    [[nodiscard]] uint32_t HoldMade(const std::vector<tpl::WideString>& made);
    void Release() noexcept;
    bool Held() const noexcept { return !descriptors_.empty(); }
    // After ERROR_LOCK_VIOLATION: the directory another installation is
    // using, as given to Lock when it is that one, else in full.
    const tpl::WideString& BusyDirectory() const noexcept { return busy_; }
    const LockHolder& Holder() const noexcept { return holder_; }
    bool LockDirectoryTaken() const noexcept { return taken_; }
    // Whether LockNearest would be refused now, found out without making
    // anything (a lock file that does not exist is held by no one) and
    // without keeping a lock: ERROR_LOCK_VIOLATION (BusyDirectory names
    // the holder's directory), ERROR_ACCESS_DENIED when no lock directory
    // can be had (LockDirectoryTaken) or 0.
    [[nodiscard]] uint32_t ProbeNearest(const tpl::WideString& directory, tpl::WideString* locked);

private:
    uint32_t LockTree(const tpl::WideString& directory, bool create = true);
    uint32_t LockFiles(int lockDirectory, const std::string& canonical, const tpl::WideString& directory, bool create,
                       bool* unlockable);
    uint32_t LockDirectories(const std::string& canonical, const tpl::WideString& directory);
    // Shared locks on the directories at paths, an exclusive one on the last;
    // a refusal names the directory by names[i].
    uint32_t HoldDirectories(const std::vector<std::string>& paths, const std::vector<tpl::WideString>& names);
    uint32_t Refuse(uint32_t code, const tpl::WideString& busy, int lockedFile, bool wantedExclusive);

    std::vector<UniqueFileHandle> descriptors_;
    tpl::WideString busy_;
    LockHolder holder_;
    bool taken_ = false;
};

// Renames a directory to a name that must not exist yet (never onto an
// existing, even empty, directory). 0, ERROR_ALREADY_EXISTS or an error number.
[[nodiscard]] uint32_t RenameDirectoryNoReplace(const tpl::WideString& from, const tpl::WideString& to);
