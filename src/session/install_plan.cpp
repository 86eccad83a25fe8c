#include "session/install_plan.h"

#include "fs/directory_lock.h"
#include "fs/free_space.h"
#include "kit/kit_room.h"
#include "session/install_outcome.h"
#include "session/target_directory.h"
#include "text/path_text.h"

namespace tpl {

int InstallPlan::ExitStatus() const {
    if (preparation.interrupted) return kExitCancelled;
    if (!Ready()) return kExitFailed;
    // The lock is taken before any entry is looked at: a busy directory
    // ends the run first, and a retry may well find it free.
    if (lockBusy) return kExitTargetBusy;
    if (lockTaken) return kExitFailed;
    if (!entries.WouldSucceed() || !SpaceSuffices()) return kExitFailed;
    for (const LauncherFileRecording& file : launcherFiles)
        if (file.action == LauncherFileAction::Failed) return kExitNotRecorded;
    return kExitInstalled;
}

bool InstallPlan::SpaceSuffices() const {
    if (!freeKnown) return true;
    if (room.bytes > free.freeBytes) return false;
    return !free.inodesKnown || room.inodes <= free.freeInodes;
}

InstallPlan PlanInstallation(bool useCurrentDirectory, const WideString& kitFile, const WideString& chosenTarget,
                             KitReader* kit, UnpackFeedback* feedback, const std::vector<WideString>& trustedKeys,
                             bool record) {
    InstallPlan plan;
    plan.preparation = PrepareInstallation(useCurrentDirectory, true, kit, &plan.prepared, feedback, chosenTarget,
                                           kitFile, trustedKeys);
    if (!plan.Ready()) return plan;

    plan.targetDirectory = NormalizeTargetDirectory(plan.prepared.targetDirectory);
    plan.entries = PlanKit(*kit, plan.targetDirectory);
    plan.spaceDirectory = NearestExistingDirectory(plan.targetDirectory);
    plan.freeKnown = GetFileSystemRoom(plan.spaceDirectory, &plan.free) == 0;
    plan.room = MeasureKitRoom(*kit, plan.targetDirectory, plan.freeKnown ? plan.free.blockSize : 0);
    {
        // Only probed: no lock file is made and no lock kept.
        DirectoryLock lock;
        const uint32_t code = lock.ProbeNearest(plan.targetDirectory, &plan.lockDirectory);
        plan.lockBusy = code == ERROR_LOCK_VIOLATION;
        plan.lockTaken = code != 0 && lock.LockDirectoryTaken();
        if (plan.lockBusy || plan.lockTaken) plan.lockHolder = lock.Holder();
        if (plan.lockTaken || (plan.lockBusy && !lock.BusyDirectory().Empty()))
            plan.lockDirectory = lock.BusyDirectory();
        if (plan.lockDirectory.Empty()) plan.lockDirectory = plan.spaceDirectory;
    }
    if (record) {
        plan.launcherFiles = PlanInstalledDirectoryRecording(plan.targetDirectory, plan.prepared.proposal);
    } else {
        plan.launcherFiles = {LauncherFileRecording{WideString(), LauncherFileAction::Skipped, 0}};
    }
    return plan;
}

}  // namespace tpl
