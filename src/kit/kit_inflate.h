#pragma once
// Raw-deflate decompression of a kit into a file, with what the reader needs
// to know about the result.
#include <cstdint>
#include "fs/path_identity.h"
#include "kit/kit_load_observer.h"
#include "kit/kit_trailer.h"
#include "text/cow_string.h"

namespace tpl {

// Bodies are addressed with 32-bit offsets.
constexpr uint64_t kKitMaxBodySize = 0xFFFFFFFFu;

struct KitInflateResult {
    uint64_t bodySize = 0;
    KitTrailerState trailer = KitTrailerState::Absent;
};

// InflateKitToFile with a limit on the body's size (tests lower it) and a
// report of the body's size and of the trailer. Fails with ERROR_INVALID_DATA
// for a damaged stream, a kit or body too large, or a trailer that does not
// match the body or does not end the file right after the stream; with the file layer's code when a window cannot be mapped
// or the output cannot be written; with ERROR_CANCELLED when the observer
// (may be null) stops it; with ERROR_FILE_INVALID when expectedKit (may be
// null) is given and the kit opened is not that version of the file.
[[nodiscard]] uint32_t InflateKit(const WideString& kitPath, const WideString& outputPath, uint64_t maxBodySize,
                                  KitInflateResult* result, KitLoadObserver* observer = nullptr,
                                  const FileVersion* expectedKit = nullptr);

}  // namespace tpl
