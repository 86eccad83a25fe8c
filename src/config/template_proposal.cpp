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

}  // namespace

bool IsDirectoryWritable(const WideString& directory, uint32_t* refusal) {
    uint32_t unused = 0;
    uint32_t& code = refusal != nullptr ? *refusal : unused;
    // An empty location, or one no file system can spell (it converts to an
    // empty path), would put the probe file in the root directory.
    code = ERROR_CANTWRITE;
    if (directory.Empty() || PathToBytes(directory).Empty()) return false;
    // Merely proposing a directory must leave it as it was, even when the
    // program is killed meanwhile: a file without a name changes nothing.
    code = ProbeFileCreation(directory);
    if (code != ERROR_NOT_SUPPORTED) return code == ERROR_SUCCESS;
    // Elsewhere the probe adds and removes an entry; the times it changes
    // are put back.
    PathTimes times;
    const bool timed = GetPathTimes(directory, &times) == ERROR_SUCCESS;
    WideString probe;
    code = MakeTempFileName(directory, u"Vq", &probe);
    if (code != ERROR_SUCCESS) return false;
    DeleteFilePath(probe);
    if (timed) SetPathTimes(directory, times);
    return true;
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

std::vector<WideString> KnownTemplateDirectories() {
    std::vector<WideString> directories;
    CollectTemplateLocations(&directories, LauncherProfile::Main);
    CollectTemplateLocations(&directories, LauncherProfile::Alternative);
    directories.push_back(GetDefaultTemplateBase() + u"tmplts" + u"/");
    for (WideString& directory : directories) directory = CleanProposedDirectory(directory);
    return directories;
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
