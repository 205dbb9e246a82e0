#pragma once

// The counting loop of an acquisition run: it polls the DCD level, counts its changes over
// windows of a little more than one second and hands one sample per window (changes / 2, in
// hertz) to its sink, with the times of the window's changes. When it polls is the pacing's
// choice: at full speed it never pauses; paced (capture_pacing.h) it sleeps through most of each
// level. The sources are template parameters so that a poll costs no more than the DCD read and
// the clock read themselves.

#include "base/mono_clock.h"

#include <algorithm>
#include <atomic>
#include <concepts>
#include <cstdint>
#include <limits>
#include <utility>

namespace sornafex {

// One counting window's frequency in hertz.
using TSample = std::int32_t;
// Milliseconds of uptime, 32 bits, wrapping after about 49.7 days.
using TTickCount = std::uint32_t;
// A window closes at the first poll after strictly more than this many milliseconds.
inline constexpr std::int32_t kCaptureWindowMs = 1000;

// The millisecond tick count of a monotonic time: its milliseconds truncated to 32 bits.
constexpr TTickCount TickOf(TMonoNs at) {
    return static_cast<TTickCount>(at / 1'000'000);
}

// The process's millisecond tick count: TickOf(MonotonicNs()).
TTickCount TickCount();

// Milliseconds from since to now, as the signed difference of two wrapping tick counts.
constexpr std::int32_t TicksSince(TTickCount now, TTickCount since) {
    return static_cast<std::int32_t>(now - since);
}

// A change seen by a poll happened after the poll before it: it is timed halfway between the
// clock readings that follow the two polls, to within half their distance.
constexpr TMonoNs ChangeTimeOf(TMonoNs previousPollAt, TMonoNs pollAt) {
    return previousPollAt + (pollAt - previousPollAt) / 2;
}

// What a window saw, handed over with its sample. Times are monotonic nanoseconds.
struct TCaptureWindow {
    TMonoNs openedAt = 0;     // the clock reading that opened the window
    TMonoNs closedAt = 0;     // the clock reading after the poll that closed it
    std::int32_t changes = 0; // level changes counted; the sample is changes / 2
    // ChangeTimeOf the first and the last of them (when changes > 0). A change that the window's
    // first poll sees happened during the hand-off before: it may be timed before openedAt.
    TMonoNs firstChangeAt = 0;
    TMonoNs lastChangeAt = 0;

