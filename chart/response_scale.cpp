#include "chart/response_scale.h"

#include <algorithm>
#include <cmath>

namespace sornafex::chart {

namespace {

constexpr std::size_t kLastIndex = kPercentSpans.size() - 1;
static_assert(kPercentSpans.size() == kMicroSiemensSpans.size());

} // namespace

void TResponseScale::SetUnit(TResponseUnit unit) {
    if (unit != m_unit)
        m_baseline.reset();
    m_unit = unit;
}

std::size_t TResponseScale::SpanIndex(TResponseUnit unit) const {
    return unit == TResponseUnit::Hertz ? m_percentIndex : m_microSiemensIndex;
}

void TResponseScale::SetSpanIndex(TResponseUnit unit, std::size_t index) {
    (unit == TResponseUnit::Hertz ? m_percentIndex : m_microSiemensIndex) =
        std::min(index, kLastIndex);
}

bool TResponseScale::MoreSensitive() {
    const std::size_t index = SpanIndex();
    if (index == 0)
        return false;
    SetSpanIndex(m_unit, index - 1);
    return true;
}

bool TResponseScale::LessSensitive() {
    const std::size_t index = SpanIndex();
    if (index == kLastIndex)
        return false;
    SetSpanIndex(m_unit, index + 1);
    return true;
}

double TResponseScale::SpanSetting() const {
    return m_unit == TResponseUnit::Hertz ? kPercentSpans[m_percentIndex]
                                          : kMicroSiemensSpans[m_microSiemensIndex];
}

double TResponseScale::Span() const {
    if (m_unit == TResponseUnit::MicroSiemens)
        return SpanSetting();
    // A level of 0 Hz would give a span of nothing: the axis needs a height to show.
    const double level = std::max(std::abs(Baseline()), 1.0);
    return level * SpanSetting() / 100;
}

bool TResponseScale::Follow(double value) {
    if (!m_baseline) {
        m_baseline = value;
        return false;
    }
    if (std::abs(value - *m_baseline) <= Span() * kRecentreShare / 2)
        return false;
    m_baseline = value;
    return true;
}

void TResponseScale::Recentre(double value) {
    m_baseline = value;
}

void TResponseScale::Reset() {
    m_baseline.reset();
}

} // namespace sornafex::chart
