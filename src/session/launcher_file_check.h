#pragma once
// Whether the launcher files that a success would record the directory in
// can be written, asked before anything is installed (the dry run).
#include <vector>
#include "config/template_locations.h"
#include "text/cow_string.h"

namespace tpl {

struct LauncherFileCheck {
    WideString path;
    // 0 when it can be written (or created with its directories), else the
    // errno that refuses it.
    int systemErrno = 0;
    bool Writable() const { return systemErrno == 0; }
};

// The user files of the profiles RecordInstalledDirectory writes for this
// proposal, each checked: a directory in its place refuses it; otherwise its
// nearest existing directory must take a new file (probed, its entries and
// times left as they were).
std::vector<LauncherFileCheck> CheckLauncherFiles(const TemplateProposal& proposal);

}  // namespace tpl
