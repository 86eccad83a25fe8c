#pragma once
// Paths between the program's 16-bit text and the file system's bytes, in
// any locale.
//
// Bytes are decoded by the locale; a byte that the locale cannot decode
// becomes the unit U+DC00 + byte, a lone surrogate that no decoded character
// can produce, so every name the file system holds comes back as the same
// bytes. Encoding reverses this. A path holding a character that the locale
// cannot encode is written as UTF-8 as a whole (the toolkit's encoding and
// that of today's file systems): a directory typed under the C locale still
// gets the name the user typed, never a shortened or empty one.
#include <cstddef>
#include "text/cow_string.h"

namespace tpl {

// Cut at the first 0 unit. Empty when the path holds a lone surrogate that
// is not an escaped byte.
NarrowString PathToBytes(const WideString& path);
WideString PathFromBytes(const char* bytes, size_t length);
WideString PathFromBytes(const char* zeroTerminated);
// True when the path holds an escaped byte (a name the locale cannot decode).
bool HasEscapedBytes(const WideString& path);

}  // namespace tpl
