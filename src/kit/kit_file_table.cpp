#include "kit/kit_file_table.h"

#include "kit/kit_table_parser.h"

namespace tpl {

void KitFileTable::Clear() noexcept {
    checkpoints_.clear();
    checkpoints_.shrink_to_fit();
    count_ = 0;
    dataStart_ = 0;
    bodySize_ = 0;
    cursorValid_ = false;
}

void KitFileTable::Add(uint64_t recordPosition) {
    // Positions fit in 32 bits: the tables lie before the data, in a body
    // of at most 4 GiB.
    if (count_ % kStride == 0) checkpoints_.push_back(static_cast<uint32_t>(recordPosition));
    ++count_;
}

void KitFileTable::Finish(uint64_t bodySize, uint32_t dataStart) noexcept {
    bodySize_ = bodySize;
    dataStart_ = dataStart;
    cursorValid_ = false;
}

KitFileEntry KitFileTable::Entry(KitBodyReader& reader, uint32_t index) {
    if (index >= count_) throw KitReadFailure{ERROR_INVALID_PARAMETER};
    uint32_t at = index / kStride * kStride;
    uint64_t position = checkpoints_[index / kStride];
    if (cursorValid_ && index >= cursorIndex_ && index - cursorIndex_ < kStride) {
        at = cursorIndex_;
        position = cursorPosition_;
    }
    reader.Seek(position);
    while (at < index) {
        SkipFileRecord(reader, bodySize_);
        ++at;
    }
    cursorValid_ = false;
    cursorPosition_ = reader.Position();
    KitFileEntry entry = ReadFileRecord(reader, bodySize_);
    // Checked when the table was read; checked again because the body is
    // a file that outlives that check.
    if (uint64_t{entry.dataOffset} + entry.dataSize > bodySize_ - dataStart_) throw KitReadFailure{ERROR_INVALID_DATA};
    entry.dataOffset += dataStart_;
    cursorIndex_ = index;
    cursorValid_ = true;
    return entry;
}

}  // namespace tpl
