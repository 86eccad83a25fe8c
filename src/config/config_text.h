#pragma once
// Conversion and comparison of the launcher file's keys and values.
//
// ToNarrow converts unit by unit, so it cannot write a character above
// U+FFFF (a surrogate pair), and it returns an empty text for any character
// the locale cannot represent; CompareNoCase would then find every two such
// texts equal. The launcher file must round-trip byte for byte and must not
// lose values to a false match, so this layer converts through these helpers.
#include "text/cow_string.h"

// The text in the locale's multibyte encoding, surrogate pairs combined.
// False when a character cannot be represented (a lone surrogate, or one the
// locale's encoding lacks); out is then unspecified. A 0 unit ends the text.
bool NarrowConfigText(const WideString& text, NarrowString* out);

// strcasecmp of both texts in the locale's encoding, as CompareNoCase; a text
// that cannot be converted compares by its units, never as empty.
int CompareConfigText(const WideString& a, const WideString& b);
