#pragma once

// The measurement of responses (analysis/response.h) fed with what a run's journal holds: its fine
// rows, each an estimate with a value on the run's 100 ms grid, and its questions' onsets, all at
// the journal's milliseconds. Rows missing from the grid for at most kBridgedGap are bridged by
// the straight line between the rows around them: a pause of the polls that hid one level change
// costs the estimator half a second of estimates, and a skin response, which takes one to three
// seconds to rise, is not changed by it. A longer gap is a time without a signal (a lost port, a
// line that stopped): the feed gives the meter that gap once the next row comes, and the windows
// it falls in are not measured. Each onset goes to the meter in its place among the points. A
// session read back and a run measured as it goes are fed alike, so that both measure the same.

#include "analysis/response.h"
#include "recording/journal_reader.h"

#include <deque>
#include <optional>
#include <vector>

namespace sornafex {

class TResponseFeed {
public:
    // Longer than the half second of estimates a single hidden change takes away, shorter than a
    // response's rise.
    static constexpr TJournalMs kBridgedGap = 1000;

    TResponseFeed(const TResponseSettings& settings, bool calibrated);

    // The fine row at `at`, later than the rows before it.
    void Fine(TJournalMs at, double hertz, std::optional<double> microsiemens);
    // A question's onset at `at`, not before the onsets before it; rows stamped before it may
    // still come.
    void Onset(TJournalMs at);
    // The run has ended: the onsets still held and every open window close.
    void End();
    // Appends the measurements whose windows have closed since the last call, in onset order.
    void TakeClosed(std::vector<TResponse>& out) { m_meter.TakeClosed(out); }

private:
    void OnsetsUpTo(TJournalMs at);

    struct TRow {
        TJournalMs at;
        double hertz;
        std::optional<double> microsiemens;
    };

    TResponseMeter m_meter;
    std::deque<TJournalMs> m_onsets; // held until a row at or after them comes
    TJournalMs m_next;               // the grid's next moment
    std::optional<TRow> m_last;      // the last row given
};

} // namespace sornafex
