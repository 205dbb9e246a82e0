#include "chart/session_view.h"

#include "base/decimal_text.h"
#include "chart/axis.h"
#include "chart/uGraph.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace sornafex::chart {

namespace {

constexpr double kSecondsPerDay = 24 * 3600;
// The values in view take at most this share of the left axis, and the axis spans at least
// this share of their level (or kLeastSpan): a flat stretch is not blown up into its noise.
constexpr double kValuesShare = 0.9;
constexpr double kLeastRelativeSpan = 0.002;
constexpr double kLeastSpan = 1e-3;

constexpr TColor kRangeColor = Rgb(0, 80, 0);
constexpr TChartPen kRangeFrame{kClWhite, 1, TPenStyle::Solid};
constexpr TChartPen kPointPen{Rgb(0, 255, 255), 1, TPenStyle::Solid};

// The read-outs speak French whatever the axis labels follow.
const TNumberSeparators kFrench;
constexpr std::string_view kMinus = "\u2212";
constexpr std::string_view kNoValue = "sans mesure";
constexpr std::string_view kPointsHint = "Clic : point A ; Maj+clic : point B";

bool IsNull(double value) {
    return std::isnan(value);
}

double Rounded(double value, double unit) {
    return std::nearbyint(value / unit) * unit;
}

// The axis range that shows lo .. hi (see kValuesShare).
std::pair<double, double> Framed(double lo, double hi) {
    const double middle = (lo + hi) / 2;
    const double half = std::max((hi - lo) / kValuesShare,
                                 std::max(std::fabs(middle) * kLeastRelativeSpan, kLeastSpan)) /
                        2;
    return {middle - half, middle + half};
}

// "+0,052", "−1,30", "0,000".
std::string Signed(double value, int decimals) {
    const std::string digits = FrenchDecimal(std::fabs(value), decimals, true);
    if (std::nearbyint(std::fabs(value) * std::pow(10.0, decimals)) == 0)
        return digits;
    return std::string(value < 0 ? kMinus : "+") + digits;
}

// The program's look, with both axes' ranges the view's to set and round seconds below.
void SetupLook(TCustomChart& chart, const TMargins& margins) {
    ApplyProgramLook(chart, margins);
    chart.LeftAxis().SetAutomatic(false);
    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetAutomatic(false);
    bottom.SetSteps(TAxisSteps::Seconds);
}

// The strip: the same look, no left axis, clock times below.
TLineSeries& SetupOverview(TCustomChart& chart) {
    chart.BeginLoading();
    SetupLook(chart, {1, 2, 1, 1});
    chart.LeftAxis().SetVisible(false);
    chart.BottomAxis().SetLabelFormatter([&chart](double clock) {
        return FormatRunTime(std::fmod(clock, kSecondsPerDay), chart.NumberSeparators());
    });
    TLineSeries& series = chart.AddSeries();
    series.SetSeriesColor(kTraceColor);
    chart.EndLoading();
    return series;
}

} // namespace

TLineSeries& SetupSessionChart(TCustomChart& chart) {
    chart.BeginLoading();
    SetupLook(chart, {1, 4, 2, 2});
    chart.LeftAxis().SetAxisValuesFormat("#,##0.###");
    chart.BottomAxis().SetLabelFormatter(
        [&chart](double seconds) { return FormatRunTime(seconds, chart.NumberSeparators()); });
    TLineSeries& series = chart.AddSeries();
    series.SetSeriesColor(kTraceColor);
    chart.EndLoading();
    return series;
}

TSessionView::TSessionView(TCustomChart& chart, TCustomChart& overview)
    : m_chart(chart), m_overview(overview), m_series(SetupSessionChart(chart)),
      m_overviewSeries(SetupOverview(overview)) {
    SetSignal({});
}

void TSessionView::SetSignal(const TSessionSignal& signal) {
    m_unit = signal.unit;
    m_decimals = signal.decimals;
    m_end = signal.end;
    m_clockStart = signal.clockStart;
    m_first.reset();
    m_second.reset();
    m_chart.LeftAxis().SetUnit(m_unit);

    // Inactive while it fills: a whole session is added without a repaint request per point.
    m_series.SetActive(false);
    m_series.Clear();
    m_series.Reserve(static_cast<int>(signal.seconds.size()));
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    bool afterGap = true;
    for (std::size_t i = 0; i < signal.seconds.size(); ++i) {
        const double value = signal.values[i];
        // A run of moments without a value is one gap: its first moment breaks the line.
        if (IsNull(value)) {
            if (!afterGap)
                m_series.AddNullXY(signal.seconds[i]);
            afterGap = true;
            continue;
        }
        m_series.AddXY(signal.seconds[i], value);
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
        afterGap = false;
    }
    m_series.SetActive(true);
    if (lowest <= highest) {
        m_lowest = lowest;
        m_highest = highest;
    } else {
        m_lowest = 0;
        m_highest = 1;
    }

    FillOverview(signal);
    const auto [bottom, top] = Framed(m_lowest, m_highest);
    m_overview.LeftAxis().SetRange(bottom, top);
    m_overview.BottomAxis().SetRange(m_clockStart, m_clockStart + End());
    ShowMarkers();
    ShowWhole();
}

