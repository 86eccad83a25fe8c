// Recording the installed template directory first in the launcher's list.
#include "config/template_locations.h"

#include <cerrno>
#include <exception>
#include "config/location_list.h"
#include "fs/file_finder.h"
#include "fs/file_update_lock.h"
#include "fs/last_error.h"
#include "fs/path_mode.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

// The installed directory as the launcher wants it: one trailing separator
// less, except that the root directory stays "/" rather than becoming empty.
WideString LocationOfInstalledDirectory(const WideString& installed) {
    WideString location = installed;
    if (location.Length() > 1 && (location.EndsWith(u'/') || location.EndsWith(u'\\'))) {
        location.Erase(location.Length() - 1);
    }
    return location;
}

// How long a recording waits for others that record in the same file: each
// holds it for a read and a write.
constexpr uint32_t kRecordingWaitMilliseconds = 10000;

// The list a profile's user file is to hold, made by makeList from the file
// as it is now; false when writing it would change nothing.
template <typename MakeList>
bool ListToStore(LauncherSettings& settings, const MakeList& makeList, std::vector<WideString>* locations) {
    settings.Load();
    *locations = makeList(settings.UserTable());
    RemoveDuplicateLocations(locations);
    const std::vector<WideString>* stored = settings.UserTable().FindValues(kTemplatesLocationKey);
    if (stored == nullptr || !PathExists(settings.UserFilePath())) return true;
    if (stored->size() != locations->size()) return true;
    for (size_t i = 0; i < locations->size(); ++i)
        if (!(*stored)[i].Equals((*locations)[i])) return true;
    return false;
}

// Records, in one profile's user file, the list that makeList makes from that
// file as it is now. The file is read and written under its update lock, so
// that what other installations record meanwhile is neither lost nor lost by
// them. A file that already holds that list is left alone, unlocked: a
// run with nothing to record needs no write access there.
template <typename MakeList>
void RecordLocked(LauncherProfile profile, const MakeList& makeList) {
    LauncherSettings settings(profile);
    std::vector<WideString> locations;
    if (!ListToStore(settings, makeList, &locations)) return;
    FileUpdateLock lock;
    if (settings.LockUserFile(&lock, kRecordingWaitMilliseconds) != 0)
        throw LauncherWriteError{LauncherWriteError::kCannotCreate};
    if (!ListToStore(settings, makeList, &locations)) return;
    settings.UserTable().SetValues(kTemplatesLocationKey, locations);
    settings.Store();
}

// The profiles RecordInstalledDirectory writes for this proposal, in order.
std::vector<LauncherProfile> RecordedProfiles(const TemplateProposal& proposal) {
    std::vector<LauncherProfile> profiles;
    if (!proposal.listFromAlternativeProfile) profiles.push_back(LauncherProfile::Main);
    if (proposal.alternativeProfilePresent) profiles.push_back(LauncherProfile::Alternative);
    return profiles;
}

// The list for one profile: the installed directory (empty when it cannot
// be recorded) first, then what others recorded in the file since the
// proposal, then the proposal's list.
std::vector<WideString> RecordedList(const LauncherConfig& user, const WideString& location,
                                     const TemplateProposal& proposal, LauncherProfile profile) {
    const std::vector<WideString>& listedBefore =
        profile == LauncherProfile::Main ? proposal.mainListed : proposal.alternativeListed;
    std::vector<WideString> list;
    if (!location.Empty()) list.push_back(location);
    for (const WideString& added : LocationsNotIn(ListedLocations(user), listedBefore)) list.push_back(added);
    list.insert(list.end(), proposal.locations.begin(), proposal.locations.end());
    return list;
}

LauncherFileRecording Failed(const WideString& path, int systemErrno) {
    return {path, LauncherFileAction::Failed, systemErrno != 0 ? systemErrno : EIO};
}

// Where the recording would write: an empty or unusable location, or a
// home directory that is not there (it is never made), fails before any look.
int RecordingRefusal(const WideString& location) {
    if (location.Empty() || ContainsControlCharacter(location)) return EINVAL;
    const WideString home = LauncherSettings::HomeDirectory();
    if (home.Empty() || !IsExistingDirectory(home)) return ENOENT;
    return 0;
}

