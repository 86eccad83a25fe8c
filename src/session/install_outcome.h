#pragma once
// How a front end reads an installation's status block and what it tells its
// caller. Shared by the wizard and the headless run so that both end the same
// way on the same status.
#include <cstdint>

namespace tpl {

// Exit statuses of the installer process, the one table both front ends,
// the dry run, --help, the manual page and the README tell. A script acts
// on them: 1 and 2 changed nothing, 3 changed the templates, 75 is worth a
// retry.
constexpr int kExitInstalled = 0;
constexpr int kExitFailed = 1;       // a preparation error, or a failed installation (rolled back)
constexpr int kExitCancelled = 2;    // the user left before an outcome, cancelled, or a signal interrupted
constexpr int kExitNotRecorded = 3;  // installed, but the launcher file could not be written
constexpr int kExitUsage = 64;       // the command line is wrong; nothing was looked at (sysexits' EX_USAGE)
constexpr int kExitTargetBusy = 75;  // another installation holds the template directory (EX_TEMPFAIL)

enum class InstallOutcome { Running, Succeeded, Failed, Cancelled };

// code and percent as InstallStatus::ReadStatus gives them. A nonzero code
// decides even when percent is 100 in the same status; ERROR_CANCELLED (1223)
// is the outcome of a cancelled or interrupted run, rolled back.
InstallOutcome OutcomeOfStatus(uint32_t code, int32_t percent);

// code: the final status code; it tells a busy target from other failures.
int ExitStatusOf(InstallOutcome outcome, uint32_t code = 0);

}  // namespace tpl
