#pragma once
// A streaming raw-deflate decoder (no zlib or gzip wrapper) with an optional
// CRC-32 of its output. Two builds: ISA-L's inflate where the library was
// found at configure time (two to three times zlib's speed on x86-64), zlib's
// otherwise; both behave the same to the caller.
#include <cstdint>
#include <memory>

namespace tpl {

enum class RawInflateState {
    More,     // needs more input or more output room
    End,      // the final block has been decoded
    Damaged,  // the stream is not valid deflate
};

class RawInflater {
public:
    // Throws std::bad_alloc when the decoder's state cannot be allocated.
    explicit RawInflater(bool computeCrc);
    ~RawInflater();
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;

    // The next piece of the stream; the caller keeps it alive until it has
    // been consumed (InputLeft() == 0) or the stream has ended.
    void SetInput(const unsigned char* data, uint32_t length) noexcept;
    // Decodes into out; *produced is the number of bytes written there.
    // Call again while the state is More and out was filled completely.
    RawInflateState Inflate(unsigned char* out, uint32_t capacity, uint32_t* produced) noexcept;
    // Bytes of the last input not consumed; after End, exactly those that
    // follow the stream (bits the decoder read ahead are given back).
    uint32_t InputLeft() const noexcept;
    // CRC-32 of everything produced (0 unless computeCrc was set).
    uint32_t Crc() const noexcept;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tpl