void TSessionView::FillOverview(const TSessionSignal& signal) {
    // Each column keeps its lowest and highest point, in the order of their times; a gap breaks
    // the line as on the chart.
    const double width = End() / kOverviewColumns;
    struct TColumn {
        int index = -1;
        double lowAt = 0, low = 0, highAt = 0, high = 0;
    } column;
    TLineSeries& series = m_overviewSeries;
    series.SetActive(false);
    series.Clear();
    const auto flush = [&] {
        if (column.index < 0)
            return;
        const bool lowFirst = column.lowAt <= column.highAt;
        series.AddXY(m_clockStart + (lowFirst ? column.lowAt : column.highAt),
                     lowFirst ? column.low : column.high);
        if (column.lowAt != column.highAt)
            series.AddXY(m_clockStart + (lowFirst ? column.highAt : column.lowAt),
                         lowFirst ? column.high : column.low);
        column.index = -1;
    };
    bool afterGap = true;
    for (std::size_t i = 0; i < signal.seconds.size(); ++i) {
        const double at = signal.seconds[i];
        const double value = signal.values[i];
        if (IsNull(value)) {
            flush();
            if (!afterGap)
                series.AddNullXY(m_clockStart + at);
            afterGap = true;
            continue;
        }
        afterGap = false;
        const int index = std::clamp(static_cast<int>(at / width), 0, kOverviewColumns - 1);
        if (index != column.index)
            flush();
        if (column.index < 0) {
            column = {index, at, value, at, value};
            continue;
        }
        if (value < column.low) {
            column.low = value;
            column.lowAt = at;
        }
        if (value > column.high) {
            column.high = value;
            column.highAt = at;
        }
    }
    flush();
    series.SetActive(true);
}

void TSessionView::SetMarks(std::vector<TChartMarker> markers,
                            std::vector<TChartPointMark> points) {
    m_markers = std::move(markers);
    m_chart.SetPointMarks(std::move(points));
    ShowMarkers();
}

void TSessionView::SetEntries(std::vector<TSessionEntry> entries) {
    m_entries = std::move(entries);
}

std::string TSessionView::EntryText(std::size_t entry) const {
    const TSessionEntry& e = m_entries.at(entry);
    return FormatRunTime(Rounded(e.seconds, 1), kFrench) + "  " + e.text;
}

double TSessionView::End() const {
    return std::max(m_end, kShortestSpan);
}

void TSessionView::ShowRange(double from, double to) {
    const double span = std::clamp(to - from, kShortestSpan, End());
    const double start = std::max(0.0, std::min((from + to - span) / 2, End() - span));
    Apply(start, start + span);
}

void TSessionView::ShowWhole() {
    ShowRange(0, End());
}

void TSessionView::CentreOn(double seconds) {
    const double half = Span() / 2;
    ShowRange(seconds - half, seconds + half);
}

void TSessionView::ScrollBy(double seconds) {
    ShowRange(m_from + seconds, m_to + seconds);
}

void TSessionView::Zoom(double factor, std::optional<double> around) {
    const double at = around.value_or((m_from + m_to) / 2);
    const double share = (at - m_from) / Span();
    const double span = std::clamp(Span() / factor, kShortestSpan, End());
    ShowRange(at - share * span, at + (1 - share) * span);
}

void TSessionView::Press(TReviewKey key) {
    switch (key) {
    case TReviewKey::Left:
        return ScrollBy(-kArrowStep);
    case TReviewKey::Right:
        return ScrollBy(kArrowStep);
    case TReviewKey::PageUp:
        return ScrollBy(-Span());
    case TReviewKey::PageDown:
        return ScrollBy(Span());
    case TReviewKey::Home:
        return ShowRange(0, Span());
    case TReviewKey::End:
        return ShowRange(End() - Span(), End());
    case TReviewKey::ZoomIn:
        return Zoom(kZoomStep);
    case TReviewKey::ZoomOut:
        return Zoom(1 / kZoomStep);
    }
}

void TSessionView::Wheel(double notches, bool zoom, std::optional<int> pixelX) {
    if (zoom)
        Zoom(std::pow(kZoomStep, notches / 2), pixelX ? SecondsAt(*pixelX) : std::nullopt);
    else
        ScrollBy(-notches * kWheelScreens * Span());
}

void TSessionView::GoTo(std::size_t entry) {
    CentreOn(m_entries.at(entry).seconds);
}

void TSessionView::ShowAtOverview(int pixelX) {
    const TChartAxis& axis = m_overview.BottomAxis();
    if (axis.IAxisSize() < 1)
        return;
    const int column = std::clamp(pixelX, axis.IStartPos(), axis.IEndPos());
    CentreOn(axis.CalcPosPoint(column) - m_clockStart);
}

