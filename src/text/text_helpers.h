#pragma once
// Integer formatting, text replacement, path conventions and the
// case-insensitive comparison shared by the configuration and the kit.
#include <cstdint>
#include "text/cow_string.h"

namespace tpl {

WideString FromInteger(int32_t value, uint32_t radix);
// Replaces every non-overlapping occurrence of what by with, left to right.
// Returns the number of replacements.
int32_t ReplaceAll(WideString& subject, const WideString& what, const WideString& with);

bool PathIsRoot(const WideString& path);
bool PathEqualsLiteral(const WideString& path, const char16_t* literal);
// The path with "/" appended unless it is exactly "/" or already ends with
// "/" or "\".
WideString WithSeparator(const WideString& path);
// Every "\" replaced by "/".
WideString WithForwardSlashes(const WideString& path);

// Both sides through ToNarrow, then strcasecmp; 0 means equal.
int CompareNoCase(const WideString& a, const WideString& b);

}  // namespace tpl
