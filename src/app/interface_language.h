#pragma once
// Keeps everything one run shows in one language: the catalog's texts, the
// system's reasons and the toolkit's own texts.
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

// For a run on a terminal (the headless installation, --help): the catalog's
// current language when the locale's encoding can show every text of it, its
// usage included, else English for the whole run; the system's reasons follow.
void ChooseTerminalLanguage();

}  // namespace tpl
