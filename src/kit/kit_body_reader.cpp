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
    const uint32_t code = FileRead(handle_, buffer_.get(), kBufferSize, &got, nullptr);
    if (code != 0) throw KitReadFailure{code};
    if (got == 0) throw KitReadFailure{ERROR_INVALID_DATA};
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

void BufferedFileBodyReader::Skip(uint64_t count) {
    const uint32_t buffered = end_ - begin_;
    if (count <= buffered) {
        begin_ += static_cast<uint32_t>(count);
        position_ += count;
        return;
    }
    // Jump past the buffer; the end of the body is detected by the next read.
    const uint64_t target = position_ + count;
    begin_ = end_ = 0;
    if (FileSeek(handle_, static_cast<uint32_t>(target), static_cast<int32_t>(target >> 32), FILE_BEGIN) < 0)
        throw KitReadFailure{GetLastFileError()};
    position_ = target;
}

}  // namespace tpl
