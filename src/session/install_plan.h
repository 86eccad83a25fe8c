#pragma once
// The dry run: the real preparation (the kit found, unpacked and checked,
// the directory checked as an unattended run checks it), then everything
// the installation would meet, looked at and never touched: each entry's
// action, the space it needs, the directory's lock, the launcher files.
#include <cstdint>
#include <vector>
#include "fs/free_space.h"
#include "fs/directory_lock.h"
#include "kit/kit_plan.h"
#include "kit/kit_room.h"
#include "kit/kit_reader.h"
#include "session/install_preparation.h"
#include "config/template_locations.h"
#include "session/unpack_feedback.h"
#include "text/cow_string.h"

namespace tpl {

struct InstallPlan {
    PreparationResult preparation;  // when not ready, nothing below was looked at
    PreparedInstallation prepared;
    WideString targetDirectory;  // with a final "/"
    KitPlan entries;             // points into the reader it was made from
    // The file system the entries go to, at the directory or its nearest
    // existing parent.
    WideString spaceDirectory;
    FileSystemRoom free;
    bool freeKnown = false;
    // What the new files and directories take as the file system counts it.
    KitRoom room;
    // The directory the installation would lock, and whether another one
    // holds it now (lockHolder: who); when no lock directory can be had,
    // lockTaken, with the taken one in lockDirectory and its owner.
    WideString lockDirectory;
    bool lockBusy = false;
    bool lockTaken = false;
    LockHolder lockHolder;
    // What recording the directory after a success would do to each
    // launcher file (one Skipped without recording).
    std::vector<LauncherFileRecording> launcherFiles;

    bool Ready() const { return preparation.errorTextId == nullptr && !preparation.interrupted; }
    bool SpaceSuffices() const;
    // The status the installation would end with (the process's exit statuses).
    int ExitStatus() const;
};

// kit must be a fresh reader and outlive the plan; its unpacked copy goes
// when it is destroyed. kitFile, chosenTarget and trustedKeys as for
// PrepareInstallation; record false plans an installation that records in
// no launcher file.
InstallPlan PlanInstallation(bool useCurrentDirectory, const WideString& kitFile, const WideString& chosenTarget,
                             KitReader* kit, UnpackFeedback* feedback = nullptr,
                             const std::vector<WideString>& trustedKeys = {}, bool record = true);

}  // namespace tpl
