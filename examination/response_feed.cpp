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
    const bool bridged = m_last && grid - m_last->at <= kBridgedGap;
    for (; m_next < grid; m_next += kGridMs) {
        OnsetsUpTo(m_next);
        TFinePoint point{Seconds(m_next), std::nullopt, std::nullopt};
        if (bridged) {
            const double f =
                static_cast<double>(m_next - m_last->at) / static_cast<double>(grid - m_last->at);
            point.hertz = m_last->hertz + f * (hertz - m_last->hertz);
            if (m_last->microsiemens && microsiemens)
                point.microSiemens =
                    *m_last->microsiemens + f * (*microsiemens - *m_last->microsiemens);
        }
        m_meter.AddPoint(point);
    }
    OnsetsUpTo(grid);
    m_meter.AddPoint({Seconds(grid), hertz, microsiemens});
    m_next = grid + kGridMs;
    m_last = TRow{grid, hertz, microsiemens};
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
