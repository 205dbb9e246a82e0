#pragma once

// What the review of a session shows of it (the window is app/frmReview.h): its signal with a
// gap wherever nothing was measured, the marks to see on it and to jump to, and each question's
// measured trough and peak. Made from a session as ReadJournalSession gives it.

#include "recording/journal_reader.h"

#include <string>
#include <vector>

namespace sornafex {

struct TSessionReview {
    // The fine signal in hertz, or in µS when the sensor was calibrated; or, for a journal
    // without fine rows (an earlier form), its one-second samples in hertz.
    enum class TSignal { FineHertz, FineMicroSiemens, Samples };

    // A mark of the session: a question's onset, an answer, a marker, a loss of the port or its
    // reopening. (A recentring moved the response window's scale: the review has none.)
    struct TEntry {
        enum class TKind { Question, Answer, Marker, PortLost, PortReopened };
        double seconds = 0; // of the run
        TKind kind = TKind::Marker;
        // On the chart, over its line: "Q3", "2"; empty for the kinds whose line has no label.
        std::string label;
        // In the list: "Q3 R Hier, à Lyon ? — non — réponse de 1,28 %", "Repère 2", "port perdu".
        std::string text;
        friend bool operator==(const TEntry&, const TEntry&) = default;
    };

    // A question's largest rise in its latency window, where the trace shows its start and its
    // peak: at the fine values' own times, which lag the moments they describe by the estimator's
    // delay (analysis/response.h measures on those moments).
    struct TRise {
        double troughSeconds = 0;
        double trough = 0;
        double peakSeconds = 0;
        double peak = 0;
        bool detected = false;
        friend bool operator==(const TRise&, const TRise&) = default;
    };

    TSignal signal = TSignal::Samples;
    // The points in the order of their times, in seconds of the run, and their values in the
    // signal's unit. NaN where nothing was measured: a sample "sans mesure"; for the fine signal,
    // after a value whose next tenth of a second has none (a loss, a silent line, a calibrated
    // reading out of its range).
    std::vector<double> seconds;
    std::vector<double> values;
    // The local time at the run's start in seconds since midnight, and the time of the
    // session's last row in seconds of the run.
    double clockStart = 0;
    double end = 0;
    std::vector<TEntry> entries; // in the order of their times
    std::vector<TRise> rises;
};

TSessionReview ReviewSession(const TJournalSession& session);

} // namespace sornafex
