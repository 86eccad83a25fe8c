#pragma once
// Duplicate removal shared by collecting and recording template locations.
#include <vector>
#include "config/launcher_config.h"
#include "text/cow_string.h"

namespace tpl {

// Keeps the first of every group of locations that are equal under
// CompareNoCase once each is given a trailing "/" (unless it is empty or
// already ends in "/" or "\"). The kept elements keep their own text.
void RemoveDuplicateLocations(std::vector<WideString>* locations);
// The locations that are not, by the same rule, among known.
std::vector<WideString> LocationsNotIn(const std::vector<WideString>& locations, const std::vector<WideString>& known);
// The values of the locations key in a table, "\" turned into "/"; empty when it has none.
std::vector<WideString> ListedLocations(const LauncherConfig& table);

}  // namespace tpl
