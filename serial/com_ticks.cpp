#include "serial/com_ticks.h"

#include "base/mono_clock.h"

namespace sornafex {

std::uint32_t DispatcherMs() {
    return static_cast<std::uint32_t>(MonotonicNs() / kNsPerMs);
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
