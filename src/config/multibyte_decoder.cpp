#include "config/multibyte_decoder.h"

#include <cstring>

namespace {

void AppendCodePoint(WideString* out, uint32_t code) {
    if (code > 0xFFFF && code <= 0x10FFFF) {
        code -= 0x10000;
        out->Append(static_cast<char16_t>(0xD800 + (code >> 10)));
        out->Append(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
        out->Append(static_cast<char16_t>(code));
    }
}

void AppendLatin1(WideString* out, char byte) {
    out->Append(static_cast<char16_t>(static_cast<unsigned char>(byte)));
}

}  // namespace

MultibyteDecoder::MultibyteDecoder() noexcept : state_() {}

void MultibyteDecoder::Decode(const char* bytes, size_t count, WideString* out) {
    // Fill the buffer behind the carried tail piece by piece, so a caller may
    // hand over chunks larger than the buffer.
    while (count > 0) {
        size_t room = kBufferSize - carried_;
        size_t take = count < room ? count : room;
        std::memcpy(buffer_ + carried_, bytes, take);
        bytes += take;
        count -= take;
        DecodeBuffered(carried_ + take, out);
    }
}

void MultibyteDecoder::DecodeBuffered(size_t length, WideString* out) {
    size_t pos = 0;
    carried_ = 0;
    while (pos < length) {
        wchar_t wide = 0;
        std::mbstate_t before = state_;
        size_t used = std::mbrtowc(&wide, buffer_ + pos, length - pos, &state_);
        if (used == static_cast<size_t>(-2)) {
            if (length - pos < kCarryMax) {
                // Incomplete character at the end: decode it again, whole,
                // once the next chunk has arrived.
                state_ = before;
                carried_ = length - pos;
                std::memmove(buffer_, buffer_ + pos, carried_);
                return;
            }
            used = static_cast<size_t>(-1);  // longer than any character can be
        }
        if (used == static_cast<size_t>(-1)) {
            state_ = std::mbstate_t();
            AppendLatin1(out, buffer_[pos]);
            ++pos;
        } else if (used == 0) {
            ++pos;  // the NUL byte
        } else {
            AppendCodePoint(out, static_cast<uint32_t>(wide));
            pos += used;
        }
    }
}

void MultibyteDecoder::Finish(WideString* out) {
    for (size_t i = 0; i < carried_; ++i) {
        if (buffer_[i] != '\0') AppendLatin1(out, buffer_[i]);
    }
    carried_ = 0;
    state_ = std::mbstate_t();
}
