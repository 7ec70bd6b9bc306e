#pragma once
// The transaction target runs the core on a clock kTimeDivisor times faster
// than the wall: the monotonic clock and every poll() time-out of the process
// are scaled, so a 2000 ms step costs 2000 / kTimeDivisor ms and the repair
// paths behind time-outs are reached thousands of times a minute. Both are
// scaled together, so every time-out still runs out only after its full
// (compressed) time without data.

#include <cstdint>

namespace norva::fuzz {

inline constexpr int64_t kTimeDivisor = 500;

// The unscaled monotonic clock, for the harness's own deadlines.
int64_t RealNowNs();
// Sleeps for `ms` of compressed time.
void SleepCompressedMs(int ms);

} // namespace norva::fuzz
