#pragma once

// The fine frequency: ten estimates a second from the times of the line's level changes, where
// the sample counts whole changes once a window. Each estimate is a least-squares fit of the
// change index against time over a trailing span, so that the timing jitter of the polls (or of
// a USB adapter's status packets) averages out. The fit has a term for the polarity of each
// change as well (two parallel lines, one per edge), so that an oscillator that does not hold
// both levels equally long gives no bias. Frequency = fitted changes per second / 2.
//
// The span: the changes of the last kSpan (480 ms). A slower line whose last kSpan holds fewer
// than kMinChanges reaches back to its kMinChanges-th last change, as long as that lies within
// kLongestSpan (2 s): from about 8 Hz up the span is kSpan, down to 2 Hz it lengthens (and so
// does the delay, half the span), below 2 Hz there is no estimate. A +1 % step reaches 90 % of
// its height 0.39 s after it; on a ramp an estimate lags by kDelay. The estimator keeps only the
// changes its next estimates may use, so that its memory is bounded at any rate; the estimates
// that fall due before a change it is told of are made then, and wait for EstimatesUntil.
//
// No estimate (nullopt, never 0) for a span that
//  - holds fewer than kMinChanges changes (silence included),
//  - meets a gap: the time before the run's start, from LineLost to LineBack, or a pause of the
//    polls long enough to hide a pulse from the count,
//  - ends on a line that has stopped changing: its last change older than three of the span's
//    mean intervals plus 2 ms (room for a USB adapter's packets).

#include "base/mono_clock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace sornafex {

struct TFineEstimate {
    TMonoNs at = 0; // the estimate's due time: runStart + k · kInterval
    std::optional<double> hertz;

    friend bool operator==(const TFineEstimate&, const TFineEstimate&) = default;
};

class TFineFrequency {
public:
    static constexpr TMonoNs kInterval = 100 * kNsPerMs;
    static constexpr TMonoNs kSpan = 480 * kNsPerMs;
    static constexpr TMonoNs kLongestSpan = 2 * kNsPerSecond;
    static constexpr std::size_t kMinChanges = 8;
    // How far, on a steady ramp, an estimate lags the true frequency: the fit's slope is the
    // frequency at the middle of its span.
    static constexpr TMonoNs kDelay = kSpan / 2;

    explicit TFineFrequency(TMonoNs runStart);

    // The index-th level change of the run (0 = the first after the start) at `at`, known to
    // within ± uncertainty. Indices increase and times do not decrease; a jump in the index
    // (changes dropped on the way to the UI, or counted by a driver and timed by no poll) leaves
    // those changes out of the fit, the others keeping their numbers. The fit weighs each change by
    // its uncertainty (with a floor of 20 µs, the line's own): a change found after a pause of the
    // polls (a sample's hand-off, a late wake-up) counts for next to nothing beside those found at
    // once. blindest is the longest pause of the polls since the change before: one as long as the
    // shorter level could have hidden a pair of changes, and is a gap as well.
    void AddChange(std::uint64_t index, TMonoNs at, TMonoNs uncertainty = 0, TMonoNs blindest = 0);
    // Nothing is known of the line from `at` on (the port was lost) / again from `at` on.
    void LineLost(TMonoNs at);
    void LineBack(TMonoNs at);
    // Appends, in order, the estimates due at or before `until` not given yet. An estimate due
    // at t uses the changes timed at or before t. The calls of all four functions come in the
    // order of their times: everything of the line up to `until` has been told.
    void EstimatesUntil(TMonoNs until, std::vector<TFineEstimate>& out);

private:
    struct TChange {
        std::uint64_t index;
        TMonoNs at;
        double weight;
    };

    // Whether the pause of the polls that found a change at `at` could have hidden others.
    bool MayHideChanges(TMonoNs at, TMonoNs blindest) const;
    // Makes the estimates due before `limit` (or at it, when inclusive).
    void Settle(TMonoNs limit, bool inclusive);
    // Drops the changes that no estimate due at `due` or later needs.
    void Forget(TMonoNs due);
    // Of the changes kept for it, all timed at or before t.
    std::optional<double> EstimateAt(TMonoNs t) const;

    // The changes the next estimates may use, oldest first; all timed at or before m_nextDue.
    std::deque<TChange> m_changes;
    std::vector<TFineEstimate> m_ready; // made, not given yet
    TMonoNs m_nextDue;
    TMonoNs m_gapEnd; // no span may begin before it
    bool m_lost = false;
};

// The fine frequency averaged over a measurement (the calibration's few seconds): the mean of
// the estimates that have a value; none with fewer than minimum of them.
std::optional<double> MeanFrequency(std::span<const TFineEstimate> estimates, std::size_t minimum);

} // namespace sornafex
