#include "chart/uGraph.h"

#include "base/int_text.h"
#include "base/uRes.h"
#include "base/ui_services.h"
#include "chart/axis.h"

#include <algorithm>
#include <limits>
#include <string>

namespace sornafex::chart {

namespace {

constexpr std::string_view kMaxPromptCaption = "Max échelle verticale";
constexpr std::string_view kFootText = "Aucune réception de données";

constexpr double kMinFallback = -1;
constexpr double kMaxFallback = 400;
constexpr std::int32_t kDefaultMin = -5;
constexpr std::int32_t kDefaultMax = 350;
constexpr std::int32_t kOptimumMargin = 5;
constexpr std::int32_t kFlatMin = -10;
constexpr std::int32_t kFlatMax = 355;
constexpr std::int32_t kOptimumLowStart = 300;

std::int32_t ClampToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Sets one end of the axis from the prompt's text; a text that is no integer, or a value the
// axis refuses, gives fallback instead. A refused fallback escapes.
template <typename Setter> void SetFromText(const std::string& text, double fallback, Setter set) {
    if (const auto value = ParseIntText(text)) {
        try {
            set(double(*value));
            return;
        } catch (const AxisException&) {
            // The prompt's fallback is the answer to a refused value; no message.
        }
    }
    set(fallback);
}

} // namespace

void ApplyProgramLook(TCustomChart& chart, const TMargins& margins) {
    chart.SetMargins(margins);
    chart.SetBevelOuter(TBevel::Lowered);
    chart.SetBevelInner(TBevel::None);
    chart.SetBevelWidth(1);
    chart.SetBorderWidth(0);
    // A brush colour makes the back wall's brush solid; the fill itself is the wall's colour.
    TChartBrush wallBrush = chart.BackWall().brush;
    wallBrush.SetColor(kClWhite);
    chart.SetBackWallBrush(wallBrush);
    chart.SetBackColor(kClGreen);
    TChartPen frame = chart.Frame();
    frame.visible = false;
    chart.SetFrame(frame);
    chart.Title().SetVisible(false);
    chart.Foot().SetVisible(false);
    chart.SetLegendVisible(false);
    chart.SetView3D(false);
    chart.SetAllowZoom(false);
    chart.SetAllowPanning(false);
}

TLineSeries& SetupMainChart(TCustomChart& chart) {
    chart.BeginLoading();
    ApplyProgramLook(chart, {1, 4, 2, 4});

    TChartTitle& title = chart.Title();
    title.SetVisible(false);
    title.SetText({std::string(res::kNoDataTitle)});
    title.SetColor(kClRed);
    title.SetFont({"Arial", 13, true, false, kClYellow});

    TChartTitle& foot = chart.Foot();
    foot.SetVisible(false);
    foot.SetText({std::string(kFootText)});
    foot.SetFont({"Arial", 11, false, false, kClRed});

    TChartAxis& left = chart.LeftAxis();
    left.SetAutomatic(false);
    left.SetAutomaticMinimum(false);
    left.SetAutomaticMaximum(false);
    left.SetMaximum(kDefaultVerticalMax);
    left.SetMinimum(kDefaultVerticalMin);

    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetVisible(false);
    TChartPen hidden = bottom.AxisPen();
    hidden.visible = false;
    bottom.SetAxisPen(hidden);

    TLineSeries& series = chart.AddSeries();
    series.SetSeriesColor(kTraceColor);
    chart.EndLoading();
    return series;
}

TGraph::TGraph(TCustomChart& chart, TLineSeries& series, TGraphHost& host)
    : m_chart(chart), m_series(series), m_host(host) {}

std::vector<double> TGraph::Values() const {
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(m_series.Count()));
    for (int i = 0; i < m_series.Count(); ++i)
        values.push_back(m_series.YValues().Value(i));
    return values;
}

void TGraph::InitGraph() {
    m_series.Clear();
    for (int i = 0; i < kHistoryLength; ++i)
        m_series.AddXY(i, 0);
    m_markers.clear();
    ShowMarkers();
}

void TGraph::AddSample(std::int32_t n) {
    m_host.SetFrequencyText(std::to_string(n) + std::string(res::Text(res::TMsg::sHzSuffix)));

    // Shift the X positions one place to the right, so that dropping the oldest point leaves
    // the others at 0 .. 254.
    TChartValueList& x = m_series.XValues();
    for (int i = m_series.Count() - 2; i >= 0; --i)
        x.SetValue(i + 1, x.Value(i));
    if (m_series.Count() > 0)
        m_series.Delete(0);
    m_series.AddXY(kNewestSampleX, n);

    if (!m_markers.empty()) {
        for (TMarker& marker : m_markers)
            ++marker.age;
        std::erase_if(m_markers, [](const TMarker& m) { return m.age >= kHistoryLength; });
        ShowMarkers();
    }

    if (m_showNoData)
        m_chart.Title().SetVisible(n <= 0);
    m_host.SetDataModified();
}

