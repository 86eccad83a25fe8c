#include "kit/kit_raw_inflater.h"

#include <isa-l/igzip_lib.h>

namespace tpl {

struct RawInflater::State {
    inflate_state stream;
};

RawInflater::RawInflater(bool computeCrc) : state_(new State) {
    isal_inflate_init(&state_->stream);
    // The gzip flavour without header or trailer is raw deflate with the
    // gzip CRC-32 (the same as zlib's crc32) folded into the decoding.
    state_->stream.crc_flag = computeCrc ? ISAL_GZIP_NO_HDR : ISAL_DEFLATE;
}

RawInflater::~RawInflater() = default;

void RawInflater::SetInput(const unsigned char* data, uint32_t length) noexcept {
    state_->stream.next_in = const_cast<uint8_t*>(data);
    state_->stream.avail_in = length;
}

RawInflateState RawInflater::Inflate(unsigned char* out, uint32_t capacity, uint32_t* produced) noexcept {
    inflate_state& stream = state_->stream;
    stream.next_out = out;
    stream.avail_out = capacity;
    const int status = isal_inflate(&stream);
    *produced = capacity - stream.avail_out;
    if (status < 0) return RawInflateState::Damaged;
    return stream.block_state == ISAL_BLOCK_FINISH ? RawInflateState::End : RawInflateState::More;
}

uint32_t RawInflater::InputLeft() const noexcept {
    const inflate_state& stream = state_->stream;
    // The decoder holds up to eight bytes of input in its bit buffer; at the
    // end of the stream the whole bytes among them belong to what follows.
    if (stream.block_state == ISAL_BLOCK_FINISH)
        return stream.avail_in + static_cast<uint32_t>(stream.read_in_length / 8);
    return stream.avail_in;
}

uint32_t RawInflater::Crc() const noexcept {
    return state_->stream.crc;
}

}  // namespace tpl
