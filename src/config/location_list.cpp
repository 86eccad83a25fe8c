#include "config/location_list.h"

#include "text/text_helpers.h"

namespace tpl {

namespace {

WideString ComparisonForm(const WideString& location) {
    if (location.Empty() || location.EndsWith(u'/') || location.EndsWith(u'\\')) return location;
    return location + u"/";
}

bool HasForm(const std::vector<WideString>& forms, const WideString& form) {
    for (const WideString& other : forms)
        if (CompareNoCase(other, form) == 0) return true;
    return false;
}

}  // namespace

void RemoveDuplicateLocations(std::vector<WideString>* locations) {
    std::vector<WideString> kept;
    std::vector<WideString> keptForms;
    for (const WideString& location : *locations) {
        WideString form = ComparisonForm(location);
        if (HasForm(keptForms, form)) continue;
        kept.push_back(location);
        keptForms.push_back(form);
    }
    locations->swap(kept);
}

std::vector<WideString> LocationsNotIn(const std::vector<WideString>& locations, const std::vector<WideString>& known) {
    std::vector<WideString> knownForms;
    for (const WideString& location : known) knownForms.push_back(ComparisonForm(location));
    std::vector<WideString> unknown;
    for (const WideString& location : locations)
        if (!HasForm(knownForms, ComparisonForm(location))) unknown.push_back(location);
    return unknown;
}

std::vector<WideString> ListedLocations(const LauncherConfig& table) {
    const std::vector<WideString>* values = table.FindValues(kTemplatesLocationKey);
    std::vector<WideString> listed;
    if (values != nullptr) listed = *values;
    for (WideString& location : listed) ReplaceAll(location, u"\\", u"/");
    return listed;
}

}  // namespace tpl
