#include "analysis/fine_frequency.h"

#include <algorithm>

namespace sornafex {
namespace {

constexpr TMonoNs kStopSlack = 2 * kNsPerMs;
constexpr double kStopIntervals = 3;

// What the timing of the line itself is taken to be good to: a change the poll found within a
// microsecond of the one before weighs no more than one found within this.
constexpr double kTimingFloorSeconds = 20e-6;

struct TFitPoint {
    double x; // seconds, relative to the span
    double y; // changes, relative to the span's first
    double p; // +1 or -1: the polarity of the change
    double w; // 1 / its timing variance: a change found long after the poll before it (behind a
              // hand-off, or a wake-up that came late) is known only to lie somewhere in between
};

double Weight(double uncertaintySeconds) {
    return 1 /
           (uncertaintySeconds * uncertaintySeconds + kTimingFloorSeconds * kTimingFloorSeconds);
}

// The weighted least-squares slope of y = c + slope·x + q·p, in changes per second, halved to
// hertz. Two passes (the means, then the sums about them) keep the full precision of the doubles
// that one pass of raw sums would lose to cancellation.
template <typename PointAt>
std::optional<double> PolarityFitHertz(std::size_t count, PointAt pointAt) {
    double sw = 0, mx = 0, my = 0, mp = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const TFitPoint point = pointAt(i);
        sw += point.w;
        mx += point.w * point.x;
        my += point.w * point.y;
        mp += point.w * point.p;
    }
    mx /= sw;
    my /= sw;
    mp /= sw;
    double sxx = 0, sxp = 0, spp = 0, sxy = 0, spy = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const TFitPoint point = pointAt(i);
        const double x = point.x - mx, y = point.y - my, p = point.p - mp;
        sxx += point.w * x * x;
        sxp += point.w * x * p;
        spp += point.w * p * p;
        sxy += point.w * x * y;
        spy += point.w * p * y;
    }
    const double determinant = sxx * spp - sxp * sxp;
    if (!(determinant > 1e-12 * sxx * spp))
        return std::nullopt;
    const double slope = (sxy * spp - spy * sxp) / determinant;
    if (!(slope > 0))
        return std::nullopt;
    return slope / 2;
}

double Polarity(std::uint64_t index) {
    return (index & 1) != 0 ? -1.0 : 1.0;
}

double Seconds(TMonoNs ns) {
    return static_cast<double>(ns) * 1e-9;
}

} // namespace

TFineFrequency::TFineFrequency(TMonoNs runStart)
    : m_nextDue(runStart + kInterval), m_gapEnd(runStart) {}

void TFineFrequency::AddChange(std::uint64_t index, TMonoNs at, TMonoNs uncertainty,
                               TMonoNs blindest) {
    // A change at `at` may be followed by another at the same time: only the estimates due
    // before it are complete.
    Settle(at, false);
    // Changes numbered and never timed (dropped by a full ring, or counted by the driver and seen
    // by no poll) are only missing from the fit: the others keep their true numbers. Only a pause
    // that could have hidden changes from the count itself leaves the numbers in doubt.
    if (MayHideChanges(at, blindest))
        m_gapEnd = at;
    m_changes.push_back({index, at, Weight(Seconds(uncertainty))});
}

bool TFineFrequency::MayHideChanges(TMonoNs at, TMonoNs blindest) const {
    // A pause of the polls as long as the shorter of the two levels could have held a whole
    // pulse, two changes the loop never saw: the fit would then number every later change two
    // short.
    if (m_changes.size() < 2)
        return false;
    const TMonoNs last = at - m_changes.back().at;
    const TMonoNs before = m_changes.back().at - m_changes[m_changes.size() - 2].at;
    return blindest >= std::min(last, before) * 9 / 10;
}

void TFineFrequency::LineLost(TMonoNs at) {
    Settle(at, false);
    m_lost = true;
}

void TFineFrequency::LineBack(TMonoNs at) {
    Settle(at, false);
    m_lost = false;
    m_gapEnd = at;
}

void TFineFrequency::EstimatesUntil(TMonoNs until, std::vector<TFineEstimate>& out) {
    Settle(until, true);
    out.insert(out.end(), m_ready.begin(), m_ready.end());
    m_ready.clear();
}

void TFineFrequency::Settle(TMonoNs limit, bool inclusive) {
    while (m_nextDue < limit || (inclusive && m_nextDue == limit)) {
        Forget(m_nextDue);
        m_ready.push_back({m_nextDue, EstimateAt(m_nextDue)});
        m_nextDue += kInterval;
    }
    Forget(m_nextDue);
}

void TFineFrequency::Forget(TMonoNs due) {
    // Every later estimate is due at `due` or after: a change older than its longest span is of
    // no use, nor one older than its span with kMinChanges newer ones behind it.
    while (!m_changes.empty() &&
           (m_changes.front().at < due - kLongestSpan ||
            (m_changes.front().at < due - kSpan && m_changes.size() > kMinChanges)))
        m_changes.pop_front();
}

std::optional<double> TFineFrequency::EstimateAt(TMonoNs t) const {
    if (m_lost)
        return std::nullopt;
    auto first = std::partition_point(m_changes.begin(), m_changes.end(),
                                      [&](const TChange& c) { return c.at < t - kSpan; });
    TMonoNs spanStart = t - kSpan;
    if (m_changes.end() - first < static_cast<std::ptrdiff_t>(kMinChanges)) {
        if (m_changes.size() < kMinChanges)
            return std::nullopt;
        first = m_changes.end() - kMinChanges;
        spanStart = first->at;
    }
    if (spanStart < m_gapEnd)
        return std::nullopt;
    const std::size_t count = static_cast<std::size_t>(m_changes.end() - first);
    const TMonoNs last = m_changes.back().at;
    const double meanInterval =
        static_cast<double>(last - first->at) / static_cast<double>(count - 1);
    if (static_cast<double>(t - last) > kStopIntervals * meanInterval + kStopSlack)
        return std::nullopt;
    const std::uint64_t firstIndex = first->index;
    return PolarityFitHertz(count, [&](std::size_t i) {
        const TChange& change = first[static_cast<std::ptrdiff_t>(i)];
        return TFitPoint{Seconds(change.at - t), static_cast<double>(change.index - firstIndex),
                         Polarity(change.index), change.weight};
    });
}

std::optional<double> MeanFrequency(std::span<const TFineEstimate> estimates, std::size_t minimum) {
    double sum = 0;
    std::size_t count = 0;
    for (const TFineEstimate& estimate : estimates)
        if (estimate.hertz) {
            sum += *estimate.hertz;
            ++count;
        }
    if (count == 0 || count < minimum)
        return std::nullopt;
    return sum / static_cast<double>(count);
}

} // namespace sornafex
