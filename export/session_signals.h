#pragma once

// What every export makes of a session read from its journal (recording/journal_reader.h): the
// fine values on their grid of ten a second, the spans without a value, the port's losses and
// the answer that stands for each question.

#include "recording/journal_reader.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace sornafex {

// An export that cannot be written. what() is the French reason.
class EExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Sornafex 1.0.0.2": the program that wrote an export, and its version.
std::string ExportingSoftware();

// The fine estimates are stamped on the run's grid of ten a second: 0.100, 0.200...
inline constexpr int kFineRate = 10;
inline constexpr TJournalMs kFineStepMs = 1000 / kFineRate;

// A span of the run, in milliseconds since its start: [from, to).
struct TSessionSpan {
    TJournalMs from = 0;
    TJournalMs to = 0;
    friend bool operator==(const TSessionSpan&, const TSessionSpan&) = default;
};

// The session's signals: slot i is the moment i × 100 ms after the run's start, from slot 0 to
// the slot nearest the session's last row. A slot without an estimate (before the first, in a loss,
// on a silent line) holds NaN; an estimate is put in the slot nearest its time, a later one in
// the same slot taking its place.
struct TSessionSignals {
    std::vector<double> hertz;
    // As many slots, or none when no fine row has a conductance (the sensor was not calibrated);
    // NaN also where a fine row of a calibrated session has none.
    std::vector<double> microsiemens;
};

// Throws EExportError when the session has no fine value at all (a journal of the first forms),
// or says it lasted more than a week.
TSessionSignals SessionSignals(const TJournalSession& session);

// The runs of slots without a value, in slots: [from, to).
std::vector<TSessionSpan> Gaps(const std::vector<double>& slots);

// Each loss of the port, to its reopening or to the end of the session.
std::vector<TSessionSpan> PortLosses(const TJournalSession& session);

// The answer that stands for the question of that number: the last one given; nullptr when none.
const TJournalSession::TAnswer* AnswerTo(const TJournalSession& session, std::int32_t number);

} // namespace sornafex
