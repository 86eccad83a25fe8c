#pragma once
// Pausing the calling thread.
#include <cstdint>

// Sleeps the whole time, also across interrupting signals; nothing for <= 0.
void SleepMilliseconds(int32_t milliseconds);
