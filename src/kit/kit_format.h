#pragma once
// In-memory model of a distribution kit and the constants of its format.
#include <cstdint>
#include <vector>
#include "fs/file_types.h"
#include "text/cow_string.h"
#include "text/installer_file_names.h"

namespace tpl {

// The kit is mapped a window at a time and inflated into one output buffer
// that is written out whenever it is full. Larger than a deflate window:
// fewer mappings and writes make the unpacking about a tenth cheaper than
// 32 KiB pieces, and both together stay far below the memory goal.
constexpr uint32_t kKitWindowSize = 0x100000;       // mapped window of the kit
constexpr uint32_t kKitOutputBufferSize = 0x40000;  // inflate output buffer
constexpr uint32_t kKitCopyBufferSize = 0x100000;   // extraction copy buffer
constexpr uint32_t kKitMaxStringUnits = 0x3FFFFFFE;

struct KitLanguageEntry {
    WideString code;
    WideString product;
    WideString vendor;
    WideString descriptionPath;
};

struct KitFileEntry {
    WideString name;  // as stored, "\" separators
    FILETIME writeTime = 0;
    uint32_t dataOffset = 0;  // absolute in the unpacked body after loading
    uint32_t dataSize = 0;
};

}  // namespace tpl
