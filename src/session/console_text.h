#pragma once
// Texts for standard error and standard output, in the locale's encoding.
#include <cstdint>
#include <string>
#include "text/cow_string.h"

namespace tpl {

// The catalog text of id in the current language. When the locale's encoding
// cannot express it (a German text under the C locale), the English text,
// which is plain ASCII, rather than an empty line.
NarrowString ConsoleCatalogText(const char* id);

// True when the locale's encoding can show every catalog text of the
// language (German under Latin-1, not under C or KOI8-R).
bool ConsoleShowsLanguage(int32_t languageId);

// A UTF-8 text of the program in the locale's encoding; englishFallback (ASCII)
// when the locale cannot express it.
NarrowString ConsoleText(const char* utf8, const char* englishFallback);

// A path as the file system spells it (in the locale's encoding where the
// locale can spell it), as a file listing shows it.
NarrowString ConsolePath(const WideString& path);

// One line for standard error: "tplsetup: PATH: WHAT: REASON", the empty
// parts left out, WHAT without its final "." or ":", control characters
// escaped. REASON is the system's UTF-8 text (SystemErrorText). No line feed.
std::string ErrorLine(const WideString& path, const NarrowString& what, const NarrowString& reason);

}  // namespace tpl
