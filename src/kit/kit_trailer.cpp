#include "kit/kit_trailer.h"

#include <cstring>

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
