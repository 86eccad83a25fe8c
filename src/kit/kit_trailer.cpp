#include "kit/kit_trailer.h"

#include <cstring>
#include "fs/file_io.h"
#include "fs/unique_file_handle.h"

namespace tpl {

void AppendKitTrailer(ByteVector& out, const KitTrailer& trailer) {
    out.insert(out.end(), kKitTrailerMagic, kKitTrailerMagic + sizeof kKitTrailerMagic);
    AppendU32(out, trailer.bodyLength);
    AppendU32(out, trailer.bodyCrc);
}

bool DecodeKitTrailer(const unsigned char* bytes, KitTrailer* trailer) {
    if (std::memcmp(bytes, kKitTrailerMagic, sizeof kKitTrailerMagic) != 0) return false;
    trailer->bodyLength = DecodeU32(bytes + 8);
    trailer->bodyCrc = DecodeU32(bytes + 12);
    return true;
}

bool ReadKitTrailer(const WideString& kitPath, KitTrailer* trailer) {
    UniqueFileHandle kit;
    if (FileOpen(kitPath, GENERIC_READ, 0, OPEN_EXISTING, kit.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0) return false;
    const int64_t size = FileSeek(kit.Get(), 0, 0, FILE_END);
    if (size < static_cast<int64_t>(kKitTrailerSize)) return false;
    const uint64_t at = static_cast<uint64_t>(size) - kKitTrailerSize;
    if (FileSeek(kit.Get(), static_cast<uint32_t>(at), static_cast<int32_t>(at >> 32), FILE_BEGIN) < 0) return false;
    unsigned char bytes[kKitTrailerSize];
    uint32_t got = 0;
    if (FileRead(kit.Get(), bytes, kKitTrailerSize, &got, nullptr) != 0 || got != kKitTrailerSize) return false;
    return DecodeKitTrailer(bytes, trailer);
}

}  // namespace tpl
