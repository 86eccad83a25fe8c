// Recording the installed template directory first in the launcher's list.
#include "config/template_locations.h"

#include "config/location_list.h"

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

void RecordInstalledDirectory(const WideString& installedDirectory, const TemplateProposal& proposal) {
    std::vector<WideString> list = proposal.locations;
    WideString location = LocationOfInstalledDirectory(installedDirectory);
    // An empty location, or one with a line feed (which the file cannot
    // hold), would record a directory that was not installed into.
    if (!location.Empty() && location.Find(u'\n') == WideString::npos) list.insert(list.begin(), location);

    // Each profile is recorded on its own: a failure in one must not keep
    // the other from learning the directory.
    if (!proposal.listFromAlternativeProfile) {
        try {
            RecordTemplateLocations(list, LauncherProfile::Main);
        } catch (...) {
        }
    }
    if (proposal.alternativeProfilePresent) {
        try {
            RecordTemplateLocations(list, LauncherProfile::Alternative);
        } catch (...) {
        }
    }
}
