// Damaged and hostile bodies are rejected without reading past their data,
// and the temporary file goes with them.
#include <clocale>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include "kit/kit_reader.h"
#include "kit/kit_entry_names.h"
#include "kit/kit_table_parser.h"
#include "kit/kit_trailer.h"
#include "support/kit_test_support.h"

namespace tpl {

namespace {

struct BodyCase {
    const char* what;
    ByteVector body;
};

ByteVector Words(std::initializer_list<uint32_t> words) {
    ByteVector out;
    for (uint32_t word : words) AppendU32(out, word);
    return out;
}

ByteVector operator+(ByteVector a, const ByteVector& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

ByteVector Str(const WideString& text) {
    ByteVector out;
    AppendCountedString(out, text);
    return out;
}

// A file record: length word, name, time, offset, size, then extra bytes.
ByteVector FileRecord(const WideString& name, uint32_t offset, uint32_t size, int lengthDelta = 0) {
    const ByteVector content = Str(name) + Words({0, 0, offset, size});
    return Words({static_cast<uint32_t>(content.size() + 4 + lengthDelta)}) + content;
}

WideString Repeated(char16_t unit, uint32_t count) {
    WideString text;
    for (uint32_t i = 0; i < count; ++i) text.Append(unit);
    return text;
}

// count components of length units each, separated by "\".
WideString Components(uint32_t count, uint32_t length) {
    WideString name;
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) name.Append(u'\\');
        name.Append(Repeated(static_cast<char16_t>(u'a' + i), length));
    }
    return name;
}

// Single-language header with empty texts.
const ByteVector kHeader = Words({0, 0, 0, 0});

ByteVector OneFileKit(const WideString& name, uint32_t offset, uint32_t size, const std::string& data) {
    return kHeader + Words({1}) + FileRecord(name, offset, size) + ByteVector(data.begin(), data.end());
}

std::vector<BodyCase> MalformedBodies() {
    const ByteVector langContent = Str(u"en") + Str(u"P") + Str(u"V") + Str(u"d");
    return {
        {"empty body", {}},
        {"ends inside the flag", {1, 0}},
        {"ends before the language count", Words({1})},
        {"ends inside a counted string", Words({0, 5}) + ByteVector{'a', 0, 'b', 0}},
        {"string above the unit limit", Words({0, 0x3FFFFFFF})},
        {"string count of 2^31 with a short body", Words({0, 0x80000000u, 0, 0})},
        {"language record length below 4", Words({1, 1, 3}) + langContent + Words({0})},
        {"language record longer than the body", Words({1, 1, 0x7FFFFFFF}) + langContent + Words({0})},
        {"strings do not fit in the language record",
         Words({1, 1, static_cast<uint32_t>(langContent.size())}) + langContent + Words({0})},
        {"ends before the file count", kHeader},
        {"file count larger than the records", kHeader + Words({2}) + FileRecord(u"a", 0, 0)},
        {"file record length below 4", kHeader + Words({1, 0})},
        {"fixed fields do not fit in the file record", kHeader + Words({1}) + FileRecord(u"a", 0, 0, -4)},
        {"data beyond the body", OneFileKit(u"a", 0, 4, "abc")},
        {"offset beyond the body", OneFileKit(u"a", 3, 1, "abc")},
        {"offset plus size wraps around", OneFileKit(u"a", 0xFFFFFFFF, 2, "abc")},
        {"empty name", OneFileKit(u"", 0, 0, "")},
        {"absolute name", OneFileKit(u"/etc/x", 0, 0, "")},
        {"absolute name with backslash", OneFileKit(u"\\etc\\x", 0, 0, "")},
        {"parent components", OneFileKit(u"..\\..\\.bashrc", 0, 0, "")},
        {"parent component inside", OneFileKit(u"a/../../b", 0, 0, "")},
        {"parent component at the end", OneFileKit(u"a\\..", 0, 0, "")},
        {"name with a zero unit", OneFileKit(WideString(u"a\0b", 3), 0, 0, "")},
        // Names that load today and then fail halfway through an installation.
        {"the name .", OneFileKit(u".", 0, 0, "")},
        {"a name that ends in a separator", OneFileKit(u"a\\", 0, 0, "")},
        {"a name that ends in a . component", OneFileKit(u"a/.", 0, 0, "")},
        {"a lone surrogate", OneFileKit(WideString(u"a") + WideString(u"\xD800", 1) + u"b", 0, 0, "")},
        {"a lone surrogate that reads as a raw byte", OneFileKit(WideString(u"a\xDCFF", 2), 0, 0, "")},
        {"a 300-character component", OneFileKit(Repeated(u'x', 300), 0, 0, "")},
        {"a component of 128 two-byte characters", OneFileKit(Repeated(u'\u00e9', 128), 0, 0, "")},
        {"a name beyond the path limit", OneFileKit(Components(17, 250), 0, 0, "")},
        {"a file that another entry needs as its directory",
         kHeader + Words({2}) + FileRecord(u"a", 0, 0) + FileRecord(u"a\\b", 0, 0)},
        {"the same after a sibling that sorts between them",
         kHeader + Words({3}) + FileRecord(u"x/./y\\z", 0, 0) + FileRecord(u"x-y", 0, 0) + FileRecord(u"x\\y", 0, 0)},
        {"the directory's entry after the one below it, spelled otherwise",
         kHeader + Words({3}) + FileRecord(u"a\\b\\c", 0, 0) + FileRecord(u"ab", 0, 0) + FileRecord(u"a//./b", 0, 0)},
        {"one name twice", kHeader + Words({2}) + FileRecord(u"a.cfg", 0, 0) + FileRecord(u"a.cfg", 0, 0)},
        {"one path spelled twice, apart in the table",
         kHeader + Words({3}) + FileRecord(u"d\\a.cfg", 0, 0) + FileRecord(u"b", 0, 0) + FileRecord(u"d/./a.cfg", 0, 0)},
        {"a line feed in a name", OneFileKit(u"a\nb.cfg", 0, 0, "")},
        {"an escape in a name", OneFileKit(u"bad\x1b[31mred.cfg", 0, 0, "")},
        {"a delete in a name", OneFileKit(u"a\x7f.cfg", 0, 0, "")},
        {"a C1 control (CSI) in a name", OneFileKit(u"a\u009b31m.cfg", 0, 0, "")},
        {"a language text beyond its limit", Words({0, 4097}) + ByteVector(2 * 4097, 'a') + Words({0, 0, 0})},
    };
}

}  // namespace

