#include "examination/response_table.h"

#include "base/decimal_text.h"
#include "examination/response_feed.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

namespace sornafex {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kResponseSuffix = "_reponses.csv";
constexpr std::string_view kJournalSuffix = ".csv";

// A decimal point, whatever the locale: the file is for programs as much as for people.
std::string Number(double value, int decimals) {
    char text[64];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text, end) : std::string();
}

std::string Optional(const std::optional<double>& value, int decimals) {
    return value ? Number(*value, decimals) : std::string();
}

// A field as RFC 4180 wants it: quoted when it holds a separator, a quote or a line end.
std::string Field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text)
        quoted.append(c == '"' ? "\"\"" : std::string(1, c));
    return quoted + "\"";
}

} // namespace

std::optional<double> TResponseTable::Amplitude(const TQuestionResponse& row) const {
    const auto& rise = row.response.rise;
    if (!rise)
        return std::nullopt;
    return calibrated ? rise->amplitudeMicroSiemens : std::optional(rise->amplitudePercent);
}

std::array<TKindSummary, 4> TResponseTable::Summaries() const {
    std::array<TKindSummary, 4> summaries{};
    for (std::size_t i = 0; i < summaries.size(); ++i)
        summaries[i].type = kQuestionTypes[i].type;
    std::array<double, 4> sums{};
    for (const TQuestionResponse& row : rows) {
        const auto kind = std::find_if(kQuestionTypes.begin(), kQuestionTypes.end(),
                                       [&](const auto& entry) { return entry.type == row.type; });
        const auto i = static_cast<std::size_t>(kind - kQuestionTypes.begin());
        ++summaries[i].asked;
        const auto amplitude = Amplitude(row);
        if (row.response.detected && amplitude) {
            ++summaries[i].detected;
            sums[i] += *amplitude;
        }
    }
    for (std::size_t i = 0; i < summaries.size(); ++i)
        if (summaries[i].detected > 0)
            summaries[i].meanAmplitude = sums[i] / summaries[i].detected;
    return summaries;
}

std::optional<double> TResponseTable::RelevantOverComparison() const {
    const auto summaries = Summaries();
    const auto& relevant = summaries[0].meanAmplitude;
    const auto& comparison = summaries[1].meanAmplitude;
    if (!relevant || !comparison || *comparison == 0)
        return std::nullopt;
    return *relevant / *comparison;
}

TResponseTable MeasureSessionResponses(const TJournalSession& session,
                                       const TResponseSettings& settings) {
    TResponseTable table;
    table.calibrated = std::any_of(session.fine.begin(), session.fine.end(),
                                   [](const auto& fine) { return fine.microsiemens.has_value(); });
    // The feed holds each onset until the rows reach it.
    TResponseFeed feed(settings, table.calibrated);
    for (const auto& question : session.questions)
        feed.Onset(question.at);
    for (const auto& fine : session.fine)
        feed.Fine(fine.at, fine.hertz, fine.microsiemens);
    feed.End();
    std::vector<TResponse> responses;
    feed.TakeClosed(responses);

    std::map<int, bool> answers;
    for (const auto& answer : session.answers)
        answers[answer.number] = answer.yes;
    for (std::size_t i = 0; i < session.questions.size() && i < responses.size(); ++i) {
        const auto& asked = session.questions[i];
        TQuestionResponse row{asked.number, asked.type, asked.text, std::nullopt, responses[i]};
        if (const auto found = answers.find(asked.number); found != answers.end())
            row.answer = found->second;
        table.rows.push_back(std::move(row));
    }
    return table;
}

