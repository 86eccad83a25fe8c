#pragma once
// Incremental decoding of the locale's multibyte encoding into 16-bit units,
// for text that arrives in chunks of arbitrary size.
#include <climits>
#include <cstddef>
#include <cwchar>
#include "text/cow_string.h"

// A character whose bytes are split across two chunks is completed from the
// next chunk. A byte that is not valid in the locale's encoding is decoded as
// the Latin-1 character of the same value: that keeps every byte of a file
// written in a legacy 8-bit encoding as a character instead of dropping it.
// NUL bytes are dropped (a 0 unit would end the text at every conversion).
// Characters above U+FFFF become a UTF-16 surrogate pair.
class MultibyteDecoder {
public:
    MultibyteDecoder() noexcept;
    // Appends the units of bytes (after any tail carried from the last call).
    void Decode(const char* bytes, size_t count, WideString* out);
    // End of input: an incomplete trailing sequence is decoded byte by byte
    // as Latin-1.
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
