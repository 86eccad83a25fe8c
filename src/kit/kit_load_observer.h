#pragma once
// Lets the one who loads a kit show how far the unpacking has come and stop
// it: a large kit takes seconds to unpack.
#include <cstdint>

namespace tpl {

class KitLoadObserver {
public:
    virtual ~KitLoadObserver() = default;
    // Called at the start and then every kKitProgressStep bytes of the kit
    // read, on the loading thread. done <= total (the kit's size). Returning
    // false stops the load with ERROR_CANCELLED; the unpacked file goes.
    virtual bool OnUnpackProgress(uint64_t done, uint64_t total) = 0;
};

// Often enough for a smooth bar and a prompt Cancel (a few milliseconds of
// inflating), rarely enough to cost nothing.
constexpr uint32_t kKitProgressStep = 0x100000;

}  // namespace tpl
