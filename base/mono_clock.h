#pragma once

// The one monotonic clock of the program. The counting loop times the line's changes by it, the
// journal its rows, the simulated sensor its phase and the dispatcher its waits, so that a time
// taken in one of them means the same moment in all the others.

#include <cstdint>

namespace sornafex {

// Nanoseconds of the monotonic clock (CLOCK_MONOTONIC): never negative, never wraps.
using TMonoNs = std::int64_t;

inline constexpr TMonoNs kNsPerMs = 1'000'000;
inline constexpr TMonoNs kNsPerSecond = 1'000'000'000;

// The monotonic clock in nanoseconds.
TMonoNs MonotonicNs();

// The same reading in seconds, for the simulation's arithmetic.
inline double MonotonicSeconds() {
    return static_cast<double>(MonotonicNs()) * 1e-9;
}

} // namespace sornafex
