#include "acquisition/capture_loop.h"

#include <time.h>

namespace sornafex {

TMonoNs MonotonicNs() {
    timespec now{};
    // CLOCK_MONOTONIC cannot fail with a valid timespec; uptime never goes backwards.
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<TMonoNs>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

TTickCount TickCount() {
    return TickOf(MonotonicNs());
}

} // namespace sornafex
