#pragma once
// The system's texts (its reasons for a failure, the toolkit's own texts) in
// the language of the catalog's texts.
#include <cstdint>
#include "text/cow_string.h"

namespace tpl {

// The name the system's message catalogs know the catalog language by:
// "zh_CN" for the simplified Chinese of "zh", "en" for a code whose texts
// are the English ones ("ar"), the code itself otherwise.
const char* SystemLanguageName(int32_t languageId);

// The system's reasons and the toolkit's texts follow the catalog's current
// language (English where the system lacks it). Before the toolkit starts
// and before any other thread exists.
void FollowCatalogLanguageInSystemTexts();

// What the program says about errno err (UTF-8): its own words in the
// language for the reasons an installation meets (no space, no permission,
// a read-only file system, ...), since the system lacks several of its
// languages; the system's words (SystemErrorText) for any other; empty for 0.
NarrowString ReasonTextIn(int32_t languageId, int err);
// The same in the catalog's current language.
NarrowString ReasonText(int err);

}  // namespace tpl
