#include "serial/ComTicks.h"

#include <time.h>

namespace sornafex {

std::uint32_t DispatcherMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::uint32_t CurrentTick() {
    return DispatcherMs() / kTickMs;
}

TTickDeadline::TTickDeadline(std::uint32_t ticks, std::uint32_t startTick)
    : m_start(startTick), m_ticks(ticks > kMaxTickWait ? kMaxTickWait : ticks) {}

bool TTickDeadline::Expired(std::uint32_t nowTick) const {
    if (nowTick < m_start)
        return true;
    return nowTick - m_start > m_ticks;
}

} // namespace sornafex
