#pragma once
// Conversions between the program's 16-bit text and the C library's multibyte
// text in the encoding of the locale selected once at start-up.
#include "text/cow_string.h"

namespace tpl {

// Selects the environment's locale for the whole process (setlocale(LC_ALL, "")).
// Called once from main before any thread starts; the conversions never call
// setlocale themselves, so both threads may convert at once.
void InitProcessLocale();

NarrowString ToNarrow(const WideString& text);
// ToNarrow that tells an unconvertible text (false) from an empty one.
bool ToNarrowChecked(const WideString& text, NarrowString* out);
WideString ToWide(const NarrowString& text);

// Convenience for C strings coming from the C library.
WideString ToWide(const char* zeroTerminated);

}  // namespace tpl
