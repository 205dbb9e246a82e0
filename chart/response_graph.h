#pragma once

// The response window's chart without the toolkit: the fine signal of the run over its last
// seconds, in hertz or in µS, against a time axis in seconds before now, on a scale that follows
// the trace (response_scale.h), with the run's markers. Everything here runs on the UI thread.

#include "chart/custom_chart.h"
#include "chart/line_series.h"
#include "chart/response_scale.h"

#include <array>
#include <deque>
#include <optional>
#include <string>

namespace sornafex::chart {

// The time spans the window offers, in seconds.
inline constexpr std::array<int, 3> kResponseSeconds{30, 60, 120};
inline constexpr int kDefaultResponseSeconds = 60;

// Gives chart the response window's look (the main chart's colours, a time axis below labelled
// in seconds before now, the unit above the left axis) and adds its series. Returns the series.
TLineSeries& SetupResponseChart(TCustomChart& chart);

class TResponseGraph {
public:
    // series must belong to chart; both must outlive the graph.
    TResponseGraph(TCustomChart& chart, TLineSeries& series);

    TResponseScale& Scale() { return m_scale; }
    const TResponseScale& Scale() const { return m_scale; }

    // One of kResponseSeconds; others are refused (false).
    bool SetSeconds(int seconds);
    int Seconds() const { return m_seconds; }

    // A new run, in unit: no point, no marker, the baseline to be placed by the first value.
    void Begin(TResponseUnit unit);

    // The value at `seconds` of the run (the times increase), in the unit of the run; none where
    // there was no estimate, which the trace shows as a gap. True when the baseline recentred on
    // it: the caller notes it in the run's journal.
    bool Add(double seconds, std::optional<double> value);
    // The space bar: the baseline moves onto the latest value. False when there is none.
    bool Recentre();
    // A sensitivity step ("+": more sensitive); false at the end of the table.
    bool MoreSensitive();
    bool LessSensitive();

    // A marker at `seconds` of the run, drawn with its pen and label while in view.
    void AddMarker(double seconds, std::string label, TChartPen pen = TChartPen::MarkerLine());
    // Removes the newest marker whose label is label (an undone mark); false when none is.
    bool RemoveMarker(const std::string& label);

    // The latest value and its time; none before the first value or after a gap.
    std::optional<double> Latest() const;
    double Now() const { return m_now; }

    // The text of a value in large figures: "50,237 Hz", "5,024 µS".
    static std::string ValueText(double value, TResponseUnit unit);
    // The sensitivity as the window says it: "2 %", "0,5 µS".
    std::string SpanText() const;

private:
    struct TPoint {
        double seconds = 0;
        std::optional<double> value;
    };
    struct TMarker {
        double seconds = 0;
        std::string label;
        TChartPen pen;
    };
    // Puts the kept points, the markers and the scale on the chart, relative to now.
    void Show();
    void Forget();

    TCustomChart& m_chart;
    TLineSeries& m_series;
    TResponseScale m_scale;
    int m_seconds = kDefaultResponseSeconds;
    double m_now = 0;
    std::deque<TPoint> m_points;
    std::deque<TMarker> m_markers;
};

} // namespace sornafex::chart
