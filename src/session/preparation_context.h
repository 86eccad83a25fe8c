#pragma once
// The second line under a preparation error that a user can act on: where
// the kit was looked for, or which temporary directory is too small and by
// how much.
#include <cstdint>
#include <string>
#include "text/cow_string.h"

namespace tpl {

// For IDS_ERROR_NOSOURCE the folder the kit was looked for in; for
// IDS_ERROR_NOSPACE the temporary directory, with the space the kit needs
// there and the space free when both can be measured; empty for any other
// error or when nothing is known. kitPath as the preparation gave it.
WideString PreparationErrorContext(const char* errorTextId, const WideString& kitPath);

// The catalog text of errorTextId (UTF-8) in language languageId, naming
// the kit file that was given: every language's kit texts name the usual
// file, which is not the one a run given another kit looked for. Null when
// the language lacks the text.
std::string KitErrorText(int32_t languageId, const char* errorTextId, const WideString& kitPath);

}  // namespace tpl
