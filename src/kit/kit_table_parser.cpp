#include "kit/kit_table_parser.h"

#include "kit/kit_body_codec.h"
#include "kit/kit_entry_names.h"

namespace tpl {

namespace {

constexpr uint32_t kFileFixedFieldsSize = 16;  // write time, offset, size
constexpr uint32_t kMinFileRecordSize = 4 + 4 + kFileFixedFieldsSize;

class TableParser {
public:
    TableParser(KitBodyReader& reader, uint64_t bodySize, uint64_t budget)
        : reader_(reader), bodySize_(bodySize), budget_(budget) {}

    uint64_t Position() const noexcept { return reader_.Position(); }
    uint64_t BodySize() const noexcept { return bodySize_; }

    // Fails unless count more bytes lie before limit.
    void Require(uint64_t count, uint64_t limit) const {
        const uint64_t position = reader_.Position();
        if (position > limit || limit - position < count) throw KitReadFailure{ERROR_INVALID_DATA};
    }

    uint32_t ReadU32(uint64_t limit) {
        Require(4, limit);
        unsigned char bytes[4];
        reader_.ReadExact(bytes, 4);
        return DecodeU32(bytes);
    }

    FILETIME ReadFileTime(uint64_t limit) {
        const uint64_t low = ReadU32(limit);
        const uint64_t high = ReadU32(limit);
        return high << 32 | low;
    }

    // Counts bytes of the tables against their budget.
    void Charge(uint64_t bytes) {
        if (bytes > budget_) throw KitReadFailure{ERROR_INVALID_DATA};
        budget_ -= bytes;
    }
    uint64_t Budget() const noexcept { return budget_; }

    // A kept text is charged to the budget; a file name is not kept.
    WideString ReadCountedString(uint64_t limit, uint32_t maxUnits, bool kept = true) {
        const uint32_t units = ReadU32(limit);
        if (units > maxUnits) throw KitReadFailure{ERROR_INVALID_DATA};
        Require(uint64_t{units} * 2, limit);
        if (kept) Charge(uint64_t{units} * 2);
        WideString text;
        if (units == 0) return text;
        text.Resize(units);
        char16_t* out = text.MutableData();
        unsigned char chunk[4096];
        uint32_t left = units;
        while (left > 0) {
            const uint32_t take = left < sizeof chunk / 2 ? left : static_cast<uint32_t>(sizeof chunk / 2);
            reader_.ReadExact(chunk, take * 2);
            for (uint32_t i = 0; i < take; ++i) *out++ = static_cast<char16_t>(chunk[2 * i] | chunk[2 * i + 1] << 8);
            left -= take;
        }
        return text;
    }

    // Reads a record's length word; returns the position where its content ends.
    uint64_t BeginRecord() {
        const uint32_t length = ReadU32(bodySize_);
        if (length < 4) throw KitReadFailure{ERROR_INVALID_DATA};
        Require(length - 4, bodySize_);
        return reader_.Position() + (length - 4);
    }

