#pragma once

// The counting loop of an acquisition run: it busy-polls the DCD level, counts its changes over
// windows of a little more than one second and hands one sample per window (changes / 2, in
// hertz) to its sink. The sources are template parameters so that a poll costs no more than the
// DCD read and the tick read themselves.

#include <atomic>
#include <concepts>
#include <cstdint>

namespace sornafex {

// One counting window's frequency in hertz.
using TSample = std::int32_t;
// Milliseconds of uptime, 32 bits, wrapping after about 49.7 days.
using TTickCount = std::uint32_t;

// A window closes at the first poll after strictly more than this many milliseconds.
inline constexpr std::int32_t kCaptureWindowMs = 1000;

// The process's millisecond tick count: CLOCK_MONOTONIC in milliseconds, truncated to 32 bits.
TTickCount TickCount();

// Milliseconds from since to now, as the signed difference of two wrapping tick counts.
constexpr std::int32_t TicksSince(TTickCount now, TTickCount since) {
    return static_cast<std::int32_t>(now - since);
}

// Runs on the worker thread until stopRequested is read true after a poll, so a loop always
// polls at least once. readDcd() returns the line level; tickCount() the current TTickCount;
// handOff(sample) delivers a sample and may block until it was taken. The first poll's level is
// the starting previous level, so it counts no change; the level carries over from one window to
// the next while the change count restarts at 0; a change seen at the poll that closes a window
// counts in that window; the time of a hand-off belongs to no window. A partial window at the end
// gives no sample. An exception of a source or of the sink ends the loop.
template <typename DcdSource, typename TickSource, typename SampleSink>
requires std::predicate<DcdSource&> &&
    std::convertible_to<std::invoke_result_t<TickSource&>, TTickCount> &&
    std::invocable<SampleSink&, TSample>
void CaptureLoop(DcdSource&& readDcd, TickSource&& tickCount, SampleSink&& handOff,
                 const std::atomic<bool>& stopRequested) {
    TTickCount windowStart = tickCount();
    std::int32_t changes = 0;
    bool previous = static_cast<bool>(readDcd());
    for (;;) {
        if (TicksSince(tickCount(), windowStart) > kCaptureWindowMs) {
            handOff(static_cast<TSample>(changes / 2));
            changes = 0;
            windowStart = tickCount();
        }
        if (stopRequested.load(std::memory_order_acquire))
            return;
        const bool level = static_cast<bool>(readDcd());
        if (level != previous) {
            ++changes;
            previous = level;
        }
    }
}

} // namespace sornafex
