#include "kit/kit_raw_inflater.h"

#include <zlib.h>
#include <cstring>
#include <new>

namespace tpl {

struct RawInflater::State {
    z_stream stream;
    bool computeCrc = false;
    bool ended = false;
    uLong crc = 0;
};

RawInflater::RawInflater(bool computeCrc) : state_(new State) {
    std::memset(&state_->stream, 0, sizeof state_->stream);
    if (inflateInit2(&state_->stream, -15) != Z_OK) throw std::bad_alloc();
    state_->computeCrc = computeCrc;
}

RawInflater::~RawInflater() {
    inflateEnd(&state_->stream);
}

void RawInflater::SetInput(const unsigned char* data, uint32_t length) noexcept {
    state_->stream.next_in = const_cast<Bytef*>(data);
    state_->stream.avail_in = length;
}

RawInflateState RawInflater::Inflate(unsigned char* out, uint32_t capacity, uint32_t* produced) noexcept {
    z_stream& stream = state_->stream;
    if (state_->ended) {
        *produced = 0;
        return RawInflateState::End;
    }
    stream.next_out = out;
    stream.avail_out = capacity;
    const int status = inflate(&stream, Z_NO_FLUSH);
    *produced = capacity - stream.avail_out;
    if (state_->computeCrc) state_->crc = crc32(state_->crc, out, *produced);
    if (status == Z_STREAM_END) {
        state_->ended = true;
        return RawInflateState::End;
    }
    // Z_BUF_ERROR only says that no progress was possible: more input is due.
    if (status == Z_OK || status == Z_BUF_ERROR) return RawInflateState::More;
    return RawInflateState::Damaged;
}

uint32_t RawInflater::InputLeft() const noexcept {
    return state_->stream.avail_in;
}

uint32_t RawInflater::Crc() const noexcept {
    return static_cast<uint32_t>(state_->crc);
}

}  // namespace tpl
