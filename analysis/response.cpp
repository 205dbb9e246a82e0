#include "analysis/response.h"

#include "analysis/fine_frequency.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sornafex {
namespace {

constexpr double kDelaySeconds =
    static_cast<double>(TFineFrequency::kDelay) / static_cast<double>(kNsPerSecond);
constexpr double kTrendSpan = 2;      // s: the line the level at the onset is taken from
constexpr double kStartSearch = 2;    // s before the steepest point that a rise may start
constexpr double kStartContext = 0.5; // s of baseline before the earliest start tried
constexpr double kStartStep = 0.01;   // s between the starts tried
constexpr double kBaselineSpan = 1.5; // s before a start: the line its trough's value is on

template <std::size_t K> struct TFit {
    std::array<double, K> c{};
    double residual = 0; // the sum of the squared residuals
    std::size_t count = 0;
};

// The least squares of a quantity of the points timed in [from, to] that have it, against the K
// functions of time that basis(t) gives; none with fewer than 2K points or a singular system.
template <std::size_t K, typename Points, typename Quantity, typename Basis>
std::optional<TFit<K>> FitPoints(const Points& points, Quantity quantity, double from, double to,
                                 Basis basis) {
    std::array<std::array<double, K + 1>, K> system{};
    TFit<K> fit;
    for (const auto& point : points) {
        const std::optional<double>& value = point.*quantity;
        if (point.seconds < from || point.seconds > to || !value)
            continue;
        const std::array<double, K> f = basis(point.seconds);
        for (std::size_t i = 0; i < K; ++i) {
            for (std::size_t j = 0; j < K; ++j)
                system[i][j] += f[i] * f[j];
            system[i][K] += f[i] * *value;
        }
        ++fit.count;
    }
    if (fit.count < 2 * K)
        return std::nullopt;
    // Gauss-Jordan with partial pivoting on the normal equations: K is at most 3.
    for (std::size_t col = 0; col < K; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < K; ++row)
            if (std::abs(system[row][col]) > std::abs(system[pivot][col]))
                pivot = row;
        if (!(std::abs(system[pivot][col]) > 1e-12 * std::abs(system[0][0])))
            return std::nullopt;
        std::swap(system[col], system[pivot]);
        for (std::size_t row = 0; row < K; ++row)
            if (row != col) {
                const double factor = system[row][col] / system[col][col];
                for (std::size_t j = col; j <= K; ++j)
                    system[row][j] -= factor * system[col][j];
            }
    }
    for (std::size_t i = 0; i < K; ++i)
        fit.c[i] = system[i][K] / system[i][i];
    for (const auto& point : points) {
        const std::optional<double>& value = point.*quantity;
        if (point.seconds < from || point.seconds > to || !value)
            continue;
        const std::array<double, K> f = basis(point.seconds);
        double model = 0;
        for (std::size_t i = 0; i < K; ++i)
            model += fit.c[i] * f[i];
        fit.residual += (*value - model) * (*value - model);
    }
    return fit;
}

// Where, between two points, a quantity that goes from a to b crosses `level`.
double Crossing(double ta, double a, double tb, double b, double level) {
    return a == b ? tb : ta + (level - a) / (b - a) * (tb - ta);
}

} // namespace

std::optional<double> TResponse::Latency() const {
    if (!rise)
        return std::nullopt;
    return rise->trough.seconds - onset;
}

std::optional<double> TResponse::RiseTime() const {
    if (!rise)
        return std::nullopt;
    return rise->peak.seconds - rise->trough.seconds;
}

TResponseMeter::TResponseMeter(TResponseSettings settings, bool calibrated)
    : m_settings(settings), m_calibrated(calibrated) {}

void TResponseMeter::AddPoint(const TFinePoint& point) {
    const std::optional<double> hertz = point.hertz;
    m_points.push_back({point.seconds - kDelaySeconds, hertz,
                        m_calibrated ? (hertz ? point.microSiemens : std::nullopt) : hertz});
    CloseCovered(m_points.back().seconds);
    // An onset comes after the points stamped before it: none will need more than the trend
    // span before its latency window, nor before the oldest open one's.
    const double reference = m_open.empty() ? point.seconds : m_open.front().onset;
    const double keepFrom = reference + std::min(0.0, m_settings.latencyMin) - kTrendSpan;
    while (!m_points.empty() && m_points.front().seconds < keepFrom)
        m_points.pop_front();
}

void TResponseMeter::AddOnset(double seconds) {
    bool overlaps = false;
    if (!m_open.empty())
        m_open.back().closesAt = std::min(m_open.back().closesAt, seconds);
    if (m_lastOnset)
        overlaps = seconds < *m_lastOnset + m_settings.window;
    m_lastOnset = seconds;
    m_open.push_back({seconds, seconds + m_settings.window, overlaps});
    if (!m_points.empty())
        CloseCovered(m_points.back().seconds);
}

void TResponseMeter::EndOfRun() {
    for (TQuestion& question : m_open) {
        if (!m_points.empty())
            question.closesAt = std::min(question.closesAt, m_points.back().seconds);
        m_closed.push_back(Measure(question));
    }
    m_open.clear();
}

void TResponseMeter::TakeClosed(std::vector<TResponse>& out) {
    out.insert(out.end(), m_closed.begin(), m_closed.end());
    m_closed.clear();
}

void TResponseMeter::CloseCovered(double reached) {
    while (!m_open.empty() && m_open.front().closesAt <= reached) {
        m_closed.push_back(Measure(m_open.front()));
        m_open.pop_front();
    }
}

