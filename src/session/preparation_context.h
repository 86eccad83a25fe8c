#pragma once
// The second line under a preparation error that a user can act on: where
// the kit was looked for, or which temporary directory is too small and by
// how much.
#include <cstdint>
#include <string>
#include "text/cow_string.h"

namespace tpl {

struct PreparationResult;

// The notice of a failed preparation in languageId (UTF-8): its catalog
// text, naming the kit file that was given (or looked for) instead of the
// usual name, and showing a control character of a path escaped.
std::string PreparationErrorTextUtf8(int32_t languageId, const PreparationResult& result);
// The same in the current language.
WideString PreparationErrorText(const PreparationResult& result);

// For IDS_ERROR_NOSOURCE the folder the kit was looked for in, or the
// given kit file itself with its full path; for IDS_ERROR_DAMAGEDSOURCE the
// kit file with its full path; for
// IDS_ERROR_NOSPACE the temporary directory, with the space the kit needs
// there and the space free when both can be measured; empty for any other
// error or when nothing is known. kitPath as the preparation gave it.
WideString PreparationErrorContext(const char* errorTextId, const WideString& kitPath);

}  // namespace tpl
