#pragma once
// Incremental decoding of the locale's multibyte encoding into 16-bit units,
// for text that arrives in chunks of arbitrary size.
#include <climits>
#include <cstddef>
#include <cwchar>
#include "text/cow_string.h"

namespace tpl {

// A byte that the text cannot hold as a character of the locale becomes an
// escape unit: kRawByteEscape plus the byte's value. That is a lone low
// surrogate, which no decoding yields, so EncodeConfigText can turn it back
// into the very byte, and a file is written back exactly as it was read in
// any locale.
constexpr char16_t kRawByteEscape = 0xDC00;

// The bytes of text, each escaped byte written as itself and the rest as
// PathToBytes spells it (the locale's encoding, else UTF-8). False when the
// text holds a lone surrogate that is no escaped byte.
bool EncodeConfigText(const WideString& text, NarrowString* out);

// A character whose bytes are split across two chunks is completed from the
// next chunk. A byte that is not valid in the locale's encoding, that starts
// a character which would not encode back to the same bytes, or that is NUL
// (a 0 unit would end the text at every conversion) is escaped, as above.
// Characters above U+FFFF become a UTF-16 surrogate pair.
class MultibyteDecoder {
public:
    MultibyteDecoder() noexcept;
    // Appends the units of bytes (after any tail carried from the last call).
    void Decode(const char* bytes, size_t count, WideString* out);
    // End of input: the bytes of an incomplete trailing sequence are escaped.
    void Finish(WideString* out);

private:
    // Decodes buffer_[0, length); keeps an incomplete tail in buffer_.
    void DecodeBuffered(size_t length, WideString* out);

    static constexpr size_t kCarryMax = MB_LEN_MAX;
    static constexpr size_t kBufferSize = 1024 + kCarryMax;
    std::mbstate_t state_;
    char buffer_[kBufferSize];
    size_t carried_ = 0;
};

}  // namespace tpl
