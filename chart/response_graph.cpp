#include "chart/response_graph.h"

#include "base/decimal_text.h"
#include "chart/axis.h"
#include "chart/uGraph.h"

#include <algorithm>
#include <cmath>

namespace sornafex::chart {

namespace {

// Points are kept for the longest span the window offers, so that a wider choice shows at once
// what it covers.
constexpr double kKeptSeconds = kResponseSeconds.back() + 1;
// Six labelled steps along the time axis: every 5, 10 or 20 s.
constexpr int kTimeSteps = 6;

std::string_view UnitText(TResponseUnit unit) {
    return unit == TResponseUnit::Hertz ? "Hz" : "µS";
}

} // namespace

TLineSeries& SetupResponseChart(TCustomChart& chart) {
    chart.BeginLoading();
    ApplyProgramLook(chart, {1, 4, 2, 2});

    TChartAxis& left = chart.LeftAxis();
    left.SetAutomatic(false);
    left.SetAxisValuesFormat("#,##0.###");
    // A few round values rather than a label at every row: the span is read, not counted.
    left.SetLabelsSeparation(300);
    left.SetUnit(std::string(UnitText(TResponseUnit::Hertz)));
    left.SetMinimum(0);
    left.SetMaximum(1);

    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetVisible(true);
    bottom.SetAutomatic(false);
    bottom.SetSteps(TAxisSteps::Seconds);
    bottom.SetLabelFormatter([&chart](double seconds) {
        return FormatSecondsBeforeNow(seconds, chart.NumberSeparators());
    });
    bottom.SetMinimum(-kDefaultResponseSeconds);
    bottom.SetMaximum(0);
    bottom.SetIncrement(double(kDefaultResponseSeconds) / kTimeSteps);

    TLineSeries& series = chart.AddSeries();
    series.SetSeriesColor(kTraceColor);
    chart.EndLoading();
    return series;
}

TResponseGraph::TResponseGraph(TCustomChart& chart, TLineSeries& series)
    : m_chart(chart), m_series(series) {}

bool TResponseGraph::SetSeconds(int seconds) {
    if (std::find(kResponseSeconds.begin(), kResponseSeconds.end(), seconds) ==
        kResponseSeconds.end())
        return false;
    m_seconds = seconds;
    Show();
    return true;
}

void TResponseGraph::Begin(TResponseUnit unit) {
    m_scale.SetUnit(unit);
    m_scale.Reset();
    m_now = 0;
    m_points.clear();
    m_markers.clear();
    m_chart.LeftAxis().SetUnit(std::string(UnitText(unit)));
    Show();
}

bool TResponseGraph::Add(double seconds, std::optional<double> value) {
    m_now = seconds;
    m_points.push_back({seconds, value});
    const bool recentred = value && m_scale.Follow(*value);
    Forget();
    Show();
    return recentred;
}

bool TResponseGraph::Recentre() {
    const auto latest = Latest();
    if (!latest)
        return false;
    m_scale.Recentre(*latest);
    Show();
    return true;
}

bool TResponseGraph::MoreSensitive() {
    if (!m_scale.MoreSensitive())
        return false;
    Show();
    return true;
}

bool TResponseGraph::LessSensitive() {
    if (!m_scale.LessSensitive())
        return false;
    Show();
    return true;
}

void TResponseGraph::AddMarker(double seconds, std::string label, TChartPen pen) {
    m_markers.push_back({seconds, std::move(label), pen});
    Show();
}

bool TResponseGraph::RemoveMarker(const std::string& label) {
    const auto found = std::find_if(m_markers.rbegin(), m_markers.rend(),
                                    [&](const TMarker& marker) { return marker.label == label; });
    if (found == m_markers.rend())
        return false;
    m_markers.erase(std::next(found).base());
    Show();
    return true;
}

std::optional<double> TResponseGraph::Latest() const {
    if (m_points.empty())
        return std::nullopt;
    return m_points.back().value;
}

std::string TResponseGraph::ValueText(double value, TResponseUnit unit) {
    return FrenchDecimal(value, 3, true) + " " + std::string(UnitText(unit));
}

std::string TResponseGraph::SpanText() const {
    const double setting = m_scale.SpanSetting();
    return FrenchDecimal(setting, 1) + (m_scale.Unit() == TResponseUnit::Hertz ? " %" : " µS");
}

void TResponseGraph::Forget() {
    while (!m_points.empty() && m_points.front().seconds < m_now - kKeptSeconds)
        m_points.pop_front();
    while (!m_markers.empty() && m_markers.front().seconds < m_now - kKeptSeconds)
        m_markers.pop_front();
}

void TResponseGraph::Show() {
    const double from = m_now - m_seconds;
    m_series.Clear();
    for (const TPoint& point : m_points) {
        if (point.seconds < from)
            continue;
        if (point.value)
            m_series.AddXY(point.seconds - m_now, *point.value);
        else
            m_series.AddNullXY(point.seconds - m_now);
    }
    std::vector<TChartMarker> markers;
    for (const TMarker& marker : m_markers)
        if (marker.seconds >= from)
            markers.push_back({marker.seconds - m_now, marker.label, marker.pen});
    m_chart.SetMarkers(std::move(markers));

    TChartAxis& bottom = m_chart.BottomAxis();
    bottom.SetRange(-m_seconds, 0);
    bottom.SetIncrement(double(m_seconds) / kTimeSteps);
    if (m_scale.Placed())
        m_chart.LeftAxis().SetRange(m_scale.Bottom(), m_scale.Top());
}

} // namespace sornafex::chart
