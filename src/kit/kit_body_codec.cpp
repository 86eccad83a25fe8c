#include "kit/kit_body_codec.h"

namespace tpl {

void AppendU32(ByteVector& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void AppendCountedString(ByteVector& out, const WideString& text) {
    const uint32_t n = text.Length();
    AppendU32(out, n);
    const char16_t* units = text.Data();
    for (uint32_t i = 0; i < n; ++i) {
        out.push_back(static_cast<unsigned char>(units[i] & 0xFF));
        out.push_back(static_cast<unsigned char>(units[i] >> 8));
    }
}

namespace {
void AppendFileTime(ByteVector& out, FILETIME time) {
    AppendU32(out, static_cast<uint32_t>(time));
    AppendU32(out, static_cast<uint32_t>(time >> 32));
}
}  // namespace

uint32_t DecodeU32(const unsigned char* bytes) noexcept {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

namespace {

// Writes a record: its length word (counting itself), then the content.
void AppendRecord(ByteVector& out, const ByteVector& content) {
    AppendU32(out, static_cast<uint32_t>(content.size() + 4));
    out.insert(out.end(), content.begin(), content.end());
}

}  // namespace

void AppendLanguageFields(ByteVector& out, const KitLanguageEntry& language) {
    AppendCountedString(out, language.code);
    AppendCountedString(out, language.product);
    AppendCountedString(out, language.vendor);
    AppendCountedString(out, language.descriptionPath);
}

void AppendFileFields(ByteVector& out, const KitFileRecord& file) {
    AppendCountedString(out, file.name);
    AppendFileTime(out, file.writeTime);
    AppendU32(out, file.dataOffset);
    AppendU32(out, file.dataSize);
}

ByteVector EncodeKitTables(const std::vector<KitLanguageEntry>& languages, const std::vector<KitFileRecord>& files,
                           bool singleLanguageForm) {
    ByteVector out;
    if (singleLanguageForm) {
        AppendU32(out, 0);
        const KitLanguageEntry empty;
        const KitLanguageEntry& en = languages.empty() ? empty : languages.front();
        AppendCountedString(out, en.product);
        AppendCountedString(out, en.vendor);
        AppendCountedString(out, en.descriptionPath);
    } else {
        AppendU32(out, 1);
        AppendU32(out, static_cast<uint32_t>(languages.size()));
        ByteVector content;
        for (const KitLanguageEntry& language : languages) {
            content.clear();
            AppendLanguageFields(content, language);
            AppendRecord(out, content);
        }
    }
    AppendU32(out, static_cast<uint32_t>(files.size()));
    ByteVector content;
    for (const KitFileRecord& file : files) {
        content.clear();
        AppendFileFields(content, file);
        AppendRecord(out, content);
    }
    return out;
}

}  // namespace tpl