    void EndRecord(uint64_t recordEnd) { reader_.Skip(recordEnd - reader_.Position()); }

private:
    KitBodyReader& reader_;
    uint64_t bodySize_;
    uint64_t budget_;
};

KitLanguageEntry ReadLanguageTexts(TableParser& parser, uint64_t limit, bool withCode) {
    parser.Charge(sizeof(KitLanguageEntry));
    KitLanguageEntry entry;
    entry.code = withCode ? parser.ReadCountedString(limit, kKitMaxTextUnits) : WideString(u"en");
    entry.product = parser.ReadCountedString(limit, kKitMaxTextUnits);
    entry.vendor = parser.ReadCountedString(limit, kKitMaxTextUnits);
    entry.descriptionPath = parser.ReadCountedString(limit, kKitMaxTextUnits);
    return entry;
}

void ReadLanguageSection(TableParser& parser, std::vector<KitLanguageEntry>& languages) {
    const uint64_t bodyEnd = parser.BodySize();
    const uint32_t flag = parser.ReadU32(bodyEnd);
    if (flag == 0) {
        languages.push_back(ReadLanguageTexts(parser, bodyEnd, false));
        return;
    }
    const uint32_t count = parser.ReadU32(bodyEnd);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t recordEnd = parser.BeginRecord();
        KitLanguageEntry entry = ReadLanguageTexts(parser, recordEnd, true);
        parser.EndRecord(recordEnd);
        languages.push_back(std::move(entry));
    }
}

KitFileEntry ReadRecordFields(TableParser& parser, uint64_t recordEnd) {
    KitFileEntry entry;
    entry.name = parser.ReadCountedString(recordEnd, kKitMaxNameBytes, false);
    entry.writeTime = parser.ReadFileTime(recordEnd);
    entry.dataOffset = parser.ReadU32(recordEnd);
    entry.dataSize = parser.ReadU32(recordEnd);
    parser.EndRecord(recordEnd);
    return entry;
}

void ReadFileTable(TableParser& parser, KitFileTable& files, std::vector<uint64_t>& pathHashes, uint64_t seed,
                   uint64_t* dataEnd) {
    const uint64_t bodyEnd = parser.BodySize();
    const uint32_t count = parser.ReadU32(bodyEnd);
    // A count can claim more records than the body holds or the budget
    // allows; reserve only what both leave room for.
    uint64_t fitting = (bodyEnd - parser.Position()) / kMinFileRecordSize;
    if (fitting > parser.Budget() / kKitFileEntryBytes) fitting = parser.Budget() / kKitFileEntryBytes;
    pathHashes.reserve(count < fitting ? count : fitting);
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t position = parser.Position();
        const uint64_t recordEnd = parser.BeginRecord();
        parser.Charge(kKitFileEntryBytes);
        const KitFileEntry entry = ReadRecordFields(parser, recordEnd);
        if (!IsInstallableEntryName(entry.name)) throw KitReadFailure{ERROR_INVALID_DATA};
        pathHashes.push_back(EntryPathHash(entry.name, seed));
        files.Add(position);
        const uint64_t end = uint64_t{entry.dataOffset} + entry.dataSize;
        if (end > *dataEnd) *dataEnd = end;
    }
}

}  // namespace

KitFileEntry ReadFileRecord(KitBodyReader& reader, uint64_t bodySize) {
    TableParser parser(reader, bodySize, UINT64_MAX);
    return ReadRecordFields(parser, parser.BeginRecord());
}

void SkipFileRecord(KitBodyReader& reader, uint64_t bodySize) {
    TableParser parser(reader, bodySize, 0);
    parser.EndRecord(parser.BeginRecord());
}

void ReadKitTables(KitBodyReader& reader, uint64_t bodySize, std::vector<KitLanguageEntry>& languages,
                   KitFileTable& files, uint32_t* dataStart, uint64_t maxTableBytes) {
    if (bodySize > 0xFFFFFFFFu) throw KitReadFailure{ERROR_INVALID_DATA};
    files.Clear();
    TableParser parser(reader, bodySize, maxTableBytes);
    ReadLanguageSection(parser, languages);
    std::vector<uint64_t> pathHashes;
    const uint64_t seed = EntryPathHashSeed();
    uint64_t dataEnd = 0;
    ReadFileTable(parser, files, pathHashes, seed, &dataEnd);
    const uint64_t start = parser.Position();
    if (dataEnd > bodySize - start) throw KitReadFailure{ERROR_INVALID_DATA};
    files.Finish(bodySize, static_cast<uint32_t>(start));
    if (HasRepeatedEntry(files, reader, pathHashes) || HasFileUsedAsDirectory(files, reader, std::move(pathHashes), seed))
        throw KitReadFailure{ERROR_INVALID_DATA};
    *dataStart = static_cast<uint32_t>(start);
}

}  // namespace tpl
