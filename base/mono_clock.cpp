#include "base/mono_clock.h"

#include <time.h>

namespace sornafex {

TMonoNs MonotonicNs() {
    timespec now{};
    // CLOCK_MONOTONIC cannot fail with a valid timespec; uptime never goes backwards.
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<TMonoNs>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

} // namespace sornafex
