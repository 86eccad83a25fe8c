#include "session/launcher_file_check.h"

#include <cerrno>
#include "config/launcher_config.h"
#include "fs/last_error.h"
#include "fs/path_mode.h"
#include "session/target_directory.h"
#include "text/path_text.h"

namespace tpl {

namespace {

int WriteRefusal(const WideString& file) {
    if (IsExistingDirectory(file)) return EISDIR;
    const WideString directory = NearestExistingDirectory(ParentDirectory(file));
    ClearLastFileError();
    if (IsDirectoryWritable(directory)) return 0;
    const int refusal = GetLastFileErrno();
    return refusal != 0 ? refusal : EACCES;
}

LauncherFileCheck Check(LauncherProfile profile) {
    LauncherFileCheck check;
    check.path = LauncherSettings(profile).UserFilePath();
    check.systemErrno = WriteRefusal(check.path);
    return check;
}

}  // namespace

std::vector<LauncherFileCheck> CheckLauncherFiles(const TemplateProposal& proposal) {
    std::vector<LauncherFileCheck> checks;
    if (!proposal.listFromAlternativeProfile) checks.push_back(Check(LauncherProfile::Main));
    if (proposal.alternativeProfilePresent) checks.push_back(Check(LauncherProfile::Alternative));
    return checks;
}

}  // namespace tpl
