#include "kit/kit_inflate.h"

#include <zlib.h>
#include <cstring>
#include <memory>
#include "fs/file_io.h"
#include "kit/kit_file_util.h"
#include "kit/kit_reader.h"

uint32_t WriteAll(FileHandle handle, const unsigned char* data, uint32_t count) {
    while (count > 0) {
        uint32_t written = 0;
        const uint32_t code = FileWrite(handle, data, count, &written, nullptr);
        if (code == 0) return 0;
        // A short write (disk nearly full) is retried for the rest; the retry
        // then reports the real cause.
        if (written == 0 || written > count) return code != 0 ? code : ERROR_CANTWRITE;
        data += written;
        count -= written;
    }
    return 0;
}

namespace {

class InflateStream {
public:
    InflateStream() { std::memset(&stream_, 0, sizeof stream_); }
    ~InflateStream() {
        if (initialised_) inflateEnd(&stream_);
    }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    bool Init() {
        initialised_ = inflateInit2(&stream_, -15) == Z_OK;
        return initialised_;
    }
    z_stream& Get() noexcept { return stream_; }

private:
    z_stream stream_;
    bool initialised_ = false;
};

// Reads the last trailer-sized bytes of the kit; true when they carry the
// magic. Only then is the body's CRC worth computing.
bool ReadTrailerCandidate(FileHandle kit, uint64_t kitSize, KitTrailer* trailer) {
    if (kitSize < kKitTrailerSize) return false;
    const uint64_t at = kitSize - kKitTrailerSize;
    if (FileSeek(kit, static_cast<uint32_t>(at), static_cast<int32_t>(at >> 32), FILE_BEGIN) < 0) return false;
    unsigned char bytes[kKitTrailerSize];
    uint32_t got = 0;
    if (FileRead(kit, bytes, kKitTrailerSize, &got, nullptr) != 0 || got != kKitTrailerSize) return false;
    return DecodeKitTrailer(bytes, trailer);
}

struct InflateProgress {
    int status = Z_OK;
    uint64_t produced = 0;
    uint64_t streamEnd = 0;  // kit offset of the first byte after the stream
    uLong crc = 0;
};

// Feeds one mapped window to zlib and writes every 32 KiB of output at once.
uint32_t InflateWindow(z_stream& stream, const unsigned char* window, uint32_t length, uint64_t offset,
                       FileHandle output, unsigned char* buffer, uint64_t maxBodySize, bool wantCrc,
                       InflateProgress& progress) {
    stream.next_in = const_cast<Bytef*>(window);
    stream.avail_in = length;
    do {
        stream.next_out = buffer;
        stream.avail_out = kKitWindowSize;
        progress.status = inflate(&stream, Z_NO_FLUSH);
        if (progress.status == Z_BUF_ERROR && stream.avail_in == 0) progress.status = Z_OK;
        const uint32_t produced = kKitWindowSize - stream.avail_out;
        if (produced > maxBodySize - progress.produced) return ERROR_INVALID_DATA;
        progress.produced += produced;
        if (wantCrc) progress.crc = crc32(progress.crc, buffer, produced);
        const uint32_t code = WriteAll(output, buffer, produced);
        if (code != 0) return code;
    } while (progress.status == Z_OK && stream.avail_out == 0);
    if (progress.status == Z_STREAM_END) progress.streamEnd = offset + (length - stream.avail_in);
    return 0;
}

uint32_t InflateOpenKit(FileHandle kit, FileHandle output, uint64_t maxBodySize, KitInflateResult* result) {
    const int64_t end = FileSeek(kit, 0, 0, FILE_END);
    if (end < 0) return GetLastFileError();
    const uint64_t kitSize = static_cast<uint64_t>(end);
    if (kitSize > 0xFFFFFFFFu) return ERROR_INVALID_DATA;

    KitTrailer trailer;
    const bool trailerCandidate = ReadTrailerCandidate(kit, kitSize, &trailer);
    InflateStream stream;
    if (!stream.Init()) return kKitErrorNotEnoughMemory;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kKitWindowSize]);
    InflateProgress progress;
    for (uint64_t offset = 0; offset < kitSize && progress.status != Z_STREAM_END; offset += kKitWindowSize) {
        const uint32_t length = static_cast<uint32_t>(
            kitSize - offset < kKitWindowSize ? kitSize - offset : kKitWindowSize);
        MappedWindow window;
        uint32_t code = window.Map(kit, offset, length);
        if (code != 0) return code;
        code = InflateWindow(stream.Get(), window.Data(), length, offset, output, buffer.get(), maxBodySize,
                             trailerCandidate, progress);
        if (code != 0) return code;
        if (progress.status < 0) return ERROR_INVALID_DATA;
    }
    if (progress.status < 0) return ERROR_INVALID_DATA;
    if (result != nullptr) result->bodySize = progress.produced;
    // The trailer counts only when it follows the stream directly and ends the file.
    if (trailerCandidate && progress.status == Z_STREAM_END && progress.streamEnd + kKitTrailerSize == kitSize) {
        if (trailer.bodyLength != progress.produced || trailer.bodyCrc != progress.crc) return ERROR_INVALID_DATA;
        if (result != nullptr) result->trailer = KitTrailerState::Verified;
    }
    return 0;
}

}  // namespace

uint32_t InflateKit(const WideString& kitPath, const WideString& outputPath, uint64_t maxBodySize,
                    KitInflateResult* result) {
    if (result != nullptr) *result = KitInflateResult();
    UniqueFileHandle kit;
    uint32_t code = FileOpen(kitPath, GENERIC_READ, 0, OPEN_EXISTING, kit.OutPtr(),
                             FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL);
    if (code != 0) return code;
    UniqueFileHandle output;
    code = FileOpen(outputPath, GENERIC_WRITE, 0, CREATE_ALWAYS, output.OutPtr(), FILE_ATTRIBUTE_NORMAL);
    if (code != 0) return code;
    code = InflateOpenKit(kit.Get(), output.Get(), maxBodySize, result);
    if (code != 0) return code;
    // The output may have held an older, longer file.
    code = FileTruncate(output.Get());
    if (code != 0) return code;
    return output.Reset();
}

uint32_t InflateKitToFile(const WideString& kitPath, const WideString& outputPath) {
    return InflateKit(kitPath, outputPath, kKitMaxBodySize, nullptr);
}