    friend bool operator==(const TCaptureWindow&, const TCaptureWindow&) = default;
};

// NextPollAt() of a pacing that wants the next poll without a pause.
inline constexpr TMonoNs kPollAtOnce = std::numeric_limits<TMonoNs>::min();

// When the loop polls. Start(at) follows the first poll of a run; Polled(previousAt, at, changed)
// every further poll, with the clock readings after that poll and after the one before it;
// AfterHandOff() each hand-off of a sample. NextPollAt() is the time of the next poll; the loop
// sleeps until then when it is later than its last poll.
template <typename T>
concept CPollPacing = requires(T pacing, TMonoNs at, bool changed) {
    pacing.Start(at);
    pacing.Polled(at, at, changed);
    pacing.AfterHandOff();
    { pacing.NextPollAt() } -> std::convertible_to<TMonoNs>;
};

// The pacing of a loop that never sleeps: every poll follows the previous one at once.
struct TFullSpeedPolling {
    static constexpr void Start(TMonoNs) {}
    static constexpr void Polled(TMonoNs, TMonoNs, bool) {}
    static constexpr void AfterHandOff() {}
    static constexpr TMonoNs NextPollAt() { return kPollAtOnce; }
};

// Runs on the worker thread until stopRequested is read true after a poll, so a loop always
// polls at least once. readDcd() returns the line level; clock() the current TMonoNs, from which
// the window's tick count is taken (TickOf); sleepUntil(at) returns at or after at, or earlier
// when interrupted; handOff(sample, window) delivers a sample and may block until it was taken.
// The first poll's level is the starting previous level, so it counts no change; the level
// carries over from one window to the next while the change count restarts at 0; a change seen
// at the poll that closes a window counts in that window; the time of a hand-off belongs to no
// window. No sleep runs past the moment the window's tick count closes it, so a paced window
// closes at the same poll as an unpaced one would. A partial window at the end gives no sample.
// onChange(at, uncertainty, blindest) hears of every change as the poll that saw it finds it, in
// order, with its ChangeTimeOf, half the distance between the two polls around it, and the
// longest distance between two polls since the change before (the hand-off's included): a pause
// of the polls as long as a level may have hidden a pair of changes. It must not wait.
// An exception of a source or of a sink ends the loop.
template <typename DcdSource, typename Clock, CPollPacing Pacing, typename Sleeper,
          typename SampleSink, typename ChangeSink>
requires std::predicate<DcdSource&> && std::convertible_to<std::invoke_result_t<Clock&>, TMonoNs> &&
    std::invocable<Sleeper&, TMonoNs> &&
    std::invocable<SampleSink&, TSample, const TCaptureWindow&> &&
    std::invocable<ChangeSink&, TMonoNs, TMonoNs, TMonoNs>
void CaptureLoop(DcdSource&& readDcd, Clock&& clock, Pacing& pacing, Sleeper&& sleepUntil,
                 SampleSink&& handOff, ChangeSink&& onChange,
                 const std::atomic<bool>& stopRequested) {
    // The first nanosecond at which the tick count is more than kCaptureWindowMs past the
    // window's (TicksSince(TickOf(at), TickOf(openedAt)) > kCaptureWindowMs), found once a window
    // so that a poll costs no division.
    const auto closingTime = [](TMonoNs openedAt) {
        return (openedAt / 1'000'000 + kCaptureWindowMs + 1) * 1'000'000;
    };
    TCaptureWindow window;
    window.openedAt = clock();
    TMonoNs closesAt = closingTime(window.openedAt);
    bool previous = static_cast<bool>(readDcd());
    TMonoNs polledAt = clock();
    TMonoNs blindest = 0;
    pacing.Start(polledAt);
    for (;;) {
        if (polledAt >= closesAt) {
            window.closedAt = polledAt;
            handOff(static_cast<TSample>(window.changes / 2), std::as_const(window));
            window = TCaptureWindow{};
            window.openedAt = clock();
            closesAt = closingTime(window.openedAt);
            pacing.AfterHandOff();
        }
        if (stopRequested.load(std::memory_order_acquire))
            return;
        const TMonoNs wakeAt = std::min<TMonoNs>(pacing.NextPollAt(), closesAt);
        if (wakeAt > polledAt)
            sleepUntil(wakeAt);
        const bool level = static_cast<bool>(readDcd());
        const TMonoNs at = clock();
        blindest = std::max(blindest, at - polledAt);
        const bool changed = level != previous;
        if (changed) {
            previous = level;
            const TMonoNs changedAt = ChangeTimeOf(polledAt, at);
            if (window.changes++ == 0)
                window.firstChangeAt = changedAt;
            window.lastChangeAt = changedAt;
            onChange(changedAt, at - changedAt, std::exchange(blindest, 0));
        }
        pacing.Polled(polledAt, at, changed);
        polledAt = at;
    }
}

// The loop for a caller that needs only the samples.
template <typename DcdSource, typename Clock, CPollPacing Pacing, typename Sleeper,
          typename SampleSink>
void CaptureLoop(DcdSource&& readDcd, Clock&& clock, Pacing& pacing, Sleeper&& sleepUntil,
                 SampleSink&& handOff, const std::atomic<bool>& stopRequested) {
    CaptureLoop(
        readDcd, clock, pacing, sleepUntil, handOff, [](TMonoNs, TMonoNs, TMonoNs) {},
        stopRequested);
}

} // namespace sornafex
