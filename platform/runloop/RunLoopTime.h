#pragma once

// The run loop's readings of time (private to the run loop): nanoseconds on the machine's steady
// clock, and the instant that never comes.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>

namespace RunLoopDetail {

inline constexpr int64_t never = std::numeric_limits<int64_t>::max();

inline int64_t steadyNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A wait or an advance in milliseconds as nanoseconds: nothing for what is not positive, and half
// of forever for what is too long to count.
inline int64_t millisecondsToNanoseconds(double milliseconds) {
    if (!(milliseconds > 0))
        return 0;
    if (milliseconds > 9e12)
        return never / 2;
    return static_cast<int64_t>(std::llround(milliseconds * 1e6));
}

} // namespace RunLoopDetail
