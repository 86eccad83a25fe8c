#pragma once
// Integer formatting, text replacement, path conventions and the
// case-insensitive comparison shared by the configuration and the kit.
#include <cstdint>
#include <initializer_list>
#include <string>
#include "text/cow_string.h"

namespace tpl {

WideString FromInteger(int32_t value, uint32_t radix);
// Replaces every non-overlapping occurrence of what by with, left to right.
// Returns the number of replacements.
int32_t ReplaceAll(WideString& subject, const WideString& what, const WideString& with);

bool PathIsRoot(const WideString& path);
// The path with "/" appended unless it is exactly "/" or already ends with
// "/" or "\".
WideString WithSeparator(const WideString& path);

// True when the text holds a control character (below U+0020, or U+007F),
// which no line of a settings file and no name a user means can hold.
bool ContainsControlCharacter(const WideString& text);
// The text with each control character written as its escape ("\n", "\t",
// "\r", else "\x" and two lowercase hex digits), so that it can be shown on
// one line: a name can neither break a line, forge one that follows, nor
// drive a terminal. The bytes form escapes the same bytes, whatever the
// encoding, and leaves the others as they are.
WideString EscapeControlCharacters(const WideString& text);
std::string EscapeControlCharacters(const std::string& bytes);
// The same, with "\" itself written "\\", so that every escape reads back
// one way (a log line holding "\n" is then a backslash and an n).
std::string EscapeControlCharactersAndBackslash(const std::string& bytes);

// A catalog pattern with "%1" to "%9" replaced by the arguments, in one pass
// (an argument that holds "%2" stays as it is); a number without an
// argument is left as written.
WideString FormatPattern(const WideString& pattern, std::initializer_list<WideString> arguments);

// Both sides through ToNarrow, then strcasecmp; 0 means equal.
int CompareNoCase(const WideString& a, const WideString& b);

}  // namespace tpl
