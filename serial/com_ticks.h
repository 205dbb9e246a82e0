#pragma once

// The dispatcher's millisecond clock and its 55 ms ticks. The clock is CLOCK_MONOTONIC in
// milliseconds truncated to 32 bits, so it wraps; a tick wait treats a wrap as expiry.

#include <cstdint>

namespace sornafex {

inline constexpr std::uint32_t kTickMs = 55;
// The longest wait in ticks; longer requests are cut to it.
inline constexpr std::uint32_t kMaxTickWait = 39045157;

// Milliseconds of the monotonic clock, modulo 2^32.
std::uint32_t DispatcherMs();
// DispatcherMs() in ticks of 55 ms.
std::uint32_t CurrentTick();

// A wait of a number of ticks that started at a given tick.
class TTickDeadline {
public:
    explicit TTickDeadline(std::uint32_t ticks, std::uint32_t startTick = CurrentTick());
    // True once the current tick has passed start + ticks, or when the clock went back (wrapped).
    bool Expired(std::uint32_t nowTick = CurrentTick()) const;

private:
    std::uint32_t m_start;
    std::uint32_t m_ticks;
};

} // namespace sornafex
