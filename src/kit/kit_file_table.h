#pragma once
// The file table of an unpacked kit, kept compact: the records stay in the
// unpacked body and are read back when asked for. Memory holds only the
// position of every kStride-th record and of the last one read, so a kit of
// many entries costs no more memory than one of few.
#include <cstdint>
#include <vector>
#include "kit/kit_body_reader.h"
#include "kit/kit_format.h"

namespace tpl {

class KitFileTable {
public:
    // Records between two remembered positions, skipped by their length
    // words when an entry is asked for out of order.
    static constexpr uint32_t kStride = 32;

    uint32_t Count() const noexcept { return count_; }

    // Entry index, its data offset absolute in the body, read from reader
    // (over the body the table was read from). In table order each entry
    // costs one record's read from the reader's buffer. Throws
    // KitReadFailure: ERROR_INVALID_PARAMETER for an index beyond the table,
    // ERROR_INVALID_DATA when the body no longer holds the record.
    KitFileEntry Entry(KitBodyReader& reader, uint32_t index);
    void Clear() noexcept;

    // While the table is read: the next entry's record starts at position.
    void Add(uint64_t recordPosition);
    // After the last record: the body's size and where its data area starts.
    void Finish(uint64_t bodySize, uint32_t dataStart) noexcept;

private:
    std::vector<uint32_t> checkpoints_;  // records 0, kStride, 2 kStride, ...
    uint32_t count_ = 0;
    uint32_t dataStart_ = 0;
    uint64_t bodySize_ = 0;
    uint32_t cursorIndex_ = 0;  // the last entry read, where its record starts
    uint64_t cursorPosition_ = 0;
    bool cursorValid_ = false;
};

}  // namespace tpl