TEST_F(KitTest, MalformedBodiesAreRejectedAndLeaveNoTemporaryFile) {
    for (const BodyCase& c : MalformedBodies()) {
        SCOPED_TRACE(c.what);
        KitReader reader;
        EXPECT_EQ(reader.Load(WriteBodyKit("bad.tkx", c.body)), ERROR_INVALID_DATA);
        EXPECT_EQ(reader.GetFileEntryCount(), 0u);
        EXPECT_EQ(LeftoverTempFiles(), 0);
    }
    // A FIFO or a device under the kit's name is refused at once, never
    // waited on (a run that blocks ends the test instead of hanging it).
    ASSERT_EQ(mkfifo(Path("fifo.tkx").c_str(), 0600), 0);
    alarm(60);
    for (const WideString& kit : {WPath("fifo.tkx"), WideString(u"/dev/zero")}) {
        KitReader reader;
        EXPECT_NE(reader.Load(kit), 0u);
        EXPECT_EQ(LeftoverTempFiles(), 0);
    }
    alarm(0);
}

// The trailer stands directly after the deflate stream and ends the file.
// The body is stored (level 0), so a flipped data byte still inflates and
// only the trailer can tell.
TEST_F(KitTest, KitsWhoseTrailerDoesNotMatchOrEndTheFileAreRejected) {
    WriteSimpleKit("k.tkx", {{u"a.bin", 0, NoiseBytes(50000, 7)}}, true, 0);
    const std::string good = ReadWholeFile(Path("k.tkx"));
    const size_t streamEnd = good.size() - kKitTrailerSize;
    const std::string trailer = good.substr(streamEnd);
    std::string flipped = good;
    flipped[streamEnd - 100] ^= 0x20;
    std::string wrongLength = good;
    wrongLength[good.size() - 8] ^= 0x01;
    const struct {
        const char* what;
        std::string kit;
    } cases[] = {
        {"a flipped data byte", flipped},
        {"a wrong body length", wrongLength},
        {"a flipped data byte and one byte appended", flipped + "\n"},
        {"one byte appended", good + "x"},
        {"the trailer twice", good + trailer},
        {"the trailer cut by one byte", good.substr(0, good.size() - 1)},
        {"the trailer cut to its first bytes", good.substr(0, streamEnd + 3)},
        {"bytes between the stream and the trailer", good.substr(0, streamEnd) + "abc" + trailer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(Path("bad.tkx"), c.kit);
        KitReader reader;
        EXPECT_EQ(reader.Load(WPath("bad.tkx")), ERROR_INVALID_DATA);
        EXPECT_EQ(reader.GetFileEntryCount(), 0u);
    }
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

TEST_F(KitTest, WellFormedEdgesOfTheBodyLoad) {
    const std::vector<BodyCase> good = {
        {"no languages, no files", Words({1, 0, 0})},
        {"data exactly to the end", OneFileKit(u"a", 1, 2, "abc")},
        {"size 0 at the very end", OneFileKit(u"a", 3, 0, "abc")},
        {"dots that are not parent components",
         kHeader + Words({3}) + FileRecord(u"a..b", 0, 0) + FileRecord(u"...\\.x", 0, 0) + FileRecord(u"./a", 0, 0)},
        {"names at the path and component limits",
         kHeader + Words({2}) + FileRecord(Components(16, 255), 0, 0) + FileRecord(Repeated(u'\u00e9', 127), 0, 0)},
        {"names that only share a beginning",
         kHeader + Words({3}) + FileRecord(u"a\\b", 0, 0) + FileRecord(u"ab\\c", 0, 0) + FileRecord(u"a-b", 0, 0)},
        {"characters beside the control ones", OneFileKit(u"a b~\u00a0\u00ff.cfg", 0, 0, "")},
    };
    for (const BodyCase& c : good) {
        SCOPED_TRACE(c.what);
        KitReader reader;
        EXPECT_EQ(reader.Load(WriteBodyKit("good.tkx", c.body)), 0u);
    }
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

// Under the C locale a name is written as UTF-8: it loads, within the same
// byte limits (two bytes a letter here).
TEST_F(KitTest, NamesTheLocaleCannotSpellLoadAsUtf8) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    KitReader fits;
    EXPECT_EQ(fits.Load(WriteBodyKit("c.tkx", OneFileKit(u"\u0428\u0430\u0431\u043b\u043e\u043d.cfg", 0, 0, ""))), 0u);
    KitReader tooLong;
    EXPECT_EQ(tooLong.Load(WriteBodyKit("long.tkx", OneFileKit(Repeated(u'\u0428', 128), 0, 0, ""))),
              ERROR_INVALID_DATA);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(KitTableParser, EntriesGetAbsoluteOffsetsWithinTheBody) {
    const ByteVector body =
        kHeader + Words({2}) + FileRecord(u"a", 2, 1) + FileRecord(u"b", 0, 2) + ByteVector{'x', 'y', 'z'};
    MemoryBodyReader reader(body.data(), body.size());
    std::vector<KitLanguageEntry> languages;
    KitFileTable files;
    uint32_t dataStart = 0;
    ReadKitTables(reader, body.size(), languages, files, &dataStart);
    ASSERT_EQ(files.Count(), 2u);
    EXPECT_EQ(dataStart, body.size() - 3);
    // Read back in any order, the same entries.
    for (uint32_t index : {1u, 0u, 0u, 1u}) {
        const KitFileEntry entry = files.Entry(reader, index);
        EXPECT_EQ(entry.name, index == 0 ? WideString(u"a") : WideString(u"b"));
        EXPECT_EQ(entry.dataOffset, index == 0 ? dataStart + 2 : dataStart);
    }
    EXPECT_EQ(body[files.Entry(reader, 0).dataOffset], 'z');
}

TEST(KitTableParser, EntriesAreReadBackFromTheBodyInAnyOrder) {
    // More records than one remembered position covers, with names long
    // enough to live outside the string's own room.
    const uint32_t count = 3 * KitFileTable::kStride + 5;
    ByteVector body = kHeader + Words({count});
    for (uint32_t i = 0; i < count; ++i)
        body = body + FileRecord(Wide("dir\\entry-with-a-long-name-" + std::to_string(i)), 0, 0);
    MemoryBodyReader reader(body.data(), body.size());
    std::vector<KitLanguageEntry> languages;
    KitFileTable files;
    uint32_t dataStart = 0;
    ReadKitTables(reader, body.size(), languages, files, &dataStart);
    ASSERT_EQ(files.Count(), count);
    for (uint32_t index : {count - 1, 0u, KitFileTable::kStride, KitFileTable::kStride - 1, 7u, 8u, 8u, 70u, 40u})
        EXPECT_EQ(files.Entry(reader, index).name, Wide("dir\\entry-with-a-long-name-" + std::to_string(index)));
    try {
        files.Entry(reader, count);
        ADD_FAILURE() << "an entry beyond the table was read";
    } catch (const KitReadFailure& failure) {
        EXPECT_EQ(failure.code, ERROR_INVALID_PARAMETER);
    }
}

TEST(KitTableParser, AHashThatMatchesADirectoryIsConfirmedByTheNames) {
    const ByteVector body = kHeader + Words({2}) + FileRecord(u"a\\b", 0, 0) + FileRecord(u"c", 0, 0);
    MemoryBodyReader reader(body.data(), body.size());
    std::vector<KitLanguageEntry> languages;
    KitFileTable files;
    uint32_t dataStart = 0;
    ReadKitTables(reader, body.size(), languages, files, &dataStart);
    const uint64_t seed = EntryPathHashSeed();
    // As if "c" hashed like the directory "a": a collision, not a file in the way.
    const std::vector<uint64_t> colliding = {EntryPathHash(u"a\\b", seed), EntryPathHash(u"a", seed)};
    EXPECT_FALSE(HasFileUsedAsDirectory(files, reader, colliding, seed));
    const std::vector<uint64_t> honest = {EntryPathHash(u"a\\b", seed), EntryPathHash(u"c", seed)};
    EXPECT_FALSE(HasFileUsedAsDirectory(files, reader, honest, seed));
}

TEST(KitTableParser, TablesBeyondTheirMemoryBudgetAreRefused) {
    ByteVector body = kHeader + Words({100});
    for (int i = 0; i < 100; ++i) body = body + FileRecord(Wide("f" + std::to_string(i)), 0, 0);
    auto read = [&body](uint64_t budget) {
        MemoryBodyReader reader(body.data(), body.size());
        std::vector<KitLanguageEntry> languages;
        KitFileTable files;
        uint32_t dataStart = 0;
        try {
            ReadKitTables(reader, body.size(), languages, files, &dataStart, budget);
        } catch (const KitReadFailure& failure) {
            return failure.code;
        }
        return 0u;
    };
    // The names stay in the body: only the entries count.
    const uint64_t needed = sizeof(KitLanguageEntry) + 100 * kKitFileEntryBytes;
    EXPECT_EQ(read(needed), 0u);
    EXPECT_EQ(read(needed - 1), ERROR_INVALID_DATA);
}

TEST(KitTableParser, TablesCutShortRaiseTheKitsOwnFailure) {
    const ByteVector body = kHeader + Words({2}) + FileRecord(u"a", 2, 1);
    MemoryBodyReader reader(body.data(), body.size());
    std::vector<KitLanguageEntry> languages;
    KitFileTable files;
    uint32_t dataStart = 0;
    try {
        ReadKitTables(reader, body.size(), languages, files, &dataStart);
        ADD_FAILURE() << "a second file record was read from nothing";
    } catch (const KitReadFailure& failure) {
        EXPECT_EQ(failure.code, ERROR_INVALID_DATA);
    }
}

// A cheap in-tree mutation run (the fuzzer goes further): damaged copies of a
// real kit either load, and then extract every entry, or fail cleanly.
TEST_F(KitTest, MutatedKitsLoadCompletelyOrFailCleanly) {
    const std::vector<KitMemoryEntry> entries = {{u"a\\b.txt", 1, PatternBytes(3000)},
                                                 {u"c.bin", 2, NoiseBytes(500, 8)}};
    for (int level : {0, 9}) {
        WriteSimpleKit("good.tkx", entries, level == 9, level);
        const std::string good = ReadWholeFile(Path("good.tkx"));
        std::mt19937 random(static_cast<uint32_t>(level + 1));
        for (int round = 0; round < 150; ++round) {
            std::string kit = good;
            for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
                kit[random() % kit.size()] ^= static_cast<char>(1 + random() % 255);
            if (round % 10 == 0) kit.resize(random() % kit.size());
            WriteBytes(Path("mutated.tkx"), kit);
            KitReader reader;
            if (reader.Load(WPath("mutated.tkx")) == 0) {
                for (uint32_t i = 0; i < reader.GetFileEntryCount(); ++i)
                    EXPECT_EQ(reader.ExtractEntry(i, WPath("out")), 0u) << level << "/" << round;
            } else {
                EXPECT_EQ(reader.GetFileEntryCount(), 0u);
                EXPECT_EQ(LeftoverTempFiles(), 0) << level << "/" << round;
            }
        }
    }
}

}  // namespace tpl
