#pragma once
// The system's texts (its reasons for a failure, the toolkit's own texts) in
// the language of the catalog's texts.
#include <cstdint>

namespace tpl {

// The name the system's message catalogs know the catalog language by:
// "zh_CN" for the simplified Chinese of "zh", "en" for a code whose texts
// are the English ones ("ar"), the code itself otherwise.
const char* SystemLanguageName(int32_t languageId);

// The system's reasons and the toolkit's texts follow the catalog's current
// language (English where the system lacks it). Before the toolkit starts
// and before any other thread exists.
void FollowCatalogLanguageInSystemTexts();

}  // namespace tpl
