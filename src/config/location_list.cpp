#include "config/location_list.h"

#include "text/text_helpers.h"

namespace tpl {

namespace {

WideString ComparisonForm(const WideString& location) {
    if (location.Empty() || location.EndsWith(u'/') || location.EndsWith(u'\\')) return location;
    return location + u"/";
}

}  // namespace

void RemoveDuplicateLocations(std::vector<WideString>* locations) {
    std::vector<WideString> kept;
    std::vector<WideString> keptForms;
    for (const WideString& location : *locations) {
        WideString form = ComparisonForm(location);
        bool seen = false;
        for (const WideString& earlier : keptForms) {
            if (CompareNoCase(earlier, form) == 0) {
                seen = true;
                break;
            }
        }
        if (seen) continue;
        kept.push_back(location);
        keptForms.push_back(form);
    }
    locations->swap(kept);
}

}  // namespace tpl
