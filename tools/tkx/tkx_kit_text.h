#pragma once
// How tkx shows a kit's texts and times, as lines and as JSON.
#include <nlohmann/json.hpp>
#include <string>
#include "fs/file_types.h"
#include "kit/kit_reader.h"
#include "text/cow_string.h"

namespace tpl {

// A kit text in the locale's encoding, for lines on a terminal.
std::string LocaleText(const WideString& text);

// ISO 8601 in UTC, "2020-09-13T12:26:40Z"; 64-bit seconds, so times past
// 2038 print as they are.
std::string IsoTime(FILETIME time);

// The languages with their texts, in UTF-8 whatever the locale.
nlohmann::ordered_json LanguagesJson(const KitReader& reader);
// One entry: its name as stored, size and write time.
nlohmann::ordered_json EntryJson(const KitFileEntry& entry);

// The document, indented, with a final newline.
std::string JsonText(const nlohmann::ordered_json& document);

}  // namespace tpl
