#include "session/install_outcome.h"

#include "fs/file_types.h"

namespace tpl {

InstallOutcome OutcomeOfStatus(uint32_t code, int32_t percent) {
    if (code == ERROR_CANCELLED) return InstallOutcome::Cancelled;
    if (code != 0) return InstallOutcome::Failed;
    if (percent > 99) return InstallOutcome::Succeeded;
    return InstallOutcome::Running;
}

int ExitStatusOf(InstallOutcome outcome, uint32_t code) {
    switch (outcome) {
        case InstallOutcome::Succeeded: return kExitInstalled;
        case InstallOutcome::Failed: return code == ERROR_LOCK_VIOLATION ? kExitTargetBusy : kExitFailed;
        case InstallOutcome::Cancelled:
        case InstallOutcome::Running: break;
    }
    return kExitCancelled;
}

}  // namespace tpl
