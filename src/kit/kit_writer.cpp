#include "kit/kit_writer.h"

#include <zlib.h>
#include <cstring>
#include "fs/file_io.h"
#include "kit/kit_inflate.h"
#include "kit/kit_trailer.h"

namespace tpl {

struct KitWriterStream {
    z_stream zs;
    unsigned char out[0x10000];
};

KitStreamWriter::KitStreamWriter() = default;

KitStreamWriter::~KitStreamWriter() {
    Abandon();
}

void KitStreamWriter::Abandon() noexcept {
    if (stream_ != nullptr) {
        deflateEnd(&stream_->zs);
        delete stream_;
        stream_ = nullptr;
    }
    file_.Discard();
}

uint32_t KitStreamWriter::Open(const WideString& path, int level) {
    Abandon();
    if (level < 0 || level > 9) return ERROR_INVALID_PARAMETER;
    bodySize_ = kitSize_ = 0;
    crc_ = static_cast<uint32_t>(crc32(0, nullptr, 0));
    const uint32_t code = file_.Open(path);
    if (code != 0) return code;
    stream_ = new KitWriterStream;
    std::memset(&stream_->zs, 0, sizeof stream_->zs);
    if (deflateInit2(&stream_->zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        delete stream_;
        stream_ = nullptr;
        Abandon();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

uint32_t KitStreamWriter::Deflate(int flush) {
    z_stream& zs = stream_->zs;
    int status = Z_OK;
    do {
        zs.next_out = stream_->out;
        zs.avail_out = sizeof stream_->out;
        status = deflate(&zs, flush);
        if (status == Z_STREAM_ERROR) return ERROR_INVALID_PARAMETER;
        const uint32_t produced = static_cast<uint32_t>(sizeof stream_->out - zs.avail_out);
        const uint32_t code = WriteAll(file_.Handle(), stream_->out, produced);
        if (code != 0) return code;
        kitSize_ += produced;
    } while (zs.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    return 0;
}

uint32_t KitStreamWriter::Write(const void* data, uint32_t size) {
    if (stream_ == nullptr) return ERROR_INVALID_HANDLE;
    if (size > kKitMaxBodySize - bodySize_) return ERROR_INVALID_PARAMETER;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    crc_ = static_cast<uint32_t>(crc32(crc_, bytes, size));
    bodySize_ += size;
    stream_->zs.next_in = const_cast<Bytef*>(bytes);
    stream_->zs.avail_in = size;
    return Deflate(Z_NO_FLUSH);
}

uint32_t KitStreamWriter::Finish(bool withTrailer) {
    if (stream_ == nullptr) return ERROR_INVALID_HANDLE;
    stream_->zs.next_in = nullptr;
    stream_->zs.avail_in = 0;
    uint32_t code = Deflate(Z_FINISH);
    if (code != 0) return code;
    if (withTrailer) {
        ByteVector trailer;
        AppendKitTrailer(trailer, KitTrailer{static_cast<uint32_t>(bodySize_), crc_});
        code = WriteAll(file_.Handle(), trailer.data(), static_cast<uint32_t>(trailer.size()));
        if (code != 0) return code;
        kitSize_ += trailer.size();
    }
    if (kitSize_ > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
    deflateEnd(&stream_->zs);
    delete stream_;
    stream_ = nullptr;
    code = file_.Commit();
    file_.Discard();
    return code;
}

}  // namespace tpl
