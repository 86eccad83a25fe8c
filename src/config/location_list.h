#pragma once
// Duplicate removal shared by collecting and recording template locations.
#include <vector>
#include "text/cow_string.h"

namespace tpl {

// Keeps the first of every group of locations that are equal under
// CompareNoCase once each is given a trailing "/" (unless it is empty or
// already ends in "/" or "\"). The kept elements keep their own text.
void RemoveDuplicateLocations(std::vector<WideString>* locations);

}  // namespace tpl
