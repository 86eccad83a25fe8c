#pragma once
// The silent installation without a display: the wizard's preparation,
// engine and recording, with its messages and a progress line on a stream
// (standard error) instead of windows.
#include <cstdio>
#include "text/cow_string.h"

namespace tpl {

class InstallLog;

// useCurrentDirectory: where the kit is looked for. chosenTarget: --target
// (absolute), empty for the proposal. log: the install log (may be null).
// progressInPlace: the
// stream is a terminal. Returns the process exit status (0 installed,
// 1 an error, 2 cancelled or interrupted). The catalog's current language
// must have been chosen.
int RunHeadlessInstallation(bool useCurrentDirectory, const WideString& chosenTarget, InstallLog* log,
                            std::FILE* messages, bool progressInPlace);

}  // namespace tpl
