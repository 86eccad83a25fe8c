#pragma once
// Texts for standard error and standard output, in the locale's encoding.
#include <cstdint>
#include <string>
#include <vector>
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

// The language the terminal is spoken to in: the catalog's current one
// where the locale's encoding can show it, else English.
int32_t ConsoleLanguage();
// The catalog text of id in ConsoleLanguage (UTF-8; "" when unknown).
std::string ConsoleCatalogUtf8(const char* id);

// A message for standard error, in the locale's encoding, without a final
// line feed: prose (UTF-8) followed by the paths it names. width 0 (a pipe
// or a file): one line. Otherwise (a terminal of width columns) one line
// when it fits, else the prose wrapped and each path whole on a line of its
// own. A line of prose that ends in a full-width colon takes its path
// without a space. Control characters are shown escaped.
std::string ConsoleMessage(const std::string& prose, const std::vector<WideString>& paths, size_t width);

// One piece of a longer message: a sentence or a label, and the path it
// names (may be empty).
struct ConsolePiece {
    std::string prose;
    WideString path;
};
// A message of several pieces: width 0, all on one line; otherwise each
// piece laid out as ConsoleMessage does, one after the other.
std::string ConsoleMessage(const std::vector<ConsolePiece>& pieces, size_t width);

// An error for standard error: "tplsetup: PATH: WHAT: REASON", the empty
// parts left out, WHAT without its own final stop or colon and joined to
// REASON by the language's separator (WHAT and REASON UTF-8, in
// ConsoleLanguage). With a width, as ConsoleMessage lays out a message whose
// path comes last.
std::string ErrorLine(const WideString& path, const std::string& what, const std::string& reason,
                      size_t width = 0);

}  // namespace tpl
