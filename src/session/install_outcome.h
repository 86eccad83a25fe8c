#pragma once
// How a front end reads an installation's status block and what it tells its
// caller. Shared by the wizard and the headless run so that both end the same
// way on the same status.
#include <cstdint>

namespace tpl {

// Exit statuses of the installer process.
constexpr int kExitInstalled = 0;
constexpr int kExitFailed = 1;     // a preparation error, or a failed installation
constexpr int kExitCancelled = 2;  // the user left before an outcome, cancelled, or a signal interrupted

enum class InstallOutcome { Running, Succeeded, Failed, Cancelled };

// code and percent as InstallStatus::ReadStatus gives them. A nonzero code
// decides even when percent is 100 in the same status; ERROR_CANCELLED (1223)
// is the outcome of a cancelled or interrupted run, rolled back.
InstallOutcome OutcomeOfStatus(uint32_t code, int32_t percent);

int ExitStatusOf(InstallOutcome outcome);

}  // namespace tpl
