// Where the launcher's files lie, and loading and storing one profile's pair.
#include "config/launcher_config.h"
#include "fs/file_finder.h"
#include "fs/file_update_lock.h"
#include "fs/inherited_owner.h"
#include "fs/path_mode.h"

#include <wordexp.h>
#include <exception>

#include "text/path_bytes.h"
#include "text/path_text.h"

namespace tpl {

namespace {

void CreateDirectoryOf(const WideString& file) {
    // Failures show up in the write that follows. A home directory that is
    // not there is no place for the launcher's files: it is never made.
    // What is made below it is its owner's, also when a superuser records
    // for that user.
    const WideString home = LauncherSettings::HomeDirectory();
    if (home.Empty() || !IsExistingDirectory(home)) return;
    (void)CreateDirectoriesOwnedLikeParent(ParentDirectory(file));
}

}  // namespace

WideString LauncherSettings::HomeDirectory() {
    wordexp_t expansion;
    WideString home;
    int result = wordexp("~", &expansion, WRDE_NOCMD);
    if (result == 0 && expansion.we_wordc > 0) home = PathFromBytes(expansion.we_wordv[0]);
    if (result == 0 || result == WRDE_NOSPACE) wordfree(&expansion);
    return home;
}

WideString LauncherSettings::ProductBaseDirectory() {
    return HomeDirectory() + u"/" + u".qbx4" + u"/";
}

WideString LauncherSettings::MainUserDirectory() {
    return HomeDirectory() + u"/" + u".Vq/pivotrun";
}

WideString LauncherSettings::MainUserFile() {
    return MainUserDirectory() + u"/" + u"pivotrun.cfg";
}

WideString LauncherSettings::AlternativeUserDirectory() {
    return HomeDirectory() + u"/" + u".Vq/pivotrunt";
}

WideString LauncherSettings::AlternativeUserFile() {
    return AlternativeUserDirectory() + u"/" + u"pivotrun.cfg";
}

WideString LauncherSettings::MainCommonDirectory() {
    return ProductBaseDirectory() + u"/" + u".Vq/pivotrun";
}

WideString LauncherSettings::MainCommonFile() {
    return MainCommonDirectory() + u"/" + u"pivotrun.cfg";
}

WideString LauncherSettings::UserFilePath() const {
    return profile_ == LauncherProfile::Main ? MainUserFile() : AlternativeUserFile();
}

WideString LauncherSettings::CommonFilePath() const {
    return profile_ == LauncherProfile::Main ? MainCommonFile() : MainUserFile();
}

void LauncherSettings::Load() {
    try {
        common_.ReadFile(CommonFilePath());
    } catch (const std::exception&) {
        // The common file only adds candidates; what was read of it stays
        // (reading throws only the text types' allocation and length errors).
    }
    userFileIncomplete_ = false;
    try {
        userFileIncomplete_ = user_.ReadFile(UserFilePath()) == ConfigReadResult::Unreadable;
    } catch (const std::exception&) {
        userFileIncomplete_ = true;
    }
}

uint32_t LauncherSettings::LockUserFile(FileUpdateLock* lock, uint32_t waitMilliseconds) const {
    const WideString path = UserFilePath();
    if (!PathExists(path)) CreateDirectoryOf(path);
    return lock->Acquire(path, waitMilliseconds);
}

void LauncherSettings::Store() {
    if (userFileIncomplete_) throw LauncherWriteError{LauncherWriteError::kCannotCreate};
    WideString path = UserFilePath();
    if (!PathExists(path)) CreateDirectoryOf(path);
    try {
        user_.WriteFile(path);
        return;
    } catch (const LauncherWriteError&) {
    }
    // The directory may have vanished or been replaced since the test above.
    CreateDirectoryOf(path);
    user_.WriteFile(path);
}

}  // namespace tpl
