#pragma once
// Writes kits: the body is streamed through raw deflate into the kit file,
// so memory stays bounded whatever the body's size.
#include <cstdint>
#include "fs/atomic_replace.h"
#include "text/cow_string.h"

namespace tpl {

struct KitWriterStream;  // owns the zlib deflate state

class KitStreamWriter {
public:
    KitStreamWriter();
    // A kit that is not finished leaves the file of its name as it was.
    ~KitStreamWriter();
    KitStreamWriter(const KitStreamWriter&) = delete;
    KitStreamWriter& operator=(const KitStreamWriter&) = delete;

    // Starts the kit that Finish puts in the place of path (or creates
    // there), as a whole; level 0..9.
    [[nodiscard]] uint32_t Open(const WideString& path, int level);
    // Appends body bytes. A body of 4 GiB or more is refused with ERROR_INVALID_PARAMETER.
    [[nodiscard]] uint32_t Write(const void* data, uint32_t size);
    // Ends the deflate stream, appends the integrity trailer when asked and
    // puts the kit in place. A kit file of 4 GiB or more is
    // refused with ERROR_INVALID_PARAMETER.
    [[nodiscard]] uint32_t Finish(bool withTrailer);

    uint64_t BodySize() const noexcept { return bodySize_; }
    uint64_t KitSize() const noexcept { return kitSize_; }

private:
    uint32_t Deflate(int flush);
    void Abandon() noexcept;

    KitWriterStream* stream_ = nullptr;
    ReplacingFile file_;
    uint64_t bodySize_ = 0;
    uint64_t kitSize_ = 0;
    uint32_t crc_ = 0;
};

}  // namespace tpl