std::optional<double> TSessionView::SecondsAt(int pixelX) const {
    const TChartAxis& axis = m_chart.BottomAxis();
    if (axis.IAxisSize() < 1 || pixelX < axis.IStartPos() || pixelX > axis.IEndPos())
        return std::nullopt;
    return axis.CalcPosPoint(pixelX);
}

int TSessionView::FirstAtOrAfter(double x) const {
    const TChartValueList& xs = m_series.XValues();
    int lo = 0;
    int hi = xs.Count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (xs.Value(mid) < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

TSessionReading TSessionView::ReadingAt(double seconds) const {
    const TChartValueList& xs = m_series.XValues();
    const TChartValueList& ys = m_series.YValues();
    const int count = xs.Count();
    const int after = FirstAtOrAfter(seconds);
    if (after < count && xs.Value(after) == seconds && !IsNull(ys.Value(after)))
        return {seconds, ys.Value(after)};
    if (after == 0 || after == count)
        return {seconds, std::nullopt};
    const int before = after - 1;
    if (IsNull(ys.Value(before)) || IsNull(ys.Value(after)))
        return {seconds, std::nullopt};
    const int nearest = seconds - xs.Value(before) <= xs.Value(after) - seconds ? before : after;
    return {xs.Value(nearest), ys.Value(nearest)};
}

std::string TSessionView::ClockText(double seconds) const {
    const double clock = Rounded(m_clockStart + seconds, 0.1);
    return FormatRunTime(std::fmod(clock, kSecondsPerDay), kFrench);
}

std::string TSessionView::ReadingText(const TSessionReading& reading) const {
    const std::string value = reading.value
                                  ? FrenchDecimal(*reading.value, m_decimals, true) + " " + m_unit
                                  : std::string(kNoValue);
    return FormatRunTime(Rounded(reading.seconds, 0.1), kFrench) + " (" +
           ClockText(reading.seconds) + ") : " + value;
}

void TSessionView::SetFirstPoint(double seconds) {
    m_first = ReadingAt(seconds);
    m_second.reset();
    ShowMarkers();
}

void TSessionView::SetSecondPoint(double seconds) {
    if (!m_first)
        return SetFirstPoint(seconds);
    m_second = ReadingAt(seconds);
    ShowMarkers();
}

std::string TSessionView::DifferenceText() const {
    if (!m_first)
        return std::string(kPointsHint);
    if (!m_second)
        return "A " + ReadingText(*m_first) + " ; Maj+clic : point B";
    std::string text = "Δt = " + Signed(m_second->seconds - m_first->seconds, 1) + " s ; ";
    if (!m_first->value || !m_second->value)
        return text + "Δ : " + std::string(kNoValue);
    const double a = *m_first->value;
    const double delta = *m_second->value - a;
    text += "Δ = " + Signed(delta, m_decimals) + " " + m_unit;
    if (a != 0)
        text += " ; Δ% = " + Signed(delta / a * 100, 2) + " %";
    return text;
}

std::string TSessionView::RangeText() const {
    const auto run = [](double seconds) {
        return FormatRunTime(Rounded(seconds, 1), kFrench);
    };
    const auto clock = [this](double seconds) {
        return FormatRunTime(std::fmod(Rounded(m_clockStart + seconds, 1), kSecondsPerDay),
                             kFrench);
    };
    return run(m_from) + " – " + run(m_to) + " ; horloge " + clock(m_from) + " – " + clock(m_to);
}

void TSessionView::Apply(double from, double to) {
    m_from = from;
    m_to = to;
    m_chart.BottomAxis().SetRange(from, to);
    m_overview.SetBands({{m_clockStart + from, m_clockStart + to, kRangeColor, kRangeFrame}});
    FitVertical();
}

void TSessionView::FitVertical() {
    const TChartValueList& ys = m_series.YValues();
    const int first = FirstAtOrAfter(m_from);
    const int end = FirstAtOrAfter(std::nextafter(m_to, std::numeric_limits<double>::infinity()));
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (int i = first; i < end; ++i) {
        const double value = ys.Value(i);
        if (IsNull(value))
            continue;
        lo = std::min(lo, value);
        hi = std::max(hi, value);
    }
    if (!(lo <= hi)) {
        lo = m_lowest;
        hi = m_highest;
    }
    const auto [bottom, top] = Framed(lo, hi);
    m_chart.LeftAxis().SetRange(bottom, top);
}

void TSessionView::ShowMarkers() {
    std::vector<TChartMarker> shown = m_markers;
    if (m_first)
        shown.push_back({m_first->seconds, "A", kPointPen});
    if (m_second)
        shown.push_back({m_second->seconds, "B", kPointPen});
    m_chart.SetMarkers(std::move(shown));
}

} // namespace sornafex::chart