TResponse TResponseMeter::Measure(const TQuestion& question) const {
    const TResponseSettings& s = m_settings;
    const double onset = question.onset;
    TResponse response;
    response.onset = onset;
    response.overlapsPrevious = question.overlapsPrevious;

    std::vector<TPoint> window;
    for (const TPoint& point : m_points)
        if (point.seconds >= onset && point.seconds <= question.closesAt) {
            if (!point.value || !point.hertz)
                return response;
            window.push_back(point);
        }
    const std::size_t n = window.size();
    if (n < 3)
        return response;
    const auto value = &TPoint::value;
    const auto hertz = &TPoint::hertz;
    const auto at = [&](std::size_t i) {
        return window[i].seconds;
    };
    const auto v = [&](std::size_t i) {
        return *window[i].value;
    };

    const double quietEnd = onset + s.latencyMin;
    const auto trend =
        FitPoints<2>(m_points, value, quietEnd - kTrendSpan, quietEnd, [&](double t) {
            return std::array{1.0, t - onset};
        });
    const double level = trend ? trend->c[0] : v(0);
    const double threshold = m_calibrated ? s.minMicroSiemens : s.minPercent / 100 * level;
    const double hysteresis = threshold / 2;
    const auto slope = [&](std::size_t i) {
        const std::size_t a = i == 0 ? 0 : i - 1, b = std::min(i + 1, n - 1);
        return (v(b) - v(a)) / (at(b) - at(a));
    };

    // The start of the rise whose steepest point is at tm: the corner of the broken line (a
    // straight baseline, then a straight climb) that fits the signal best before tm.
    const auto findStart = [&](double tm) -> std::optional<double> {
        std::optional<double> best;
        double bestResidual = 0;
        for (double corner = tm - kStartSearch; corner < tm; corner += kStartStep) {
            const auto fit = FitPoints<3>(
                m_points, value, tm - kStartSearch - kStartContext, tm, [corner](double t) {
                    return std::array{1.0, t - corner, std::max(0.0, t - corner)};
                });
            if (fit && fit->c[2] >= 0 && (!best || fit->residual < bestResidual)) {
                best = corner;
                bestResidual = fit->residual;
            }
        }
        return best;
    };
    struct TFound {
        TRise rise;
        double amplitude;
    };
    // One rise: from its lowest point `low` to the last point `end` before it fell back.
    const auto measureRise = [&](std::size_t low, std::size_t end) -> std::optional<TFound> {
        std::size_t steepest = low;
        for (std::size_t i = low; i <= end; ++i)
            if (slope(i) > slope(steepest))
                steepest = i;
        const auto start = findStart(at(steepest));
        if (!start || *start < onset + s.latencyMin || *start > onset + s.latencyMax)
            return std::nullopt;
        // The peak: the highest point before the signal falls back from it by the hysteresis
        // or the window closes. A rise that is still climbing when the peak window ends is a
        // change of the level, not a response.
        std::size_t highest = steepest;
        for (std::size_t i = steepest; i < n && v(i) > v(highest) - hysteresis; ++i) {
            if (at(i) > onset + s.peakWindow)
                return std::nullopt;
            if (v(i) > v(highest))
                highest = i;
        }
        const double peakAt = at(highest), peakValue = v(highest);

        // The baseline leaves out the last kDelay before the start, which already sees the rise.
        const auto levelAt = [&](auto quantity) {
            const auto line = FitPoints<2>(m_points, quantity, *start - kBaselineSpan,
                                           *start - kDelaySeconds, [&](double t) {
                                               return std::array{1.0, t - *start};
                                           });
            return line ? line->c[0] : *(window[low].*quantity);
        };
        TFound found{{}, 0};
        TRise& rise = found.rise;
        const double troughValue = levelAt(value);
        found.amplitude = peakValue - troughValue;
        rise.trough = {*start, levelAt(hertz), std::nullopt};
        rise.peak = {peakAt, *window[highest].hertz, std::nullopt};
        if (m_calibrated) {
            rise.trough.microSiemens = troughValue;
            rise.peak.microSiemens = peakValue;
            rise.amplitudeMicroSiemens = found.amplitude;
        }
        rise.amplitudeHertz = rise.peak.hertz - rise.trough.hertz;
        rise.amplitudePercent = 100 * found.amplitude / level;
        const double halfBack = peakValue - found.amplitude / 2;
        for (std::size_t i = highest + 1; i < n && found.amplitude > 0; ++i)
            if (v(i) <= halfBack) {
                rise.halfRecovery = Crossing(at(i - 1), v(i - 1), at(i), v(i), halfBack) - peakAt;
                break;
            }
        return found;
    };

    // The rises, by hysteresis; the largest is the response.
    std::optional<TFound> best;
    const auto consider = [&](std::optional<TFound> found) {
        if (found && (!best || found->amplitude > best->amplitude))
            best = found;
    };

    std::size_t i = 0, low = 0, high = 0;
    bool climbing = false;
    for (; i < n && at(i) <= onset + s.peakWindow; ++i) {
        if (!climbing) {
            if (v(i) < v(low)) {
                low = i;
            } else if (v(i) >= v(low) + hysteresis) {
                climbing = true;
                high = i;
            }
        } else if (v(i) > v(high)) {
            high = i;
        } else if (v(i) <= v(high) - hysteresis) {
            consider(measureRise(low, i - 1));
            climbing = false;
            low = i;
        }
    }
    if (climbing)
        consider(measureRise(low, i - 1));

    response.measured = question.closesAt >= onset + s.latencyMax;
    if (best) {
        response.rise = best->rise;
        response.detected = best->amplitude >= threshold;
        response.measured = response.measured || response.detected;
    }
    return response;
}

} // namespace sornafex
