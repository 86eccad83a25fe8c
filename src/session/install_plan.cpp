#include "session/install_plan.h"

#include "fs/directory_lock.h"
#include <unordered_set>

#include "fs/free_space.h"
#include "fs/path_mode.h"
#include "text/path_text.h"
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
    if (!entries.WouldSucceed() || !SpaceSuffices()) return kExitFailed;
    for (const LauncherFileRecording& file : launcherFiles)
        if (file.action == LauncherFileAction::Failed) return kExitNotRecorded;
    return kExitInstalled;
}

namespace {

uint64_t RoundUp(uint64_t bytes, uint64_t unit) {
    return unit == 0 ? bytes : (bytes + unit - 1) / unit * unit;
}

// The directories that adding the plan's files would make: those on the
// way from the target to each new file that do not exist yet.
uint32_t CountNewDirectories(const KitPlan& plan, const WideString& target) {
    std::unordered_set<std::u16string> seen;
    uint32_t count = 0;
    const auto visit = [&](WideString directory) {
        directory = WithoutFinalSeparator(directory);
        while (!directory.Empty() && seen.insert(PathKey(directory)).second && !IsExistingDirectory(directory)) {
            ++count;
            directory = ParentDirectory(directory);
        }
    };
    visit(target);
    for (const KitPlanItem& item : plan.items)
        if (item.plan.action == EntryAction::Add) visit(ParentDirectory(item.plan.destination));
    return count;
}

}  // namespace

uint64_t InstallPlan::BytesNeeded() const {
    const uint64_t block = room.blockSize;
    uint64_t bytes = static_cast<uint64_t>(newDirectories) * block;
    for (const KitPlanItem& item : entries.items)
        if (item.plan.action == EntryAction::Add || item.plan.action == EntryAction::Replace)
            bytes += RoundUp(item.entry.dataSize, block);
    return bytes;
}

uint64_t InstallPlan::InodesNeeded() const {
    return static_cast<uint64_t>(entries.Count(EntryAction::Add)) + entries.Count(EntryAction::Replace) +
           newDirectories;
}

bool InstallPlan::SpaceSuffices() const {
    if (!freeKnown) return true;
    if (BytesNeeded() > room.freeBytes) return false;
    return !room.inodesKnown || InodesNeeded() <= room.freeInodes;
}

InstallPlan PlanInstallation(bool useCurrentDirectory, const WideString& kitFile, const WideString& chosenTarget,
                             KitReader* kit, UnpackFeedback* feedback, bool record) {
    InstallPlan plan;
    plan.preparation =
        PrepareInstallation(useCurrentDirectory, true, kit, &plan.prepared, feedback, chosenTarget, kitFile);
    if (!plan.Ready()) return plan;

    plan.targetDirectory = NormalizeTargetDirectory(plan.prepared.targetDirectory);
    plan.entries = PlanKit(*kit, plan.targetDirectory);
    plan.spaceDirectory = NearestExistingDirectory(plan.targetDirectory);
    plan.freeKnown = GetFileSystemRoom(plan.spaceDirectory, &plan.room) == 0;
    plan.newDirectories = CountNewDirectories(plan.entries, plan.targetDirectory);
    {
        // Only probed: no lock file is made and no lock kept.
        DirectoryLock lock;
        plan.lockBusy = lock.ProbeNearest(plan.targetDirectory, &plan.lockDirectory) == ERROR_LOCK_VIOLATION;
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
