#pragma once
// Proposal and recording of the template directory.
#include <vector>
#include "config/launcher_config.h"

namespace tpl {

struct TemplateProposal {
    std::vector<WideString> locations;
    WideString directory;
    bool alternativeProfilePresent = false;
    bool listFromAlternativeProfile = false;
    // What each profile's own file listed when the proposal was made: the
    // recording keeps what other installations have added to it since.
    std::vector<WideString> mainListed, alternativeListed;
};

void CollectTemplateLocations(std::vector<WideString>* list, LauncherProfile profile);
void RecordTemplateLocations(const std::vector<WideString>& list, LauncherProfile profile);
// True when a file can be created in the directory. Otherwise *refusal,
// when given, holds the error number of the refusal (the thread's last error
// then holds the system's cause). The directory's entries and times are left
// as they were.
bool IsDirectoryWritable(const WideString& directory, uint32_t* refusal = nullptr);
WideString GetDefaultTemplateBase();
TemplateProposal ProposeTemplateDirectory();
// Every template directory an installation of this user may have used: the
// locations both launcher files name and the default one, so that a run
// interrupted there (its backup kept beside it) is found again.
std::vector<WideString> KnownTemplateDirectories();
// The cleaning of a proposed directory before it is shown: URLs dropped,
// "file://" removed, "\" to "/", line feeds and carriage returns removed.
WideString CleanProposedDirectory(const WideString& directory);
// After a successful installation: puts the installed directory (less one
// trailing separator) first and records the list in the profiles the proposal
// calls for. A failure in one profile does not keep the other from being
// recorded. Returns the launcher file that could not be written (the first
// one), empty when the directory was recorded everywhere.
WideString RecordInstalledDirectory(const WideString& installedDirectory, const TemplateProposal& proposal);

// What recording the installed directory does to one launcher file.
enum class LauncherFileAction { Unchanged, Updated, Created, Failed, Skipped };
struct LauncherFileRecording {
    WideString path;  // empty for Skipped
    LauncherFileAction action = LauncherFileAction::Unchanged;
    int systemErrno = 0;  // why a Failed one could not be written
};
// The launcher files a recording for this proposal writes, in order.
std::vector<WideString> RecordedLauncherFiles(const TemplateProposal& proposal);
// "unchanged", "updated", "created", "failed", "skipped".
const char* LauncherFileActionName(LauncherFileAction action);

// RecordInstalledDirectory, told per file (in the order written). A file
// that already lists the directory as the recording would leave it is
// neither locked nor written. A missing home directory is never made: its
// files fail with ENOENT.
std::vector<LauncherFileRecording> RecordInstalledDirectoryInFiles(const WideString& installedDirectory,
                                                                   const TemplateProposal& proposal);
// What RecordInstalledDirectoryInFiles would do, with nothing written: a
// file that would change is Failed when its nearest existing directory
// cannot take a new file.
std::vector<LauncherFileRecording> PlanInstalledDirectoryRecording(const WideString& installedDirectory,
                                                                   const TemplateProposal& proposal);

}  // namespace tpl
