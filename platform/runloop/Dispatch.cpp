#include "platform/runloop/Dispatch.h"
#include "platform/runloop/RunLoop.h"

#include <limits>

struct dispatch_queue_s {};

namespace {
dispatch_queue_s mainQueue;
} // namespace

dispatch_queue_t dispatch_get_main_queue() {
    return &mainQueue;
}

dispatch_time_t dispatch_time(dispatch_time_t when, int64_t delta) {
    if (when == DISPATCH_TIME_FOREVER)
        return DISPATCH_TIME_FOREVER;
    int64_t base = when == DISPATCH_TIME_NOW
                       ? RunLoop::main()->nowNanoseconds()
                       : static_cast<int64_t>(std::min<dispatch_time_t>(when, INT64_MAX / 2));
    if (delta > 0 && base > INT64_MAX / 2 - delta)
        return DISPATCH_TIME_FOREVER;
    int64_t result = base + delta;
    return result < 0 ? 0 : static_cast<dispatch_time_t>(result);
}

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block) {
    if (queue != &mainQueue || !block || when == DISPATCH_TIME_FOREVER)
        return;
    int64_t due = when == DISPATCH_TIME_NOW
                      ? RunLoop::main()->nowNanoseconds()
                      : static_cast<int64_t>(std::min<dispatch_time_t>(when, INT64_MAX / 2));
    RunLoop::main()->enqueue(due, std::move(block));
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block) {
    dispatch_after(DISPATCH_TIME_NOW, queue, std::move(block));
}
