#include "acquisition/capture_loop.h"

#include <time.h>

namespace sornafex {

TTickCount TickCount() {
    timespec now{};
    // CLOCK_MONOTONIC cannot fail with a valid timespec; uptime never goes backwards.
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<TTickCount>(ms);
}

} // namespace sornafex
