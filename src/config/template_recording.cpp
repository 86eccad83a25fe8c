// Recording the installed template directory first in the launcher's list.
#include "config/template_locations.h"

#include <exception>
#include "config/location_list.h"
#include "fs/file_update_lock.h"
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

}  // namespace

namespace {

// How long a recording waits for others that record in the same file: each
// holds it for a read and a write.
constexpr uint32_t kRecordingWaitMilliseconds = 10000;

// Records, in one profile's user file, the list that makeList makes from that
// file as it is now. The file is read and written under its update lock, so
// that what other installations record meanwhile is neither lost nor lost by them.
template <typename MakeList>
void RecordLocked(LauncherProfile profile, const MakeList& makeList) {
    LauncherSettings settings(profile);
    FileUpdateLock lock;
    if (settings.LockUserFile(&lock, kRecordingWaitMilliseconds) != 0)
        throw LauncherWriteError{LauncherWriteError::kCannotCreate};
    settings.Load();
    std::vector<WideString> locations = makeList(settings.UserTable());
    RemoveDuplicateLocations(&locations);
    settings.UserTable().SetValues(kTemplatesLocationKey, locations);
    settings.Store();
}

}  // namespace

void RecordTemplateLocations(const std::vector<WideString>& list, LauncherProfile profile) {
    RecordLocked(profile, [&list](const LauncherConfig&) { return list; });
}

namespace {

// The profile's user file when recording fails, else empty. The installed
// directory (empty when it cannot be recorded) goes first, then what others
// recorded in the file since the proposal, then the proposal's list.
WideString RecordInProfile(const WideString& location, const TemplateProposal& proposal, LauncherProfile profile) {
    const std::vector<WideString>& listedBefore =
        profile == LauncherProfile::Main ? proposal.mainListed : proposal.alternativeListed;
    try {
        RecordLocked(profile, [&](const LauncherConfig& user) {
            std::vector<WideString> list;
            if (!location.Empty()) list.push_back(location);
            for (const WideString& added : LocationsNotIn(ListedLocations(user), listedBefore)) list.push_back(added);
            list.insert(list.end(), proposal.locations.begin(), proposal.locations.end());
            return list;
        });
        return WideString();
    } catch (const LauncherWriteError&) {
        // The file could not be written.
    } catch (const std::exception&) {
        // Out of memory, or a text too long to build: not recorded either.
    }
    return LauncherSettings(profile).UserFilePath();
}

}  // namespace

WideString RecordInstalledDirectory(const WideString& installedDirectory, const TemplateProposal& proposal) {
    WideString location = LocationOfInstalledDirectory(installedDirectory);
    // An empty location, or one with a control character (which a line of
    // the file cannot hold), would record a directory that was not
    // installed into. Nothing new is recorded then, so nothing is written:
    // a launcher file that did not exist must not appear empty.
    if (location.Empty() || ContainsControlCharacter(location)) return LauncherSettings::MainUserFile();

    WideString failed;
    if (!proposal.listFromAlternativeProfile) failed = RecordInProfile(location, proposal, LauncherProfile::Main);
    if (proposal.alternativeProfilePresent) {
        const WideString alternative = RecordInProfile(location, proposal, LauncherProfile::Alternative);
        if (failed.Empty()) failed = alternative;
    }
    return failed;
}

}  // namespace tpl
