// Recording the installed template directory first in the launcher's list.
#include "config/template_locations.h"

#include <exception>
#include "config/location_list.h"
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

void RecordTemplateLocations(const std::vector<WideString>& list, LauncherProfile profile) {
    LauncherSettings settings(profile);
    settings.Load();
    std::vector<WideString> locations = list;
    RemoveDuplicateLocations(&locations);
    settings.UserTable().SetValues(kTemplatesLocationKey, locations);
    settings.Store();
}

namespace {

// The profile's user file when recording fails, else empty.
WideString RecordInProfile(const std::vector<WideString>& list, LauncherProfile profile) {
    try {
        RecordTemplateLocations(list, profile);
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
    std::vector<WideString> list = proposal.locations;
    WideString location = LocationOfInstalledDirectory(installedDirectory);
    // An empty location, or one with a control character (which a line of
    // the file cannot hold), would record a directory that was not
    // installed into. Nothing new is recorded then, so nothing is written:
    // a launcher file that did not exist must not appear empty.
    if (location.Empty() || ContainsControlCharacter(location)) return LauncherSettings::MainUserFile();
    list.insert(list.begin(), location);

    WideString failed;
    if (!proposal.listFromAlternativeProfile) failed = RecordInProfile(list, LauncherProfile::Main);
    if (proposal.alternativeProfilePresent) {
        const WideString alternative = RecordInProfile(list, LauncherProfile::Alternative);
        if (failed.Empty()) failed = alternative;
    }
    return failed;
}

}  // namespace tpl
