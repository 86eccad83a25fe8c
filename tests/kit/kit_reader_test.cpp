// Kits made by our writer load and extract every byte and time exactly.
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include "fs/file_io.h"
#include "fs/temp_file_claim.h"
#include "fs/fs_testing.h"
#include "kit/kit_reader.h"
#include "kit/kit_room.h"
#include "support/kit_test_support.h"
#include "support/wide_text.h"

namespace tpl {

namespace {

constexpr FILETIME kTime2001 = (978307200ull + 11644473600ull) * 10000000ull;  // 2001-01-01

int64_t ModificationSeconds(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? status.st_mtime : -1;
}

std::vector<KitMemoryEntry> MixedEntries() {
    return {
        {u"empty.cfg", kTime2001, ""},
        {u"sub\\dir\\big.bin", kTime2001 + 10000000ull * 3600, NoiseBytes(kKitCopyBufferSize + 17, 1)},
        {u"sub/plain.txt", kTime2001 + 10000000ull * 60, PatternBytes(200000)},
        {u"exact.bin", kTime2001 + 10000000ull, NoiseBytes(kKitCopyBufferSize, 2)},
    };
}

void ExpectExtractsExactly(KitReader& reader, const std::vector<KitMemoryEntry>& entries, const std::string& dir) {
    ASSERT_EQ(reader.GetFileEntryCount(), entries.size());
    // In reverse order: each extraction must position the file itself.
    for (uint32_t i = static_cast<uint32_t>(entries.size()); i-- > 0;) {
        const KitFileEntry& entry = reader.GetFileEntry(i);
        EXPECT_EQ(entry.name, entries[i].name);
        EXPECT_EQ(entry.writeTime, entries[i].writeTime);
        EXPECT_EQ(entry.dataSize, entries[i].data.size());
        const std::string out = dir + "/out" + std::to_string(i);
        ASSERT_EQ(reader.ExtractEntry(i, Wide(out)), 0u) << i;
        EXPECT_EQ(ReadWholeFile(out), entries[i].data) << i;
        EXPECT_EQ(ModificationSeconds(out), UnixSecondsFromFileTime(entries[i].writeTime)) << i;
    }
}

}  // namespace

TEST_F(KitTest, TableFormWithPaddedRecordsRoundTrips) {
    const std::vector<KitMemoryEntry> entries = MixedEntries();
    std::vector<KitLanguageEntry> languages = {{u"de", u"Produkt", u"Hersteller", u"liesmich.txt"},
                                               {u"en", u"Product", u"Vendor", u"readme.txt"}};
    KitTableLayout layout;
    layout.tableFlag = 7;
    layout.recordPadding = 13;
    ASSERT_EQ(WriteKitFromMemory(WPath("k.tkx"), languages, layout, entries), 0u);
    {
        KitReader reader;
        ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
        EXPECT_EQ(reader.GetTrailerState(), KitTrailerState::Verified);
        ASSERT_EQ(reader.GetLanguageEntries().size(), 2u);
        EXPECT_EQ(reader.GetLanguageEntries()[0].vendor, WideString(u"Hersteller"));
        EXPECT_EQ(LeftoverTempFiles(), 1);
        ExpectExtractsExactly(reader, entries, root_);
    }
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

// Where the kernel cannot copy between the two files, entries go through
// the reader's buffer with the same result.
TEST_F(KitTest, ExtractionThroughTheBufferMatchesTheKernelCopy) {
    const std::vector<KitMemoryEntry> entries = MixedEntries();
    ASSERT_EQ(WriteKitFromMemory(WPath("k.tkx"), {{u"en", u"P", u"V", u""}}, KitTableLayout(), entries), 0u);
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    fs_testing::ForceFallbacks(true);
    ExpectExtractsExactly(reader, entries, root_);
    fs_testing::ForceFallbacks(false);
}

TEST_F(KitTest, SingleLanguageFormGivesOneEnglishEntry) {
    const std::vector<KitMemoryEntry> entries = {{u"a.txt", kTime2001, "abc"}};
    KitTableLayout layout;
    layout.singleLanguageForm = true;
    layout.recordPadding = 5;
    ASSERT_EQ(WriteKitFromMemory(WPath("k.tkx"), {{u"en", u"P", u"V", u"a.txt"}}, layout, entries, 6, false), 0u);
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    EXPECT_EQ(reader.GetTrailerState(), KitTrailerState::Absent);
    ASSERT_EQ(reader.GetLanguageEntries().size(), 1u);
    EXPECT_EQ(reader.GetLanguageEntries()[0].code, WideString(u"en"));
    EXPECT_EQ(reader.GetDescriptionPath(u"fr"), WideString(u"a.txt"));
    ExpectExtractsExactly(reader, entries, root_);
}

TEST_F(KitTest, LanguageLookups) {
    std::vector<KitLanguageEntry> languages = {
        {u"DE", u"", u"Hersteller", u""},
        {u"de", u"Zweiter", u"Zweiter", u"zweiter.txt"},
        {u"fr", u"Produit", u"Fournisseur", u"lisez.txt"},
        {u"en", u"Product", u"Vendor", u"readme.txt"},
    };
    ASSERT_EQ(WriteKitFromMemory(WPath("k.tkx"), languages, KitTableLayout(), {}), 0u);
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    EXPECT_EQ(reader.GetFileEntryCount(), 0u);

    WideString product, vendor;
    // Case-insensitively, the first entry of the language that has the text.
    reader.GetProductTexts(u"de", &product, &vendor);
    EXPECT_EQ(product, WideString(u"Zweiter"));
    EXPECT_EQ(vendor, WideString(u"Hersteller"));
    reader.GetProductTexts(u"FR", &product, &vendor);
    EXPECT_EQ(product, WideString(u"Produit"));
    // No match: the English texts, as for the description.
    reader.GetProductTexts(u"ja", &product, &vendor);
    EXPECT_EQ(product, WideString(u"Product"));
    EXPECT_EQ(vendor, WideString(u"Vendor"));

    // The description falls back to "en" when nothing of the language has one.
    EXPECT_EQ(reader.GetDescriptionPath(u"de"), WideString(u"zweiter.txt"));
    EXPECT_EQ(reader.GetDescriptionPath(u"Fr"), WideString(u"lisez.txt"));
    EXPECT_EQ(reader.GetDescriptionPath(u"ja"), WideString(u"readme.txt"));
}

// Without English the kit's first language that has the text speaks for it;
// a kit with no text at all leaves the caller its placeholders.
TEST_F(KitTest, WithoutEnglishTheFirstLanguageWithTheTextIsShown) {
    ASSERT_EQ(WriteKitFromMemory(WPath("k.tkx"), {{u"it", u"", u"", u""}, {u"fr", u"P", u"V", u""}},
                                 KitTableLayout(), {}),
              0u);
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    EXPECT_TRUE(reader.GetDescriptionPath(u"fr").Empty());
    WideString product, vendor;
    reader.GetProductTexts(u"de", &product, &vendor);
    EXPECT_EQ(product, WideString(u"P"));
    EXPECT_EQ(vendor, WideString(u"V"));

    ASSERT_EQ(WriteKitFromMemory(WPath("n.tkx"), {{u"en", u"", u"", u""}}, KitTableLayout(), {}), 0u);
    KitReader bare;
    ASSERT_EQ(bare.Load(WPath("n.tkx")), 0u);
    bare.GetProductTexts(u"de", &product, &vendor);
    EXPECT_TRUE(product.Empty() && vendor.Empty());
}

TEST_F(KitTest, ExtractionReplacesLongerFileAndRejectsBadCalls) {
    KitReader reader;
    EXPECT_EQ(reader.ExtractEntry(0, WPath("x")), ERROR_INVALID_HANDLE);
    WriteSimpleKit("k.tkx", {{u"a.txt", kTime2001, "new"}});
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    WriteBytes(Path("a.txt"), PatternBytes(5000));
    ASSERT_EQ(reader.ExtractEntry(0, WPath("a.txt")), 0u);
    EXPECT_EQ(ReadWholeFile(Path("a.txt")), "new");
    EXPECT_EQ(reader.ExtractEntry(1, WPath("b.txt")), ERROR_INVALID_PARAMETER);
    EXPECT_NE(reader.ExtractEntry(0, WPath("missing/dir/a.txt")), 0u);
}

TEST_F(KitTest, ExtractionFailsWhenTheUnpackedFileEndsEarly) {
    WriteSimpleKit("k.tkx", {{u"a.bin", kTime2001, NoiseBytes(300000, 3)}});
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    const std::string temp = [&] {
        std::string narrow;
        for (const auto& e : std::filesystem::directory_iterator(tmp_)) narrow = e.path().string();
        return narrow;
    }();
    std::filesystem::resize_file(temp, std::filesystem::file_size(temp) - 1000);
    const size_t descriptors = OpenDescriptorCount();
    for (bool buffered : {false, true}) {
        SCOPED_TRACE(buffered);
        fs_testing::ForceFallbacks(buffered);
        EXPECT_EQ(reader.ExtractEntry(0, WPath("a.bin")), ERROR_INVALID_DATA);
        fs_testing::ForceFallbacks(false);
        EXPECT_EQ(OpenDescriptorCount(), descriptors);  // the destination was closed
    }
}

TEST_F(KitTest, ReleaseDeletesTheTemporaryFileAndKeepsTexts) {
    WriteSimpleKit("k.tkx", {{u"a.txt", kTime2001, "x"}});
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    ASSERT_EQ(LeftoverTempFiles(), 1);
    // The loaded file is claimed: the clean-up of abandoned kits at the next
    // start of another installer must not take it, however old it is.
    EXPECT_EQ(DeleteAbandonedTempFiles(Wide(tmp_), u"txk", 0), 0u);
    ASSERT_EQ(LeftoverTempFiles(), 1);
    reader.Release();
    EXPECT_EQ(LeftoverTempFiles(), 0);
    EXPECT_EQ(reader.GetFileEntryCount(), 0u);
    EXPECT_EQ(reader.GetDescriptionPath(u"en"), WideString(u"docs\\readme.txt"));
    // A second load of the same reader works and leaves exactly one file.
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    EXPECT_EQ(LeftoverTempFiles(), 1);
}

// The room a kit takes, as a file system of 4 KiB blocks counts it: each
// file rounded up to whole blocks (an empty one takes none), a block and an
// inode per directory to make, each counted once; what is kept takes
// nothing, and a replaced file counts in full.
TEST_F(KitTest, RoomCountsWholeBlocksAndEachNewDirectoryOnce) {
    WriteSimpleKit("k.tkx", {{u"empty", kTime2001, ""},
                             {u"one", kTime2001, "x"},
                             {u"d\\block", kTime2001, std::string(4096, 'b')},
                             {u"d\\e\\over", kTime2001, std::string(4097, 'o')}});
    KitReader reader;
    ASSERT_EQ(reader.Load(WPath("k.tkx")), 0u);
    const std::string target = Path("t");
    KitRoom room = MeasureKitRoom(reader, Wide(target + "/"), 4096);
    // t, t/d and t/d/e are made: three directories.
    EXPECT_EQ(room.newDirectories, 3u);
    EXPECT_EQ(room.bytes, (0u + 1 + 1 + 2 + 3) * 4096);
    EXPECT_EQ(room.inodes, 4u + 3);
    EXPECT_FALSE(room.everyEntryKept);
    // Without a block size the contents count as they are.
    EXPECT_EQ(MeasureKitRoom(reader, Wide(target + "/"), 0).bytes, 0u + 1 + 4096 + 4097);

    // A newer file stays, an older one is replaced in full; its directory exists.
    std::filesystem::create_directories(target + "/d");
    WriteBytes(target + "/one", "kept");
    WriteBytes(target + "/d/block", "older");
    struct timespec newer[2] = {{2000000000, 0}, {2000000000, 0}};
    struct timespec older[2] = {{900000000, 0}, {900000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (target + "/one").c_str(), newer, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (target + "/d/block").c_str(), older, 0), 0);
    room = MeasureKitRoom(reader, Wide(target + "/"), 4096);
    EXPECT_EQ(room.newDirectories, 1u);  // t/d/e
    EXPECT_EQ(room.bytes, (0u + 1 + 2 + 1) * 4096);
    EXPECT_EQ(room.inodes, 3u + 1);

    // Everything there as new as the kit's: nothing to write at all.
    std::filesystem::create_directories(target + "/d/e");
    for (const char* name : {"empty", "d/block", "d/e/over"}) {
        WriteBytes(target + "/" + name, "x");
        ASSERT_EQ(utimensat(AT_FDCWD, (target + "/" + name).c_str(), newer, 0), 0);
    }
    room = MeasureKitRoom(reader, Wide(target + "/"), 4096);
    EXPECT_TRUE(room.everyEntryKept);
    EXPECT_EQ(room.bytes, 0u);
    EXPECT_EQ(room.inodes, 0u);
}

}  // namespace tpl
