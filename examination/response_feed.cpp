#include "examination/response_feed.h"

#include "analysis/fine_frequency.h"

namespace sornafex {

namespace {

constexpr TJournalMs kGridMs = TFineFrequency::kInterval / kNsPerMs;

double Seconds(TJournalMs at) {
    return static_cast<double>(at) / 1000;
}

} // namespace

TResponseFeed::TResponseFeed(const TResponseSettings& settings, bool calibrated)
    : m_meter(settings, calibrated), m_next(kGridMs) {}

void TResponseFeed::Fine(TJournalMs at, double hertz, std::optional<double> microsiemens) {
    // The journal's milliseconds of an estimate due on the grid; a row off it goes to the nearest.
    const TJournalMs grid = (at + kGridMs / 2) / kGridMs * kGridMs;
    for (; m_next < grid; m_next += kGridMs) {
        OnsetsUpTo(m_next);
        m_meter.AddPoint({Seconds(m_next), std::nullopt, std::nullopt});
    }
    OnsetsUpTo(grid);
    m_meter.AddPoint({Seconds(grid), hertz, microsiemens});
    m_next = grid + kGridMs;
}

void TResponseFeed::Onset(TJournalMs at) {
    m_onsets.push_back(at);
}

void TResponseFeed::End() {
    while (!m_onsets.empty()) {
        m_meter.AddOnset(Seconds(m_onsets.front()));
        m_onsets.pop_front();
    }
    m_meter.EndOfRun();
}

void TResponseFeed::OnsetsUpTo(TJournalMs at) {
    for (; !m_onsets.empty() && m_onsets.front() <= at; m_onsets.pop_front())
        m_meter.AddOnset(Seconds(m_onsets.front()));
}

} // namespace sornafex
