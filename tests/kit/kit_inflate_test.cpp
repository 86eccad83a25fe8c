// Decompression: window boundaries, damaged streams, failing writes and
// mappings, size limits and the integrity trailer.
#include <sys/resource.h>
#include <csignal>
#include <filesystem>
#include "fs/fault_injection.h"
#include "fs/last_error.h"
#include "kit/kit_inflate.h"
#include "kit/kit_reader.h"
#include "support/file_size_limit.h"
#include "support/kit_test_support.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {

// A kit of exactly kitSize bytes whose stream runs to its end: stored blocks
// (level 0) of incompressible data, the data's size adjusted until the
// blocks' headers make the kit come out exact.
WideString WriteKitOfExactSize(const std::string& path, uint32_t kitSize) {
    const std::vector<KitLanguageEntry> languages = {{u"en", u"P", u"V", u""}};
    const ByteVector tables = EncodeKitTables(languages, {{u"f.bin", 0, 0, 0}}, KitTableLayout());
    int64_t dataSize = int64_t{kitSize} - static_cast<int64_t>(tables.size()) - 5 * (kitSize / 0xFFFF + 1);
    for (int attempt = 0; attempt < 8; ++attempt) {
        KitMemoryEntry entry{u"f.bin", 0, NoiseBytes(static_cast<size_t>(dataSize), 9)};
        EXPECT_EQ(WriteKitFromMemory(Wide(path), languages, KitTableLayout(), {entry}, 0, false), 0u);
        const int64_t difference = int64_t{kitSize} - static_cast<int64_t>(fsys::file_size(path));
        if (difference == 0) break;
        dataSize += difference;
    }
    return Wide(path);
}

}  // namespace

TEST_F(KitTest, WindowsOfExactlyOneAndJustOverOneWindow) {
    for (uint32_t size : {kKitWindowSize, kKitWindowSize + 1}) {
        SCOPED_TRACE(size);
        const WideString kit = WriteKitOfExactSize(Path("k.tkx"), size);
        ASSERT_EQ(fsys::file_size(Path("k.tkx")), size);
        KitReader reader;
        ASSERT_EQ(reader.Load(kit), 0u);
        ASSERT_EQ(reader.GetFileEntryCount(), 1u);
        ASSERT_EQ(reader.ExtractEntry(0, WPath("f.bin")), 0u);
        EXPECT_EQ(fsys::file_size(Path("f.bin")), reader.GetFileEntry(0).dataSize);
    }
}

TEST_F(KitTest, OneWindowInflatingToManyOutputBuffers) {
    const std::string zeros(5 * kKitOutputBufferSize + 123, '\0');
    WriteBytes(Path("k.tkx"), DeflateRaw(ByteVector(zeros.begin(), zeros.end())));
    ASSERT_LT(fsys::file_size(Path("k.tkx")), kKitWindowSize);
    ASSERT_EQ(InflateKitToFile(WPath("k.tkx"), WPath("body")), 0u);
    EXPECT_EQ(ReadWholeFile(Path("body")), zeros);
}

TEST_F(KitTest, TrailingBytesAfterTheStreamAreIgnored) {
    WriteSimpleKit("k.tkx", {{u"a.txt", 0, "abc"}}, false);
    std::string kit = ReadWholeFile(Path("k.tkx")) + NoiseBytes(70000, 4);
    WriteBytes(Path("k.tkx"), kit);
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    EXPECT_EQ(reader.GetTrailerState(), KitTrailerState::Absent);
}

