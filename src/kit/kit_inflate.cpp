#include "kit/kit_inflate.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/mapped_window.h"
#include "fs/unique_file_handle.h"
#include "kit/kit_raw_inflater.h"
#include "kit/kit_reader.h"

namespace tpl {

namespace {

// Reads up to size bytes of the kit at offset into bytes; the count read.
uint32_t ReadKitBytes(FileHandle kit, uint64_t offset, unsigned char* bytes, uint32_t size) {
    if (FileSeek(kit, static_cast<uint32_t>(offset), static_cast<int32_t>(offset >> 32), FILE_BEGIN) < 0) return 0;
    uint32_t got = 0;
    return FileRead(kit, bytes, size, &got, nullptr) == 0 ? got : 0;
}

// Reads the last trailer-sized bytes of the kit; true when they carry the
// magic. Only then is the body's CRC worth computing.
bool ReadTrailerCandidate(FileHandle kit, uint64_t kitSize, KitTrailer* trailer) {
    if (kitSize < kKitTrailerSize) return false;
    unsigned char bytes[kKitTrailerSize];
    return ReadKitBytes(kit, kitSize - kKitTrailerSize, bytes, kKitTrailerSize) == kKitTrailerSize &&
           DecodeKitTrailer(bytes, trailer);
}

// True when the bytes after the stream begin like a trailer: its magic, or
// as much of it as there is room for.
bool TailBeginsLikeTrailer(FileHandle kit, uint64_t streamEnd, uint64_t kitSize) {
    const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(kitSize - streamEnd, sizeof kKitTrailerMagic));
    unsigned char bytes[sizeof kKitTrailerMagic];
    return ReadKitBytes(kit, streamEnd, bytes, length) == length && std::memcmp(bytes, kKitTrailerMagic, length) == 0;
}

struct InflateProgress {
    RawInflateState state = RawInflateState::More;
    uint64_t produced = 0;
    uint64_t streamEnd = 0;  // kit offset of the first byte after the stream
};

// Writes the inflated buffers on a thread of its own, in order, so that
// inflating the next buffer (one core) overlaps copying the last one into
// the file (the other). Without a thread it writes each buffer at once.
class BufferWriter {
public:
    explicit BufferWriter(FileHandle output) : output_(output) {
        for (auto& buffer : storage_) {
            buffer.reset(new unsigned char[kKitOutputBufferSize]);
            free_.push_back(buffer.get());
        }
        try {
            thread_ = std::thread(&BufferWriter::WriteInTurn, this);
        } catch (const std::system_error&) {
            // Written by the inflating thread instead.
        }
    }
    ~BufferWriter() { (void)Finish(); }
    BufferWriter(const BufferWriter&) = delete;
    BufferWriter& operator=(const BufferWriter&) = delete;

    // A buffer to fill, once the writer has given one back.
    unsigned char* Take() {
        std::unique_lock<std::mutex> lock(lock_);
        changed_.wait(lock, [this] { return !free_.empty(); });
        unsigned char* buffer = free_.back();
        free_.pop_back();
        return buffer;
    }
    // Hands size bytes of a taken buffer over for writing; the first failure
    // of a write so far, or 0.
    uint32_t Write(unsigned char* buffer, uint32_t size) {
        if (!thread_.joinable()) {
            const uint32_t code = failure_ != 0 ? failure_ : WriteAll(output_, buffer, size);
            if (failure_ == 0) failure_ = code;
            free_.push_back(buffer);
            return failure_;
        }
        std::lock_guard<std::mutex> lock(lock_);
        full_.emplace_back(buffer, size);
        changed_.notify_all();
        return failure_;
    }
    // Waits until every buffer is written; the first failure, or 0, with
    // its cause the calling thread's last error (as if it had written).
    uint32_t Finish() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(lock_);
                finished_ = true;
                changed_.notify_all();
            }
            thread_.join();
            if (failure_ != 0) SetLastFileErrno(failureErrno_);
        }
        return failure_;
    }

private:
    static constexpr int kBuffers = 3;

    void WriteInTurn() {
        std::unique_lock<std::mutex> lock(lock_);
        for (;;) {
            changed_.wait(lock, [this] { return finished_ || !full_.empty(); });
            if (full_.empty()) return;
            const std::pair<unsigned char*, uint32_t> next = full_.front();
            full_.pop_front();
            const bool write = failure_ == 0;
            lock.unlock();
            const uint32_t code = write ? WriteAll(output_, next.first, next.second) : 0;
            const int cause = code != 0 ? GetLastFileErrno() : 0;
            lock.lock();
            if (failure_ == 0) {
                failure_ = code;
                failureErrno_ = cause;
            }
            free_.push_back(next.first);
            changed_.notify_all();
        }
    }

    FileHandle output_;
    std::unique_ptr<unsigned char[]> storage_[kBuffers];
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<unsigned char*> free_;
    std::deque<std::pair<unsigned char*, uint32_t>> full_;
    bool finished_ = false;
    uint32_t failure_ = 0;  // read by the inflating thread under lock_, or alone
    int failureErrno_ = 0;
    std::thread thread_;
};

