#include "session/install_plan.h"

#include "fs/directory_lock.h"
#include "fs/free_space.h"
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
    for (const LauncherFileCheck& file : launcherFiles)
        if (!file.Writable()) return kExitNotRecorded;
    return kExitInstalled;
}

InstallPlan PlanInstallation(bool useCurrentDirectory, const WideString& kitFile, const WideString& chosenTarget,
                             KitReader* kit, UnpackFeedback* feedback, const std::vector<WideString>& trustedKeys) {
    InstallPlan plan;
    plan.preparation = PrepareInstallation(useCurrentDirectory, true, kit, &plan.prepared, feedback, chosenTarget,
                                           kitFile, trustedKeys);
    if (!plan.Ready()) return plan;

    plan.targetDirectory = NormalizeTargetDirectory(plan.prepared.targetDirectory);
    plan.entries = PlanKit(*kit, plan.targetDirectory);
    plan.spaceDirectory = NearestExistingDirectory(plan.targetDirectory);
    plan.freeKnown = GetFreeSpaceAt(plan.spaceDirectory, &plan.freeBytes) == 0;
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
    plan.launcherFiles = CheckLauncherFiles(plan.prepared.proposal);
    return plan;
}

}  // namespace tpl
