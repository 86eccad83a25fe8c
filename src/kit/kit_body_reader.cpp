#include "kit/kit_body_reader.h"

#include <cstring>
#include "fs/file_io.h"

namespace tpl {

void MemoryBodyReader::ReadExact(unsigned char* out, uint32_t count) {
    if (size_ - position_ < count) throw KitReadFailure{ERROR_INVALID_DATA};
    if (count != 0) std::memcpy(out, data_ + position_, count);
    position_ += count;
}

void MemoryBodyReader::Skip(uint64_t count) {
    if (size_ - position_ < count) throw KitReadFailure{ERROR_INVALID_DATA};
    position_ += count;
}

BufferedFileBodyReader::BufferedFileBodyReader(FileHandle handle)
    : handle_(handle), buffer_(new unsigned char[kBufferSize]) {}

void BufferedFileBodyReader::Refill() {
    uint32_t got = 0;
    const uint32_t code = FileReadAt(handle_, position_, buffer_.get(), kBufferSize, &got);
    if (code != 0) throw KitReadFailure{code};
    if (got == 0) throw KitReadFailure{ERROR_INVALID_DATA};
    bufferStart_ = position_;
    begin_ = 0;
    end_ = got;
}

void BufferedFileBodyReader::ReadExact(unsigned char* out, uint32_t count) {
    while (count > 0) {
        if (begin_ == end_) Refill();
        const uint32_t take = end_ - begin_ < count ? end_ - begin_ : count;
        std::memcpy(out, buffer_.get() + begin_, take);
        begin_ += take;
        out += take;
        count -= take;
        position_ += take;
    }
}

void BufferedFileBodyReader::Seek(uint64_t position) {
    // Within the buffer (a record read back again, the next record) no
    // read is needed; elsewhere the next read refills from there. The end
    // of the body is detected by that read.
    if (position >= bufferStart_ && position - bufferStart_ <= end_) {
        begin_ = static_cast<uint32_t>(position - bufferStart_);
    } else {
        begin_ = end_ = 0;
    }
    position_ = position;
}

}  // namespace tpl
