#pragma once
// The integrity trailer that the packer appends after the deflate stream,
// where readers of the plain format ignore bytes: a magic, the body's length
// and its CRC-32, so that a damaged download does not inflate to plausible
// garbage unnoticed. It ends the file: bytes after it are damage too.
#include <cstdint>
#include "kit/kit_body_codec.h"

namespace tpl {

constexpr uint32_t kKitTrailerSize = 16;
constexpr unsigned char kKitTrailerMagic[8] = {'T', 'K', 'X', 'T', 'R', 'L', 'R', '1'};

enum class KitTrailerState { Absent, Verified };

struct KitTrailer {
    uint32_t bodyLength = 0;
    uint32_t bodyCrc = 0;
};

void AppendKitTrailer(ByteVector& out, const KitTrailer& trailer);
// True when the 16 bytes carry the magic; fills *trailer.
bool DecodeKitTrailer(const unsigned char* bytes, KitTrailer* trailer);
// True when the kit file ends in a trailer; fills *trailer. Reads only the
// last bytes: the trailer is not checked against the body here.
bool ReadKitTrailer(const WideString& kitPath, KitTrailer* trailer);

}  // namespace tpl
