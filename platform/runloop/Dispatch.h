#pragma once

// The main queue: tasks run on the main thread by the main run loop, in every mode, once the main
// run loop's clock reaches their time (so a virtual clock delays them until it is advanced). Only
// the main queue exists; any other queue argument (null) is ignored. Safe to call from any thread.

#include <cstdint>
#include <functional>

using dispatch_time_t = uint64_t;
using dispatch_block_t = std::function<void()>;
struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr int64_t NSEC_PER_SEC = 1000000000;
inline constexpr int64_t NSEC_PER_MSEC = 1000000;
inline constexpr int64_t NSEC_PER_USEC = 1000;

dispatch_queue_t dispatch_get_main_queue();
// `when` (DISPATCH_TIME_NOW: the main run loop's clock now) moved by delta nanoseconds; never
// before the clock's start. FOREVER stays FOREVER.
dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta);
// Runs block on the queue at `when`; a task for FOREVER never runs.
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
