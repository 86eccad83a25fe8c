#pragma once
// How tkx shows a kit's texts on a terminal; the JSON and the plan's lines
// are the kit layer's (kit/kit_plan.h).
#include <nlohmann/json.hpp>
#include <string>
#include "fs/file_types.h"
#include "kit/kit_plan.h"
#include "kit/kit_reader.h"
#include "text/cow_string.h"

namespace tpl {

// A kit text in the locale's encoding, for lines on a terminal.
std::string LocaleText(const WideString& text);

}  // namespace tpl
