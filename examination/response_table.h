#pragma once

// The table of an examination's responses: each question with its answer and the measurement of
// the response the fine signal shows to it (analysis/response.h), the mean amplitude per kind of
// question and relevant against comparison. A table of measurements, never a verdict.
//
// It is written next to the run's journal as <journal name without .csv>_reponses.csv (UTF-8,
// RFC 4180, CR LF):
//
//   question,type,texte,reponse,debut_s,latence_s,amplitude_hz,amplitude_pct,amplitude_us,
//       montee_s,demi_recuperation_s,detectee                             (one line in the file)
//   1,R,"Hier, à Lyon ?",non,7.379,1.842,0.6410,1.2780,,1.510,3.900,oui
//
// debut_s is the onset in the journal's seconds; detectee is "oui" or "non". A question whose
// window had no rise, and one that could not be measured (a loss in its window, the run ended too
// soon), have empty measurement fields.

#include "analysis/response.h"
#include "recording/journal.h"
#include "recording/journal_reader.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

struct TQuestionResponse {
    int number = 0; // in the run
    TQuestionType type = TQuestionType::Unlisted;
    std::string text;
    std::optional<bool> answer; // yes, no, or none given
    TResponse response;
};

// What the table says of one kind of question.
struct TKindSummary {
    TQuestionType type = TQuestionType::Unlisted;
    int asked = 0;
    int detected = 0;
    // The mean amplitude of the detected responses, in µS when calibrated, in % of the level
    // otherwise; none without any.
    std::optional<double> meanAmplitude;
};

struct TResponseTable {
    bool calibrated = false;
    std::vector<TQuestionResponse> rows;

    // The amplitude a row counts with: µS when calibrated, % of the level otherwise.
    std::optional<double> Amplitude(const TQuestionResponse& row) const;
    // R, C, N and the questions asked without a list, in that order.
    std::array<TKindSummary, 4> Summaries() const;
    // The mean amplitude of the relevant questions over that of the comparison ones; none when
    // either has none.
    std::optional<double> RelevantOverComparison() const;
};

// The table of a whole session read back: its questions (undone ones left out), the last answer
// given to each, and the responses measured on its fine rows with settings.
TResponseTable MeasureSessionResponses(const TJournalSession& session,
                                       const TResponseSettings& settings = {});

inline constexpr std::string_view kResponseTableHeader =
    "question,type,texte,reponse,debut_s,latence_s,amplitude_hz,amplitude_pct,amplitude_us,"
    "montee_s,demi_recuperation_s,detectee";

// The file's bytes: the header and a row per question, CR LF.
std::string ResponseTableCsv(const TResponseTable& table);

// The table as the window shows it, French decimals: the columns' titles (the µS column only when
// calibrated), and each row's texts under them, its remark last ("non mesurée", "pendant la
// mesure précédente").
std::vector<std::string> ResponseColumnTitles(bool calibrated);
std::vector<std::string> ResponseRowTexts(const TResponseTable& table,
                                          const TQuestionResponse& row);
// A line for each kind that has questions, "R : 4 questions, 3 réponses détectées, amplitude
// moyenne 1,25 %", then "R / C : 1,52" when both have a mean amplitude.
std::vector<std::string> ResponseSummaryTexts(const TResponseTable& table);
// "<folder>/<name>_reponses.csv" for the journal "<folder>/<name>.csv".
std::string ResponseTablePathFor(const std::string& journalPath);

} // namespace sornafex