std::string ResponseTableCsv(const TResponseTable& table) {
    std::string text(kResponseTableHeader);
    text.append(kLineEnd);
    for (const TQuestionResponse& row : table.rows) {
        const TResponse& response = row.response;
        const auto& rise = response.rise;
        const char letter = QuestionTypeLetter(row.type);
        std::string fields[] = {
            std::to_string(row.number),
            std::string(1, letter),
            Field(row.text),
            row.answer ? std::string(*row.answer ? kAnswerYes : kAnswerNo) : std::string(),
            Number(response.onset, 3),
            {},
            {},
            {},
            {},
            {},
            {},
            {},
        };
        if (response.measured) {
            if (rise) {
                fields[5] = Optional(response.Latency(), 3);
                fields[6] = Number(rise->amplitudeHertz, 4);
                fields[7] = Number(rise->amplitudePercent, 4);
                fields[8] = Optional(rise->amplitudeMicroSiemens, 4);
                fields[9] = Optional(response.RiseTime(), 3);
                fields[10] = Optional(rise->halfRecovery, 3);
            }
        }
        fields[11] = response.detected ? std::string(kAnswerYes) : std::string(kAnswerNo);
        for (std::size_t i = 0; i < std::size(fields); ++i)
            text.append(i == 0 ? "" : ",").append(fields[i]);
        text.append(kLineEnd);
    }
    return text;
}

namespace {

std::string Shown(const std::optional<double>& value, int decimals) {
    return value ? FrenchDecimal(*value, decimals, true) : std::string();
}

std::string Counted(int count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count > 1 ? many : one);
}

} // namespace

std::vector<std::string> ResponseColumnTitles(bool calibrated) {
    std::vector<std::string> titles{"N°",        "Type",        "Question",       "Réponse",
                                    "Début (s)", "Latence (s)", "Amplitude (Hz)", "Amplitude (%)"};
    if (calibrated)
        titles.emplace_back("Amplitude (µS)");
    for (const char* title : {"Montée (s)", "Demi-récupération (s)", "Détectée", "Remarque"})
        titles.emplace_back(title);
    return titles;
}

std::vector<std::string> ResponseRowTexts(const TResponseTable& table,
                                          const TQuestionResponse& row) {
    const TResponse& response = row.response;
    const TRise* rise = response.measured && response.rise ? &*response.rise : nullptr;
    std::vector<std::string> texts{
        std::to_string(row.number),
        std::string(1, QuestionTypeLetter(row.type)),
        row.text,
        row.answer ? std::string(*row.answer ? kAnswerYes : kAnswerNo) : std::string(),
        FrenchDecimal(response.onset, 1, true),
        rise ? Shown(response.Latency(), 2) : std::string(),
        rise ? FrenchDecimal(rise->amplitudeHertz, 3, true) : std::string(),
        rise ? FrenchDecimal(rise->amplitudePercent, 2, true) : std::string(),
    };
    if (table.calibrated)
        texts.push_back(rise ? Shown(rise->amplitudeMicroSiemens, 3) : std::string());
    texts.push_back(rise ? Shown(response.RiseTime(), 2) : std::string());
    texts.push_back(rise ? Shown(rise->halfRecovery, 2) : std::string());
    texts.emplace_back(response.detected ? kAnswerYes : kAnswerNo);
    std::string remark = response.measured ? "" : "non mesurée";
    if (response.overlapsPrevious)
        remark.append(remark.empty() ? "" : ", ").append("pendant la mesure précédente");
    texts.push_back(remark);
    return texts;
}

std::vector<std::string> ResponseSummaryTexts(const TResponseTable& table) {
    const char* unit = table.calibrated ? " µS" : " %";
    const int decimals = table.calibrated ? 3 : 2;
    std::vector<std::string> lines;
    for (const TKindSummary& kind : table.Summaries()) {
        if (kind.asked == 0)
            continue;
        const char letter = QuestionTypeLetter(kind.type);
        std::string line = (kind.type == TQuestionType::Unlisted ? std::string("Hors liste")
                                                                 : std::string(1, letter)) +
                           " : " + Counted(kind.asked, "question", "questions") + ", ";
        if (kind.meanAmplitude)
            line += Counted(kind.detected, "réponse détectée", "réponses détectées") +
                    ", amplitude moyenne " + FrenchDecimal(*kind.meanAmplitude, decimals, true) +
                    unit;
        else
            line += "aucune réponse détectée";
        lines.push_back(line);
    }
    if (const auto ratio = table.RelevantOverComparison())
        lines.push_back("R / C : " + FrenchDecimal(*ratio, 2, true));
    return lines;
}

std::string ResponseTablePathFor(const std::string& journalPath) {
    std::string_view stem = journalPath;
    if (stem.ends_with(kJournalSuffix))
        stem.remove_suffix(kJournalSuffix.size());
    return std::string(stem).append(kResponseSuffix);
}

} // namespace sornafex
