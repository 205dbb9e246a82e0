#pragma once

// The vertical scale of the response window: a full-scale span (the sensitivity) around a
// baseline that follows the trace. A response is a rise of a few per cent of the level, or a
// fraction of a microsiemens: the span is a share of the level in hertz, or a conductance in µS,
// and the baseline recentres by itself when the trace leaves the middle of the span, so that a
// response always fills a good part of the height, whatever the level.

#include <array>
#include <cstddef>
#include <optional>

namespace sornafex::chart {

enum class TResponseUnit { Hertz, MicroSiemens };

// The sensitivities, from the most sensitive to the least: the span in per cent of the level
// (hertz) and in microsiemens.
inline constexpr std::array<double, 6> kPercentSpans{0.5, 1, 2, 5, 10, 20};
inline constexpr std::array<double, 6> kMicroSiemensSpans{0.1, 0.2, 0.5, 1, 2, 5};
// 2 % and 1 µS.
inline constexpr std::size_t kDefaultPercentSpan = 2;
inline constexpr std::size_t kDefaultMicroSiemensSpan = 3;

// The trace recentres when it leaves this share of the span around the baseline.
inline constexpr double kRecentreShare = 0.8;

class TResponseScale {
public:
    TResponseUnit Unit() const { return m_unit; }
    // A unit change forgets the baseline: the next value places the trace again.
    void SetUnit(TResponseUnit unit);

    // The index in the unit's table; out-of-range indices are clamped.
    std::size_t SpanIndex() const { return SpanIndex(m_unit); }
    std::size_t SpanIndex(TResponseUnit unit) const;
    void SetSpanIndex(TResponseUnit unit, std::size_t index);
    // "+": one step more sensitive (a narrower span); "−": one step less. False at the end of
    // the table.
    bool MoreSensitive();
    bool LessSensitive();
    // The sensitivity as the table gives it: per cent for hertz, µS for conductance.
    double SpanSetting() const;

    // A new value of the trace. The first one places the baseline on it; later ones move it onto
    // the value when the value leaves the middle kRecentreShare of the span. True when that was
    // a recentring (the user sees the trace jump back to the middle), false otherwise.
    bool Follow(double value);
    // The user asked for it (the space bar): the baseline moves onto value. Always a recentring.
    void Recentre(double value);
    // Forgets the baseline (a new run).
    void Reset();

    bool Placed() const { return m_baseline.has_value(); }
    double Baseline() const { return m_baseline.value_or(0); }
    // The span in the unit of the values: per cent of the baseline for hertz.
    double Span() const;
    double Bottom() const { return Baseline() - Span() / 2; }
    double Top() const { return Baseline() + Span() / 2; }

private:
    TResponseUnit m_unit = TResponseUnit::Hertz;
    std::size_t m_percentIndex = kDefaultPercentSpan;
    std::size_t m_microSiemensIndex = kDefaultMicroSiemensSpan;
    std::optional<double> m_baseline;
};

} // namespace sornafex::chart
