// Millisecond tick count and sleeping.
#pragma once

#include <cstdint>

namespace kest::platform {

// Milliseconds since an arbitrary start, from CLOCK_MONOTONIC, wrapping at 2^32
// like the camera protocol's tick stamps.
uint32_t TickCount();

// Microseconds from CLOCK_MONOTONIC, for measurements that need more resolution.
uint64_t MonotonicMicros();

void SleepMs(uint32_t ms);

}  // namespace kest::platform
