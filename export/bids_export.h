#pragma once

// A session as the physiological recording and the events of a BIDS data set, three files in one
// folder named after a subject and a task, sub-<subject>_task-<task>_...:
//
// - _physio.tsv.gz: gzip, no header row, one row a tenth of a second from the first fine value
//   to the last (export/session_signals.h), tab-separated: the frequency (Hz) and, when the
//   sensor was calibrated, the conductance (µS), to four decimals; "n/a" where there is none.
// - _physio.json: SamplingFrequency 10, StartTime (the first row's moment, in seconds since the
//   run's start), Columns, each column's Units and Description, and SoftwareVersions.
// - _events.tsv: "onset duration trial_type value response_time", one row for each question's
//   onset (trial_type its type, R, C, N or "-"; value the answer that stands, oui or non, and
//   response_time the seconds from the onset to it; "n/a" for both without an answer) and one
//   for each marker (trial_type "repère"); onsets in seconds since the run's start, in their
//   order, duration 0. Marks undone are not there.
//
// Each file replaces the one before it crash-safely (base/file_io.h), once all three are made.

#include "base/file_io.h"
#include "export/session_signals.h"

#include <string>
#include <string_view>

namespace sornafex {

struct TBidsLabels {
    std::string subject;
    std::string task;
};

// BIDS labels are letters and digits (ASCII), at least one.
bool IsBidsLabel(std::string_view label);

// The subject label a journal's file name gives: the name without its folder and extension,
// with its letters and digits only ("2026-12-08_10-15-02_COM1.csv": "20261208101502COM1"); empty
// when it has none.
std::string BidsSubjectOf(std::string_view journalPath);

// "sub-<subject>_task-<task>", which begins the name of each file.
std::string BidsFilePrefix(const TBidsLabels& labels);

// Writes the three files into folder, making it (mode 0700) when it is missing. Throws
// EExportError (a label that is not one, a session without fine values) before writing anything,
// or EFileError.
void ExportBids(const TJournalSession& session, const std::string& folder,
                const TBidsLabels& labels, TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex
