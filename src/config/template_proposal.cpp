// Choosing the template directory to propose from what the launcher knows.
#include "config/template_locations.h"
#include "fs/file_creation_probe.h"
#include "fs/file_finder.h"
#include "fs/path_ops.h"
#include "fs/temp_names.h"

#include "config/location_list.h"
#include "fs/path_times.h"
#include "text/path_bytes.h"
#include "text/text_helpers.h"

namespace tpl {

void CollectTemplateLocations(std::vector<WideString>* list, LauncherProfile profile) {
    list->clear();
    LauncherSettings settings(profile);
    settings.Load();
    for (const LauncherConfig* table : {&settings.UserTable(), &settings.CommonTable()}) {
        const std::vector<WideString> listed = ListedLocations(*table);
        list->insert(list->end(), listed.begin(), listed.end());
    }
    RemoveDuplicateLocations(list);
}

namespace {

std::vector<WideString> ListedInUserFile(LauncherProfile profile) {
    LauncherConfig user;
    user.ReadFile(LauncherSettings(profile).UserFilePath());
    return ListedLocations(user);
}

uint32_t ProbeDirectoryWritable(const WideString& directory) {
    // An empty location, or one no file system can spell (it converts to an
    // empty path), would put the probe file in the root directory.
    if (directory.Empty() || PathToBytes(directory).Empty()) return ERROR_CANTWRITE;
    // Merely proposing a directory must leave it as it was, even when the
    // program is killed meanwhile: a file without a name changes nothing.
    const uint32_t probed = ProbeFileCreation(directory);
    if (probed != ERROR_NOT_SUPPORTED) return probed;
    // Elsewhere the probe adds and removes an entry; the times it changes
    // are put back.
    PathTimes times;
    const bool timed = GetPathTimes(directory, &times) == ERROR_SUCCESS;
    WideString probe;
    const uint32_t made = MakeTempFileName(directory, u"Vq", &probe);
    if (made != ERROR_SUCCESS) return made;
    DeleteFilePath(probe);
    if (timed) SetPathTimes(directory, times);
    return ERROR_SUCCESS;
}

}  // namespace

bool IsDirectoryWritable(const WideString& directory, uint32_t* refusal) {
    const uint32_t code = ProbeDirectoryWritable(directory);
    if (refusal != nullptr) *refusal = code;
    return code == ERROR_SUCCESS;
}

WideString GetDefaultTemplateBase() {
    return LauncherSettings::ProductBaseDirectory() + u"Vq" + u"/" + u"qbx4" + u"/";
}

TemplateProposal ProposeTemplateDirectory() {
    TemplateProposal proposal;
    proposal.alternativeProfilePresent = PathExists(LauncherSettings::AlternativeUserFile());
    proposal.mainListed = ListedInUserFile(LauncherProfile::Main);
    proposal.alternativeListed = ListedInUserFile(LauncherProfile::Alternative);
    // The main profile wins whenever its file exists, even with no locations.
    if (PathExists(LauncherSettings::MainUserFile())) {
        CollectTemplateLocations(&proposal.locations, LauncherProfile::Main);
    } else if (proposal.alternativeProfilePresent) {
        CollectTemplateLocations(&proposal.locations, LauncherProfile::Alternative);
        proposal.listFromAlternativeProfile = !proposal.locations.empty();
    }
    for (const WideString& location : proposal.locations) {
        if (IsDirectoryWritable(location)) {
            proposal.directory = location;
            return proposal;
        }
    }
    proposal.directory = GetDefaultTemplateBase() + u"tmplts" + u"/";
    return proposal;
}

WideString CleanProposedDirectory(const WideString& directory) {
    WideString cleaned = directory;
    for (const char16_t* remote : {u"http://", u"https://", u"ftp://"}) {
        if (cleaned.Contains(remote)) cleaned = WideString();
    }
    uint32_t scheme = cleaned.Find(WideString(u"file://"));
    if (scheme != WideString::npos) cleaned.Erase(scheme, 7);
    ReplaceAll(cleaned, u"\\", u"/");
    ReplaceAll(cleaned, u"\n", u"");
    ReplaceAll(cleaned, u"\r", u"");
    return cleaned;
}

}  // namespace tpl