TEST_F(KitTest, DamagedOrMissingKitsFailTheLoad) {
    KitReader reader;
    WriteBytes(Path("reserved.tkx"), std::string("\x07"));
    EXPECT_EQ(InflateKitToFile(WPath("reserved.tkx"), WPath("body")), ERROR_INVALID_DATA);
    EXPECT_EQ(reader.Load(WPath("reserved.tkx")), ERROR_INVALID_DATA);
    EXPECT_EQ(reader.Load(WPath("missing.tkx")), ERROR_FILE_NOT_FOUND);

    WriteBytes(Path("empty.tkx"), std::string());
    EXPECT_EQ(InflateKitToFile(WPath("empty.tkx"), WPath("body")), 0u);
    EXPECT_EQ(fsys::file_size(Path("body")), 0u);
    EXPECT_EQ(reader.Load(WPath("empty.tkx")), ERROR_INVALID_DATA);

    // A stream cut short: the body lacks the data its table promises.
    WriteSimpleKit("k.tkx", {{u"a.bin", 0, NoiseBytes(100000, 5)}}, false);
    std::string kit = ReadWholeFile(Path("k.tkx"));
    WriteBytes(Path("k.tkx"), kit.substr(0, kit.size() / 2));
    EXPECT_EQ(reader.Load(WPath("k.tkx")), ERROR_INVALID_DATA);
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

TEST_F(KitTest, KitsAndBodiesOfFourGibibytesAreRefused) {
    WriteSimpleKit("k.tkx", {{u"a.txt", 0, PatternBytes(100000)}});
    KitInflateResult result;
    EXPECT_EQ(InflateKit(WPath("k.tkx"), WPath("body"), 99999, &result), ERROR_INVALID_DATA);
    ASSERT_EQ(InflateKit(WPath("k.tkx"), WPath("body"), kKitMaxBodySize, &result), 0u);
    EXPECT_GT(result.bodySize, 100000u);

    // Sparse, so it takes no room.
    WriteBytes(Path("huge.tkx"), std::string());
    fsys::resize_file(Path("huge.tkx"), 0x100000000ull);
    KitReader reader;
    EXPECT_EQ(reader.Load(WPath("huge.tkx")), ERROR_INVALID_DATA);
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

TEST_F(KitTest, FailedWritesAndMappingsFailTheLoad) {
    WriteSimpleKit("k.tkx", {{u"a.bin", 0, NoiseBytes(200000, 6)}});
    {
        // A file size limit behaves like a full disk: a short write, then failures.
        FileSizeLimit limit(100000);
        EXPECT_NE(InflateKitToFile(WPath("k.tkx"), WPath("body")), 0u);
        KitReader reader;
        EXPECT_NE(reader.Load(WPath("k.tkx")), 0u);
        // Written on another thread, told as the load's own.
        EXPECT_EQ(GetLastFileErrno(), EFBIG);
        EXPECT_EQ(LeftoverTempFiles(), 0);
    }

    // Files of the kernel's attribute file system report a size but cannot be mapped.
    const std::string unmappable = "/sys/kernel/mm/transparent_hugepage/enabled";
    if (fsys::exists(unmappable)) {
        EXPECT_NE(InflateKitToFile(Wide(unmappable), WPath("body")), 0u);
    }

    // Every counted file operation of a load failing in turn: each load fails
    // cleanly, and once past them all the load succeeds.
    uint32_t code = 1;
    for (int64_t n = 1; n < 200 && code != 0; ++n) {
        SCOPED_TRACE(n);
        KitReader reader;
        fault_injection::FailOperationAt(n);
        code = reader.Load(WPath("k.tkx"));
        fault_injection::FailOperationAt(0);
        if (code != 0) {
            EXPECT_EQ(reader.GetFileEntryCount(), 0u);
            EXPECT_EQ(LeftoverTempFiles(), 0);
        }
    }
    EXPECT_EQ(code, 0u);
}

// The decoder may read a few bytes past the end of the stream; the trailer
// still counts only when nothing lies between the stream and it, and with
// anything between them the kit is damaged.
TEST_F(KitTest, TrailerCountsOnlyDirectlyAfterTheStream) {
    WriteSimpleKit("k.tkx", {{u"a.txt", 0, PatternBytes(300000)}, {u"b.bin", 0, NoiseBytes(3000, 8)}}, true, 6);
    const std::string good = ReadWholeFile(Path("k.tkx"));
    const size_t streamEnd = good.size() - kKitTrailerSize;
    for (size_t gap = 0; gap <= 9; ++gap) {
        SCOPED_TRACE(gap);
        std::string kit = good;
        kit.insert(streamEnd, NoiseBytes(gap, 11));
        WriteBytes(Path("gap.tkx"), kit);
        KitReader reader;
        ASSERT_EQ(reader.Load(WPath("gap.tkx")), gap == 0 ? 0u : ERROR_INVALID_DATA);
        if (gap == 0) {
            EXPECT_EQ(reader.GetTrailerState(), KitTrailerState::Verified);
        }
    }
}

namespace {

class RecordingObserver final : public KitLoadObserver {
public:
    explicit RecordingObserver(size_t stopAtCall) : stopAtCall_(stopAtCall) {}
    bool OnUnpackProgress(uint64_t done, uint64_t total) override {
        calls.push_back({done, total});
        return calls.size() != stopAtCall_;
    }
    std::vector<std::pair<uint64_t, uint64_t>> calls;

private:
    size_t stopAtCall_;
};

}  // namespace

TEST_F(KitTest, ObserverFollowsTheUnpackingAndCanStopIt) {
    WriteSimpleKit("k.tkx", {{u"a.bin", 0, NoiseBytes(3 * kKitProgressStep + 5000, 12)}}, true, 6);
    const uint64_t kitSize = fsys::file_size(Path("k.tkx"));
    RecordingObserver all(0);
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx"), &all), 0u);
    ASSERT_GE(all.calls.size(), 5u);
    EXPECT_EQ(all.calls.front().first, 0u);
    EXPECT_EQ(all.calls.back().first, kitSize);
    for (size_t i = 0; i < all.calls.size(); ++i) {
        EXPECT_EQ(all.calls[i].second, kitSize);
        if (i > 0) {
            EXPECT_GT(all.calls[i].first, all.calls[i - 1].first);
        }
    }

    // Stopped at the start, midway and after the last byte: nothing is left.
    for (size_t stopAt : {size_t{1}, size_t{2}, all.calls.size()}) {
        SCOPED_TRACE(stopAt);
        RecordingObserver stopping(stopAt);
        EXPECT_EQ(reader.Load(WPath("k.tkx"), &stopping), ERROR_CANCELLED);
        EXPECT_EQ(stopping.calls.size(), stopAt);
        EXPECT_EQ(reader.GetFileEntryCount(), 0u);
        EXPECT_EQ(LeftoverTempFiles(), 0);
    }
}

}  // namespace tpl
