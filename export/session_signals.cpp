#include "export/session_signals.h"

#include "base/build_info.h"
#include "base/uRes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sornafex {

std::string ExportingSoftware() {
    return "Sornafex " + std::string(build::kVersion);
}

namespace {

// The nearest slot; the reader keeps whole milliseconds, never negative.
std::size_t SlotOf(TJournalMs at) {
    return std::size_t((at + kFineStepMs / 2) / kFineStepMs);
}

// A journal that says its run lasted longer would cost the signals more memory than any run
// needs: a week is 6 million slots.
constexpr TJournalMs kLongestSession = 7 * 24 * 3600 * TJournalMs(1000);

} // namespace

TSessionSignals SessionSignals(const TJournalSession& session) {
    if (session.fine.empty())
        throw EExportError(std::string(res::kExportNoFine));
    const TJournalMs end = SessionEnd(session);
    if (end > kLongestSession)
        throw EExportError(std::string(res::kExportTooLong));
    const std::size_t slots = SlotOf(end) + 1;
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    const bool calibrated =
        std::any_of(session.fine.begin(), session.fine.end(),
                    [](const TJournalSession::TFine& fine) { return fine.microsiemens; });
    TSessionSignals signals;
    signals.hertz.assign(slots, kNone);
    if (calibrated)
        signals.microsiemens.assign(slots, kNone);
    for (const TJournalSession::TFine& fine : session.fine) {
        const std::size_t slot = SlotOf(fine.at);
        signals.hertz[slot] = fine.hertz;
        if (calibrated)
            signals.microsiemens[slot] = fine.microsiemens.value_or(kNone);
    }
    return signals;
}

std::vector<TSessionSpan> Gaps(const std::vector<double>& slots) {
    std::vector<TSessionSpan> gaps;
    for (std::size_t i = 0; i < slots.size();) {
        if (!std::isnan(slots[i])) {
            ++i;
            continue;
        }
        const std::size_t from = i;
        while (i < slots.size() && std::isnan(slots[i]))
            ++i;
        gaps.push_back({TJournalMs(from), TJournalMs(i)});
    }
    return gaps;
}

std::vector<TSessionSpan> PortLosses(const TJournalSession& session) {
    std::vector<TSessionSpan> losses;
    bool lost = false;
    for (const TJournalSession::TEvent& event : session.events) {
        if (event.event == TJournalEvent::PortLost && !lost) {
            losses.push_back({event.at, event.at});
            lost = true;
        } else if (event.event == TJournalEvent::PortReopened && lost) {
            losses.back().to = event.at;
            lost = false;
        }
    }
    if (lost)
        losses.back().to = SessionEnd(session);
    return losses;
}

const TJournalSession::TAnswer* AnswerTo(const TJournalSession& session, std::int32_t number) {
    const auto answer =
        std::find_if(session.answers.rbegin(), session.answers.rend(),
                     [&](const TJournalSession::TAnswer& a) { return a.number == number; });
    return answer == session.answers.rend() ? nullptr : &*answer;
}

} // namespace sornafex
