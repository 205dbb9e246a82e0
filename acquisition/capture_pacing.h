#pragma once

// The paced counting loop: it sleeps through most of each DCD level and polls without pause only
// around the moment the next change is due. The sensor is an oscillator whose frequency drifts
// slowly, so the next change can be predicted from the last ones; while it drifts, the count
// stays what a loop that never sleeps would give, each change is timed to within a poll, and a
// run costs a small share of a core (on a USB adapter, a few hundred control transfers a second
// instead of tens of thousands). A rise of four times or more within a level can hide pairs of
// changes between two looks: the window that holds it may lose up to twice the factor in
// changes (the next one is exact again). A line whose driver counts its changes needs none of
// this (TChangeWaitPacing, capture_loop.h).

#include "acquisition/capture_loop.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace sornafex {

// The pacing rule (a CPollPacing). All times are monotonic nanoseconds.
//
// - Timing. A change is timed halfway between the poll that saw it and the poll before
//   (ChangeTimeOf), to within half their distance: its uncertainty.
// - Rhythm. Three changes in a row make a rhythm. The next level is predicted to last as long as
//   the last level of the same polarity (a sensor need not hold both levels equally long).
// - Guard. From the predicted change minus a guard, minus the recent wake-up delay of the
//   sleeps, the loop polls without pause until the change comes. The guard is kMinGuard plus
//   twice the recent prediction error plus the uncertainty of the three changes, never more than
//   half the level; a level shorter than twice kMinGuard is never slept through. Nor does the
//   loop sleep so late that the largest wake-up delay seen in the last two to four seconds
//   (kWorstMemory to twice that) would carry it past the change after the predicted one: a pair
//   of changes would hide in such a delay. Delays count there up to kLongestGuardedDelay only:
//   longer ones come from a machine busy with other work, which stalls a loop that never sleeps
//   just as long.
// - Looks. Until then the loop sleeps, waking to look at the line at jittered intervals of an
//   eighth to a quarter of the level, never longer than kLongestSleep apart: a level that ends
//   early is seen, a rise of less than four times shows at the first look after it, a rhythm
//   that jumped to a multiple of ours cannot hide between regular looks, and the stop flag is
//   read at every look.
// - Fall-back. A change seen at a look or after a hand-off, earlier than the predicted change
//   minus the guard, or no change by the predicted change plus the guard, forgets the rhythm:
//   the loop polls without pause until three changes have made it again. A change found after a
//   wake-up that came late, past the predicted change minus the guard, fits the rhythm and is
//   kept; the rhythm then times it at its prediction, a better guess than the middle of the long
//   interval it was found in (the window still gets its ChangeTimeOf), and its uncertainty then
//   widens no guard: the later changes measure how good the prediction was.
// - Quiet line. Without a rhythm and without a change for kQuietAfter, the loop looks at the line
//   every kQuietLook / 2 to kQuietLook, so that a line that stopped changing costs next to nothing.
// - The recent prediction error and wake-up delay are decaying maxima: a new value raises them at
//   once, each update lowers them by a quarter first, and each change lowers the delay too. They
//   follow the usual values rather than the rare large ones, which would keep the loop polling
//   long before most changes.
class TPacedPolling {
public:
    static constexpr TMonoNs kMinGuard = 60'000;
    static constexpr TMonoNs kLongestSleep = 20'000'000;
    static constexpr TMonoNs kQuietAfter = 25'000'000;
    static constexpr TMonoNs kQuietLook = 2'000'000;
    static constexpr TMonoNs kWorstMemory = 2'000'000'000;
    static constexpr TMonoNs kLongestGuardedDelay = 1'000'000;

    void Start(TMonoNs at);
    void Polled(TMonoNs previousAt, TMonoNs at, bool changed);
    void AfterHandOff() {
        m_next = kPollAtOnce;
        m_handedOff = true;
    }
    TMonoNs NextPollAt() const { return m_next; }

private:
    struct TChange {
        TMonoNs at = 0;
        TMonoNs uncertainty = 0;
    };

    bool HasRhythm() const { return m_known == m_changes.size(); }
    void Remember(const TChange& change);
    TMonoNs NextPoll(TMonoNs at);
    // A duration between span / 2 and span.
    TMonoNs Jittered(TMonoNs span);

    std::array<TChange, 3> m_changes{}; // oldest first
    std::size_t m_known = 0;
    TMonoNs m_level = 0;     // the predicted length of the current level
    TMonoNs m_predicted = 0; // when the current level is predicted to end
    TMonoNs m_following = 0; // when the level after it is predicted to end
    TMonoNs m_guard = 0;
    TMonoNs m_error = 0;    // recent prediction error, a decaying maximum
    TMonoNs m_lateness = 0; // recent wake-up delay, a decaying maximum
    // The largest wake-up delay since m_worstFrom, and in the kWorstMemory before.
    TMonoNs m_worst = 0;
    TMonoNs m_worstBefore = 0;
    TMonoNs m_worstFrom = 0;
    TMonoNs m_quietSince = 0;
    TMonoNs m_next = kPollAtOnce;
    bool m_handedOff = false;
    std::uint32_t m_jitter = 0x9E3779B9u;
};

// Sleeps until the monotonic clock reaches at (clock_nanosleep); returns earlier when a signal
// interrupts the sleep.
void SleepUntil(TMonoNs at);

// Lowers the calling thread's timer slack to 1 µs, so that its sleeps end when asked rather than
// up to the default 50 µs later.
void LowerTimerSlack();

} // namespace sornafex