void TGraph::AddMarker(std::string label, TChartPen pen) {
    m_markers.push_back({std::move(label), pen, -1});
    ShowMarkers();
}

bool TGraph::RemoveMarker(const std::string& label) {
    const auto found = std::find_if(m_markers.rbegin(), m_markers.rend(),
                                    [&](const TMarker& marker) { return marker.label == label; });
    if (found == m_markers.rend())
        return false;
    m_markers.erase(std::next(found).base());
    ShowMarkers();
    return true;
}

void TGraph::SettleMarkers() {
    for (TMarker& marker : m_markers)
        marker.age = std::max(marker.age, 0);
}

void TGraph::ShowMarkers() {
    // The newest sample (age 0) stands at X = 256, the one before it at 254, then one less
    // for each older one: the X values the points themselves have.
    std::vector<TChartMarker> markers;
    markers.reserve(m_markers.size());
    for (const TMarker& marker : m_markers)
        markers.push_back(
            {marker.age <= 0 ? kNewestSampleX : double(kHistoryLength - 1 - marker.age),
             marker.label, marker.pen});
    m_chart.SetMarkers(std::move(markers));
}

bool TGraph::ToggleShowNoData(bool acquiring) {
    m_showNoData = !m_showNoData;
    if (acquiring && !m_showNoData)
        m_chart.Title().SetVisible(false);
    return m_showNoData;
}

void TGraph::ApplyVerticalRange(std::int32_t min, std::int32_t max) {
    TChartAxis& axis = m_chart.LeftAxis();
    if (min > axis.Maximum()) {
        axis.SetMaximum(max);
        axis.SetMinimum(min);
    } else {
        axis.SetMinimum(min);
        axis.SetMaximum(max);
    }
}

void TGraph::ActGraphSetXMin(TUiServices& ui) {
    TChartAxis& axis = m_chart.LeftAxis();
    const auto text =
        ui.InputBox(std::string(res::kMinPromptCaption), std::string(res::kMinPromptText),
                    std::to_string(NearestEven(axis.Minimum())));
    if (!text)
        return;
    SetFromText(*text, kMinFallback, [&](double v) { axis.SetMinimum(v); });
    m_verticalMin = NearestEven(axis.Minimum());
}

void TGraph::ActGraphSetXMax(TUiServices& ui) {
    TChartAxis& axis = m_chart.LeftAxis();
    const auto text = ui.InputBox(std::string(kMaxPromptCaption), std::string(res::kMaxPromptText),
                                  std::to_string(NearestEven(axis.Maximum())));
    if (!text)
        return;
    SetFromText(*text, kMaxFallback, [&](double v) { axis.SetMaximum(v); });
    m_verticalMax = NearestEven(axis.Maximum());
}

void TGraph::ActGraphSetXDefault() {
    TChartAxis& axis = m_chart.LeftAxis();
    try {
        axis.SetMinimum(kDefaultMin);
        axis.SetMaximum(kDefaultMax);
    } catch (const AxisException&) {
        // A maximum below -5 refuses the default minimum; the command still remembers it.
    }
    m_verticalMin = kDefaultMin;
    m_verticalMax = kDefaultMax;
}

void TGraph::ActGraphSetXAuto() {
    std::int64_t high = 0;
    std::int64_t low = kOptimumLowStart;
    const TChartValueList& y = m_series.YValues();
    for (int i = 0; i < y.Count(); ++i) {
        const std::int64_t v = NearestEven(y.Value(i));
        high = std::max(high, v);
        low = std::min(low, v);
    }
    // 64-bit: a recording may hold values at the ends of the 32-bit range.
    const std::int64_t newMin = low < high ? low - kOptimumMargin : kFlatMin;
    const std::int64_t newMax = low < high ? high + kOptimumMargin : kFlatMax;

    TChartAxis& axis = m_chart.LeftAxis();
    try {
        axis.SetMinimum(double(newMin));
        axis.SetMaximum(double(newMax));
    } catch (const AxisException&) {
        axis.SetMinimum(kDefaultMin);
        axis.SetMaximum(kDefaultMax);
    }
    m_verticalMin = ClampToInt32(newMin);
    m_verticalMax = ClampToInt32(newMax);
}

} // namespace sornafex::chart
