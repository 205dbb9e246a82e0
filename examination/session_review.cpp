#include "examination/session_review.h"

#include "analysis/fine_frequency.h"
#include "base/decimal_text.h"
#include "base/uRes.h"
#include "examination/response_table.h"

#include <algorithm>
#include <limits>

namespace sornafex {

namespace {

using TEntry = TSessionReview::TEntry;
using TKind = TEntry::TKind;

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr TJournalMs kDayMs = 24 * 3600 * 1000;
// The fine rows stand on the run's grid of a tenth of a second.
constexpr TJournalMs kGridMs = 100;
// What the trace lags the moments the measurement speaks of.
constexpr double kDelaySeconds = double(TFineFrequency::kDelay) / double(kNsPerSecond);

constexpr std::string_view kSeparator = " — ";
constexpr std::string_view kResponseFormat = "réponse de %s";
constexpr std::string_view kNoResponse = "pas de réponse";
constexpr std::string_view kNotMeasured = "non mesurée";

double Seconds(TJournalMs at) {
    return double(at) / 1000;
}

TJournalMs GridSlot(TJournalMs at) {
    return (at + kGridMs / 2) / kGridMs;
}

void ReadFine(const TJournalSession& session, bool calibrated, TSessionReview& review) {
    review.seconds.reserve(session.fine.size());
    review.values.reserve(session.fine.size());
    const TJournalSession::TFine* previous = nullptr;
    for (const TJournalSession::TFine& fine : session.fine) {
        // A tenth of a second without its row had no estimate: the trace breaks there.
        if (previous && GridSlot(fine.at) > GridSlot(previous->at) + 1) {
            review.seconds.push_back(Seconds(previous->at + kGridMs));
            review.values.push_back(kNone);
        }
        review.seconds.push_back(Seconds(fine.at));
        review.values.push_back(calibrated ? fine.microsiemens.value_or(kNone) : fine.hertz);
        previous = &fine;
    }
}

void ReadSamples(const TJournalSession& session, TSessionReview& review) {
    review.seconds.reserve(session.samples.size());
    review.values.reserve(session.samples.size());
    for (const TJournalSession::TSample& sample : session.samples) {
        review.seconds.push_back(Seconds(sample.at));
        review.values.push_back(sample.hertz ? double(*sample.hertz) : kNone);
    }
}

// "réponse de 1,28 %", "pas de réponse", "non mesurée".
std::string MeasureText(const TResponseTable& table, const TQuestionResponse& row) {
    if (!row.response.measured)
        return std::string(kNotMeasured);
    const auto amplitude = table.Amplitude(row);
    if (!row.response.detected || !amplitude)
        return std::string(kNoResponse);
    const std::string value = table.calibrated ? FrenchDecimal(*amplitude, 3, true) + " µS"
                                               : FrenchDecimal(*amplitude, 2, true) + " %";
    return res::FormatStr(kResponseFormat, value);
}

// "Q3". (Appended: GCC 12 sees an overlap that is not in "Q" + std::to_string.)
std::string QuestionLabel(int number) {
    std::string label(1, 'Q');
    label += std::to_string(number);
    return label;
}

void AddQuestions(const TResponseTable& table, TSessionReview& review) {
    for (const TQuestionResponse& row : table.rows) {
        const std::string label = QuestionLabel(row.number);
        std::string text = label;
        if (row.type != TQuestionType::Unlisted)
            text.append(" ").push_back(QuestionTypeLetter(row.type));
        if (!row.text.empty())
            text.append(" ").append(row.text);
        if (row.answer)
            text.append(kSeparator).append(*row.answer ? kAnswerYes : kAnswerNo);
        text.append(kSeparator).append(MeasureText(table, row));
        review.entries.push_back({row.response.onset, TKind::Question, label, std::move(text)});

        const auto& rise = row.response.rise;
        if (!row.response.measured || !rise)
            continue;
        const auto valueOf = [&](const TResponseLevel& level) {
            return table.calibrated ? level.microSiemens : std::optional(level.hertz);
        };
        const auto trough = valueOf(rise->trough);
        const auto peak = valueOf(rise->peak);
        if (trough && peak)
            review.rises.push_back({rise->trough.seconds + kDelaySeconds, *trough,
                                    rise->peak.seconds + kDelaySeconds, *peak,
                                    row.response.detected});
    }
}

std::optional<TKind> KindOf(TJournalEvent event) {
    if (event == TJournalEvent::PortLost)
        return TKind::PortLost;
    if (event == TJournalEvent::PortReopened)
        return TKind::PortReopened;
    return std::nullopt;
}

} // namespace

TSessionReview ReviewSession(const TJournalSession& session) {
    TSessionReview review;
    const TResponseTable table = MeasureSessionResponses(session);
    if (!session.fine.empty()) {
        review.signal = table.calibrated ? TSessionReview::TSignal::FineMicroSiemens
                                         : TSessionReview::TSignal::FineHertz;
        ReadFine(session, table.calibrated, review);
    } else {
        ReadSamples(session, review);
    }
    const TJournalMs local = session.start.epochMs + session.start.utcOffsetSeconds * 1000LL;
    review.clockStart = Seconds((local % kDayMs + kDayMs) % kDayMs);

    AddQuestions(table, review);
    for (const TJournalSession::TAnswer& answer : session.answers)
        review.entries.push_back({Seconds(answer.at),
                                  TKind::Answer,
                                  {},
                                  QuestionLabel(answer.number) + " : " +
                                      std::string(answer.yes ? kAnswerYes : kAnswerNo)});
    for (const TJournalSession::TMarker& marker : session.markers)
        review.entries.push_back({Seconds(marker.at), TKind::Marker, std::to_string(marker.number),
                                  res::FormatInt(res::kExportMarkerFormat, marker.number)});
    for (const TJournalSession::TEvent& event : session.events)
        if (const auto kind = KindOf(event.event))
            review.entries.push_back(
                {Seconds(event.at), *kind, {}, std::string(JournalEventWord(event.event))});
    std::stable_sort(review.entries.begin(), review.entries.end(),
                     [](const TEntry& a, const TEntry& b) { return a.seconds < b.seconds; });

    review.end = Seconds(SessionEnd(session));
    return review;
}

} // namespace sornafex
