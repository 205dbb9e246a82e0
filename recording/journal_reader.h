#pragma once

// Reading run journals back (their form is in journal.h): the last samples for the sample
// history, and a whole session for the review window and the exports.
//
// Both readers take every journal the program has written, whatever its header: the first line
// names the columns (a UTF-8 byte-order mark before it is allowed), each of them once, among
// them at least the first six; the columns are found by their names. Each other row has as many
// fields as the header, a time as FormatJournalTime writes it, the seconds as a decimal number
// and a port, and fills the columns of exactly one kind of row: a sample (a whole number), a
// sample "sans mesure", a fine estimate (a decimal number, and a decimal conductance or none), a
// marker (a whole number from 1), a question (its number from 1, a letter of kQuestionTypes, a
// text or none), an answer (the question's number, oui or non), an undoing (a marker's number, a
// question's, or a question's and an answer) or another event (one of kJournalEvents). Empty
// lines are skipped; quoted fields are read as RFC 4180 says; lines may end in CR LF or LF alone.
//
// A reader throws EJournalFormat naming the first line that is not so, counting the header as
// line 1. A last line that has no line end and cannot be read is left out instead: it is the row
// a crash or a full disk cut short.

#include "base/file_io.h"
#include "recording/journal.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

// A file that is not a journal. what() names the first line that could not be read.
class EJournalFormat : public std::runtime_error {
public:
    explicit EJournalFormat(int line);
    int Line() const noexcept { return m_line; }

private:
    int m_line;
};

// ---- The last samples -------------------------------------------------------------------------

// What a journal gives the sample history, in the order of the file.
struct TJournalEntry {
    enum class TKind { Sample, Marker };
    TKind kind = TKind::Sample;
    std::int32_t value = 0; // hertz (0 for a sample "sans mesure", as the chart draws it), or
                            // the marker's number

    friend bool operator==(const TJournalEntry&, const TJournalEntry&) = default;
};

// The entries of the journal's last 256 samples: each sample with, just before it, the markers
// made while it was being counted and not undone. Markers of samples left out go with them;
// markers after the last sample (the run ended while counting) are put with the last sample;
// without any sample nothing is kept. Fine rows, questions, answers and events are read but give
// no entry.
std::vector<TJournalEntry> ParseJournal(std::string_view bytes);

// Reads the journal at path; throws EFileError or EJournalFormat.
std::vector<TJournalEntry> ReadJournalFile(const std::string& path,
                                           TFileSystem& fs = TFileSystem::Posix());

// ---- A whole session --------------------------------------------------------------------------

// Milliseconds since the run's start: the secondes column, to the millisecond.
using TJournalMs = std::int64_t;

// Every row of a journal, each kind in an array of its own in the order of the file.
struct TJournalSession {
    struct TSample {
        TJournalMs at = 0;
        std::optional<std::int32_t> hertz; // none: "sans mesure"
        friend bool operator==(const TSample&, const TSample&) = default;
    };
    struct TFine {
        TJournalMs at = 0;
        double hertz = 0;
        std::optional<double> microsiemens; // none: the sensor was not calibrated
        friend bool operator==(const TFine&, const TFine&) = default;
    };
    struct TMarker {
        TJournalMs at = 0;
        std::int32_t number = 0;
        friend bool operator==(const TMarker&, const TMarker&) = default;
    };
    struct TEvent {
        TJournalMs at = 0;
        // PortLost, PortReopened or Recentred: a sample "sans mesure" is a sample, and the
        // examination's marks have arrays of their own.
        TJournalEvent event = TJournalEvent::PortLost;
        friend bool operator==(const TEvent&, const TEvent&) = default;
    };
    struct TQuestion {
        TJournalMs at = 0;
        std::int32_t number = 0;
        TQuestionType type = TQuestionType::Unlisted;
        std::string text;
        friend bool operator==(const TQuestion&, const TQuestion&) = default;
    };
    struct TAnswer {
        TJournalMs at = 0;
        std::int32_t number = 0; // the question's
        bool yes = false;
        friend bool operator==(const TAnswer&, const TAnswer&) = default;
    };
    // The undoing of a mark: of the marker with that number, of the onset of the question with
    // that number, or of that answer to it.
    struct TUndo {
        enum class TMark { Marker, Question, Answer };
        TJournalMs at = 0;
        TMark mark = TMark::Marker;
        std::int32_t number = 0;
        bool yes = false; // an answer's
        friend bool operator==(const TUndo&, const TUndo&) = default;
    };

    // The run's start: the first row's time less its seconds, with that row's offset from UTC;
    // and the first row's port ("COM1"). Both stay empty in a journal without rows.
    TJournalTime start;
    std::string port;
    // What the run measured with: the device (as the preferences mapped the port) and its
    // calibration points ("R@F;..."); empty where the journal does not say (older journals, an
    // uncalibrated device).
    std::string device;
    std::string calibration;
    std::vector<TSample> samples;
    std::vector<TFine> fine;
    // The marks that stand: each undoing took away the latest mark before it that it names.
    std::vector<TMarker> markers;
    std::vector<TQuestion> questions;
    std::vector<TAnswer> answers;
    std::vector<TEvent> events;
    // Every undoing, whether it found its mark or not.
    std::vector<TUndo> undos;
};

TJournalSession ParseJournalSession(std::string_view bytes);

// The time of the session's last row; 0 without any.
TJournalMs SessionEnd(const TJournalSession& session);

// Reads the journal at path; throws EFileError or EJournalFormat.
TJournalSession ReadJournalSession(const std::string& path, TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex
