#pragma once
// Sequential readers of an unpacked kit body. Both throw KitReadFailure:
// ERROR_INVALID_DATA when the body ends before the bytes asked for, or the
// file layer's code when a read fails.
#include <cstdint>
#include <memory>
#include "fs/file_types.h"

namespace tpl {

// Raised while the kit's tables are read, and turned into the loader's
// result code before it leaves the kit layer.
struct KitReadFailure {
    uint32_t code;
};

class KitBodyReader {
public:
    virtual ~KitBodyReader() = default;
    virtual void ReadExact(unsigned char* out, uint32_t count) = 0;
    virtual void Skip(uint64_t count) = 0;
    // Moves to a position from the start of the body; the next read tells
    // whether the body reaches that far.
    virtual void Seek(uint64_t position) = 0;
    // Bytes consumed from the start of the body.
    virtual uint64_t Position() const noexcept = 0;
};

// Over a body held in memory (the caller keeps it alive).
class MemoryBodyReader final : public KitBodyReader {
public:
    MemoryBodyReader(const unsigned char* data, uint64_t size) noexcept : data_(data), size_(size) {}
    void ReadExact(unsigned char* out, uint32_t count) override;
    void Skip(uint64_t count) override;
    void Seek(uint64_t position) override { position_ = position < size_ ? position : size_; }
    uint64_t Position() const noexcept override { return position_; }

private:
    const unsigned char* data_;
    uint64_t size_;
    uint64_t position_ = 0;
};

// Over an open file that holds the body from its first byte: reads through
// the file layer in large blocks so that the many small fields of the tables
// cost one system call per block, not one per field. It reads at its own
// position and leaves the handle's alone, so the file can be copied from
// between its reads.
class BufferedFileBodyReader final : public KitBodyReader {
public:
    static constexpr uint32_t kBufferSize = 0x10000;

    explicit BufferedFileBodyReader(FileHandle handle);
    void ReadExact(unsigned char* out, uint32_t count) override;
    void Skip(uint64_t count) override { Seek(position_ + count); }
    void Seek(uint64_t position) override;
    uint64_t Position() const noexcept override { return position_; }

private:
    void Refill();

    FileHandle handle_;
    std::unique_ptr<unsigned char[]> buffer_;
    uint64_t bufferStart_ = 0;  // body position of buffer_[0]
    uint32_t begin_ = 0;        // next unread byte in buffer_
    uint32_t end_ = 0;          // bytes valid in buffer_
    uint64_t position_ = 0;
};

}  // namespace tpl
