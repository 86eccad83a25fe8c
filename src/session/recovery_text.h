#pragma once
// What the user is told about an earlier run that was recovered at start-up,
// in the run's language (the log keeps the journal's fixed English line).
#include <string>
#include "journal/journal_recovery.h"

namespace tpl {

// The message for standard error, laid out for a terminal of width columns
// (0: one line), in the locale's encoding.
std::string RecoveryMessage(const RecoveryReport& report, size_t width);

}  // namespace tpl
