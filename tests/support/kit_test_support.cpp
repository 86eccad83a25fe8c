#include "support/kit_test_support.h"

#include <zlib.h>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include "kit/kit_inflate.h"
#include "text/convert.h"

namespace tpl {

namespace fsys = std::filesystem;

ByteVector DeflateRaw(const ByteVector& body, int level) {
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (deflateInit2(&zs, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    ByteVector out(deflateBound(&zs, body.size()) + 16);
    zs.next_in = const_cast<Bytef*>(body.data());
    zs.avail_in = static_cast<uInt>(body.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&zs, Z_FINISH);
    out.resize(status == Z_STREAM_END ? zs.total_out : 0);
    deflateEnd(&zs);
    return out;
}

void WriteBytes(const std::string& path, const ByteVector& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string NoiseBytes(size_t size, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::string PatternBytes(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>("template line\n"[i % 14]);
    return bytes;
}

size_t OpenDescriptorCount() {
    size_t count = 0;
    for (auto it = fsys::directory_iterator("/proc/self/fd"); it != fsys::directory_iterator(); ++it) ++count;
    return count;
}

int KitTest::LeftoverTempFiles() const {
    int count = 0;
    for (const auto& entry : fsys::directory_iterator(tmp_))
        if (entry.path().filename().string().rfind("txk", 0) == 0) ++count;
    return count;
}

std::string KitTest::UnpackedBody() const {
    std::string body;
    int found = 0;
    for (const auto& entry : fsys::directory_iterator(tmp_)) {
        if (entry.path().filename().string().rfind("txk", 0) != 0) continue;
        body = ReadWholeFile(entry.path().string());
        ++found;
    }
    EXPECT_EQ(found, 1) << "unpacked bodies in the temporary directory";
    return body;
}

WideString KitTest::WriteBodyKit(const std::string& name, const ByteVector& body) {
    WriteBytes(Path(name), DeflateRaw(body));
    return WPath(name);
}

WideString KitTest::WriteSimpleKit(const std::string& name, const std::vector<KitMemoryEntry>& entries,
                                   bool withTrailer, int level) {
    KitLanguageEntry english{u"en", u"Product", u"Vendor", u"docs\\readme.txt"};
    KitTableLayout layout;
    EXPECT_EQ(WriteKitFromMemory(WPath(name), {english}, layout, entries, level, withTrailer), 0u);
    return WPath(name);
}

namespace {

void AppendPaddedRecord(ByteVector& out, const ByteVector& content, uint32_t padding) {
    AppendU32(out, static_cast<uint32_t>(content.size() + padding + 4));
    out.insert(out.end(), content.begin(), content.end());
    out.insert(out.end(), padding, 0);
}

}  // namespace

ByteVector EncodeKitTables(const std::vector<KitLanguageEntry>& languages, const std::vector<KitFileRecord>& files,
                           const KitTableLayout& layout) {
    if (layout.tableFlag == 1 && layout.recordPadding == 0)
        return EncodeKitTables(languages, files, layout.singleLanguageForm);
    ByteVector out;
    if (layout.singleLanguageForm) {
        out = EncodeKitTables(languages, {}, true);
        out.resize(out.size() - 4);  // the empty file table's count; the padded table follows
    } else {
        AppendU32(out, layout.tableFlag);
        AppendU32(out, static_cast<uint32_t>(languages.size()));
        for (const KitLanguageEntry& language : languages) {
            ByteVector content;
            AppendLanguageFields(content, language);
            AppendPaddedRecord(out, content, layout.recordPadding);
        }
    }
    AppendU32(out, static_cast<uint32_t>(files.size()));
    for (const KitFileRecord& file : files) {
        ByteVector content;
        AppendFileFields(content, file);
        AppendPaddedRecord(out, content, layout.recordPadding);
    }
    return out;
}

uint32_t WriteKitFromMemory(const WideString& path, const std::vector<KitLanguageEntry>& languages,
                            const KitTableLayout& layout, const std::vector<KitMemoryEntry>& entries, int level,
                            bool withTrailer) {
    std::vector<KitFileRecord> records;
    uint64_t offset = 0;
    for (const KitMemoryEntry& entry : entries) {
        if (entry.data.size() > kKitMaxBodySize - offset) return ERROR_INVALID_PARAMETER;
        records.push_back(
            {entry.name, entry.writeTime, static_cast<uint32_t>(offset), static_cast<uint32_t>(entry.data.size())});
        offset += entry.data.size();
    }
    const ByteVector tables = EncodeKitTables(languages, records, layout);
    KitStreamWriter writer;
    uint32_t code = writer.Open(path, level);
    if (code == 0) code = writer.Write(tables.data(), static_cast<uint32_t>(tables.size()));
    for (const KitMemoryEntry& entry : entries) {
        if (code != 0) return code;
        code = writer.Write(entry.data.data(), static_cast<uint32_t>(entry.data.size()));
    }
    if (code != 0) return code;
    return writer.Finish(withTrailer);
}

}  // namespace tpl