// Feeds one mapped window to the decoder and hands every buffer of output to the writer.
uint32_t InflateWindow(RawInflater& inflater, const unsigned char* window, uint32_t length, uint64_t offset,
                       BufferWriter& writer, uint64_t maxBodySize, InflateProgress& progress) {
    inflater.SetInput(window, length);
    uint32_t produced = 0;
    do {
        unsigned char* buffer = writer.Take();
        progress.state = inflater.Inflate(buffer, kKitOutputBufferSize, &produced);
        if (produced > maxBodySize - progress.produced) {
            (void)writer.Write(buffer, 0);
            return ERROR_INVALID_DATA;
        }
        progress.produced += produced;
        if (writer.Write(buffer, produced) != 0) return writer.Finish();
    } while (progress.state == RawInflateState::More && produced == kKitOutputBufferSize);
    if (progress.state == RawInflateState::End) progress.streamEnd = offset + (length - inflater.InputLeft());
    return 0;
}

bool ObserverStops(KitLoadObserver* observer, uint64_t done, uint64_t total) {
    return observer != nullptr && !observer->OnUnpackProgress(done, total);
}

uint32_t InflateOpenKit(FileHandle kit, FileHandle output, uint64_t maxBodySize, KitInflateResult* result,
                        KitLoadObserver* observer) {
    const int64_t end = FileSeek(kit, 0, 0, FILE_END);
    if (end < 0) return GetLastFileError();
    const uint64_t kitSize = static_cast<uint64_t>(end);
    if (kitSize > 0xFFFFFFFFu) return ERROR_INVALID_DATA;
    if (ObserverStops(observer, 0, kitSize)) return ERROR_CANCELLED;

    KitTrailer trailer;
    const bool trailerCandidate = ReadTrailerCandidate(kit, kitSize, &trailer);
    RawInflater inflater(trailerCandidate);
    BufferWriter writer(output);
    InflateProgress progress;
    for (uint64_t offset = 0; offset < kitSize && progress.state == RawInflateState::More; offset += kKitWindowSize) {
        const uint32_t length =
            static_cast<uint32_t>(kitSize - offset < kKitWindowSize ? kitSize - offset : kKitWindowSize);
        MappedWindow window;
        uint32_t code = window.Map(kit, offset, length);
        if (code != 0) return code;
        code = InflateWindow(inflater, window.Data(), length, offset, writer, maxBodySize, progress);
        if (code != 0) return code;
        if (progress.state == RawInflateState::Damaged) return ERROR_INVALID_DATA;
        const uint64_t done = offset + length;
        if (done % kKitProgressStep == 0 && ObserverStops(observer, done, kitSize)) return ERROR_CANCELLED;
    }
    const uint32_t written = writer.Finish();
    if (written != 0) return written;
    if (result != nullptr) result->bodySize = progress.produced;
    // A trailer follows the stream directly and ends the file. A kit may
    // come without one, and a writer may append other bytes, which are
    // ignored; but bytes after a trailer, a trailer cut short or set apart
    // from the stream, or a stream cut short before it, are damage.
    const bool ended = progress.state == RawInflateState::End;
    if (trailerCandidate && ended && progress.streamEnd + kKitTrailerSize == kitSize) {
        if (trailer.bodyLength != progress.produced || trailer.bodyCrc != inflater.Crc()) return ERROR_INVALID_DATA;
        if (result != nullptr) result->trailer = KitTrailerState::Verified;
    } else if (trailerCandidate ||
               (ended && progress.streamEnd < kitSize && TailBeginsLikeTrailer(kit, progress.streamEnd, kitSize))) {
        return ERROR_INVALID_DATA;
    }
    if (ObserverStops(observer, kitSize, kitSize)) return ERROR_CANCELLED;
    return 0;
}

// 0 when no version is expected or the open kit is that version.
uint32_t CheckKitVersion(FileHandle kit, const FileVersion* expected) {
    if (expected == nullptr) return 0;
    FileVersion now;
    const uint32_t code = GetFileVersion(kit, &now);
    if (code != 0) return code;
    return now == *expected ? 0 : ERROR_FILE_INVALID;
}

}  // namespace

uint32_t InflateKit(const WideString& kitPath, const WideString& outputPath, uint64_t maxBodySize,
                    KitInflateResult* result, KitLoadObserver* observer, const FileVersion* expectedKit) {
    if (result != nullptr) *result = KitInflateResult();
    UniqueFileHandle kit;
    uint32_t code = FileOpen(kitPath, GENERIC_READ, 0, OPEN_EXISTING, kit.OutPtr(),
                             FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL);
    if (code != 0) return code;
    // The kit whose signature was checked, not one put in its place or
    // written to since, before or while it is unpacked: a kit is unpacked
    // only as it was checked.
    code = CheckKitVersion(kit.Get(), expectedKit);
    if (code != 0) return code;
    UniqueFileHandle output;
    code = FileOpen(outputPath, GENERIC_WRITE, 0, CREATE_ALWAYS, output.OutPtr(), FILE_ATTRIBUTE_NORMAL);
    if (code != 0) return code;
    try {
        code = InflateOpenKit(kit.Get(), output.Get(), maxBodySize, result, observer);
    } catch (const std::bad_alloc&) {
        code = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (code == 0) code = CheckKitVersion(kit.Get(), expectedKit);
    if (code != 0) return code;
    // The output may have held an older, longer file.
    code = FileTruncate(output.Get());
    if (code != 0) return code;
    return output.Reset();
}

uint32_t InflateKitToFile(const WideString& kitPath, const WideString& outputPath) {
    return InflateKit(kitPath, outputPath, kKitMaxBodySize, nullptr);
}

}  // namespace tpl