LauncherFileRecording RecordInProfile(const WideString& location, const TemplateProposal& proposal,
                                      LauncherProfile profile, bool write) {
    const WideString path = LauncherSettings(profile).UserFilePath();
    const auto makeList = [&](const LauncherConfig& user) { return RecordedList(user, location, proposal, profile); };
    try {
        LauncherSettings settings(profile);
        std::vector<WideString> locations;
        if (!ListToStore(settings, makeList, &locations)) return {path, LauncherFileAction::Unchanged, 0};
        const LauncherFileAction action =
            PathExists(path) ? LauncherFileAction::Updated : LauncherFileAction::Created;
        ClearLastFileError();
        if (!write) {
            if (IsExistingDirectory(path)) return Failed(path, EISDIR);
            WideString directory = ParentDirectory(path);
            while (!directory.Empty() && !IsExistingDirectory(directory)) directory = ParentDirectory(directory);
            if (!IsDirectoryWritable(directory)) return Failed(path, GetLastFileErrno() != 0 ? GetLastFileErrno() : EACCES);
            return {path, action, 0};
        }
        RecordLocked(profile, makeList);
        return {path, action, 0};
    } catch (const LauncherWriteError&) {
        // The file could not be written.
    } catch (const std::exception&) {
        // Out of memory, or a text too long to build: not recorded either.
    }
    return Failed(path, GetLastFileErrno());
}

std::vector<LauncherFileRecording> RecordInFiles(const WideString& installedDirectory,
                                                 const TemplateProposal& proposal, bool write) {
    const WideString location = LocationOfInstalledDirectory(installedDirectory);
    const int refusal = RecordingRefusal(location);
    std::vector<LauncherFileRecording> recordings;
    for (const LauncherProfile profile : RecordedProfiles(proposal)) {
        // Nothing new is recorded then, so nothing is written: a launcher
        // file that did not exist must not appear empty.
        if (refusal != 0) recordings.push_back(Failed(LauncherSettings(profile).UserFilePath(), refusal));
        else recordings.push_back(RecordInProfile(location, proposal, profile, write));
    }
    return recordings;
}

}  // namespace

void RecordTemplateLocations(const std::vector<WideString>& list, LauncherProfile profile) {
    RecordLocked(profile, [&list](const LauncherConfig&) { return list; });
}

std::vector<WideString> RecordedLauncherFiles(const TemplateProposal& proposal) {
    std::vector<WideString> files;
    for (const LauncherProfile profile : RecordedProfiles(proposal)) files.push_back(LauncherSettings(profile).UserFilePath());
    return files;
}

const char* LauncherFileActionName(LauncherFileAction action) {
    switch (action) {
        case LauncherFileAction::Unchanged: return "unchanged";
        case LauncherFileAction::Updated: return "updated";
        case LauncherFileAction::Created: return "created";
        case LauncherFileAction::Failed: return "failed";
        case LauncherFileAction::Skipped: return "skipped";
    }
    return "failed";
}

std::vector<LauncherFileRecording> RecordInstalledDirectoryInFiles(const WideString& installedDirectory,
                                                                   const TemplateProposal& proposal) {
    return RecordInFiles(installedDirectory, proposal, true);
}

std::vector<LauncherFileRecording> PlanInstalledDirectoryRecording(const WideString& installedDirectory,
                                                                   const TemplateProposal& proposal) {
    return RecordInFiles(installedDirectory, proposal, false);
}

WideString RecordInstalledDirectory(const WideString& installedDirectory, const TemplateProposal& proposal) {
    // An empty location, or one with a control character (which a line of
    // the file cannot hold), would record a directory that was not
    // installed into: the main file is named as not recorded.
    if (RecordingRefusal(LocationOfInstalledDirectory(installedDirectory)) == EINVAL)
        return LauncherSettings::MainUserFile();
    for (const LauncherFileRecording& recording : RecordInstalledDirectoryInFiles(installedDirectory, proposal))
        if (recording.action == LauncherFileAction::Failed) return recording.path;
    return WideString();
}

}  // namespace tpl
