#include "config/multibyte_decoder.h"

#include <cstring>
#include "text/path_bytes.h"
#include "text/utf8.h"

namespace tpl {

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

void AppendEscaped(WideString* out, char byte) {
    out->Append(static_cast<char16_t>(kRawByteEscape + static_cast<unsigned char>(byte)));
}

// True when the character decoded from bytes encodes back to exactly them;
// otherwise writing it would change the file.
bool EncodesBack(wchar_t wide, const char* bytes, size_t count) {
    char again[MB_LEN_MAX];
    std::mbstate_t state{};
    const size_t length = std::wcrtomb(again, wide, &state);
    return length == count && std::memcmp(again, bytes, count) == 0;
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
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
        if (used == 0 || used == static_cast<size_t>(-1) || !IsUnicodeScalar(static_cast<uint32_t>(wide)) ||
            !EncodesBack(wide, buffer_ + pos, used)) {
            state_ = std::mbstate_t();
            AppendEscaped(out, buffer_[pos]);
            ++pos;
        } else {
            AppendCodePoint(out, static_cast<uint32_t>(wide));
            pos += used;
        }
    }
}

void MultibyteDecoder::Finish(WideString* out) {
    for (size_t i = 0; i < carried_; ++i) {
        AppendEscaped(out, buffer_[i]);
    }
    carried_ = 0;
    state_ = std::mbstate_t();
}

namespace {
// True when units[index] is an escaped byte (not the second half of a pair).
bool IsEscapedRawByte(const char16_t* units, uint32_t index) {
    const char16_t unit = units[index];
    return unit >= kRawByteEscape && unit <= kRawByteEscape + 0xFF && (index == 0 || !IsHighSurrogate(units[index - 1]));
}
}  // namespace

bool EncodeConfigText(const WideString& text, NarrowString* out) {
    const char16_t* units = text.Data();
    const uint32_t length = text.Length();
    uint32_t runStart = 0;
    for (uint32_t i = 0; i <= length; ++i) {
        if (i < length && !IsEscapedRawByte(units, i)) continue;
        if (i > runStart) {
            // Spelled as a path is given to the file system, so that a
            // recorded directory names the bytes it was created with.
            const NarrowString run = PathToBytes(WideString(units + runStart, i - runStart));
            if (run.Empty()) return false;
            out->Append(run);
        }
        if (i < length) out->Append(static_cast<char>(units[i] - kRawByteEscape));
        runStart = i + 1;
    }
    return true;
}

}  // namespace tpl
