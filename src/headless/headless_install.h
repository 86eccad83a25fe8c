#pragma once
// The silent installation without a display: the wizard's preparation,
// engine and recording, with its messages and a progress line on a stream
// (standard error) instead of windows; and the dry run, which prepares and
// plans the same installation and changes nothing.
#include <cstdio>
#include <vector>
#include "journal/journal_recovery.h"
#include "text/cow_string.h"

namespace tpl {

class InstallLog;

struct HeadlessRequest {
    bool useCurrentDirectory = false;  // where the kit is looked for
    WideString chosenTarget;           // --target (absolute), empty for the proposal
    WideString kitFile;                // --kit (absolute), empty to look for it
    std::vector<WideString> trustedKeys;  // --trusted-key files (absolute)
    bool quiet = false;                // only errors on the message stream
    bool json = false;                 // one JSON document on the output stream
    bool progressInPlace = false;      // the message stream is a terminal
    bool record = true;                // false: no launcher file is written (--no-record)
    // What this start recovered before the run, for the JSON document.
    std::vector<RecoveryReport> recovered;
};

// messages: standard error (one line per error, "tplsetup: PATH: what
// failed: reason"; progress and outcome unless quiet). output: standard
// output, which gets the JSON summary object with request.json. log: the
// install log (may be null). Returns the process exit status
// (session/install_outcome.h). The catalog's current language must have
// been chosen.
int RunHeadlessInstallation(const HeadlessRequest& request, InstallLog* log, std::FILE* messages,
                            std::FILE* output);

// Prepares as RunHeadlessInstallation does and prints the plan on output
// (as lines, or one JSON document with request.json): the target, each
// entry's action, the counts, the bytes to write against the free space,
// the lock and the launcher files. Creates nothing that outlives it: no
// directory, no launcher file, no backup, no unpacked kit. Returns the
// status the installation would end with.
int RunDryRun(const HeadlessRequest& request, InstallLog* log, std::FILE* messages, std::FILE* output);

}  // namespace tpl
