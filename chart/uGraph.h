#pragma once

// The sample history and the vertical scale commands of the main window. The history is the 256
// points of Series1, oldest first; there is no other copy. Everything here runs on the UI thread
// and knows nothing of the toolkit: the status bar and the document reach it through TGraphHost,
// the prompts through TUiServices.

#include "chart/custom_chart.h"
#include "chart/line_series.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sornafex {
class TUiServices;
}

namespace sornafex::chart {

inline constexpr int kHistoryLength = 256;
// The newest sample stands at X = 256, two units right of its neighbour at 254.
inline constexpr double kNewestSampleX = 256;

inline constexpr std::int32_t kDefaultVerticalMin = -1;
inline constexpr std::int32_t kDefaultVerticalMax = 400;

// What the history needs of the main window.
class TGraphHost {
public:
    virtual ~TGraphHost() = default;
    // Panel 1 of the status bar: the frequency readout, "12 Hz".
    virtual void SetFrequencyText(const std::string& text) = 0;
    // Marks the document as holding unsaved samples.
    virtual void SetDataModified() = 0;
};

// The look every chart of the program shares, for a chart being loaded: a lowered panel, a green
// plot area without a frame, no titles, legend, 3D, zoom or panning; margins in per cent.
void ApplyProgramLook(TCustomChart& chart, const TMargins& margins);

// Gives chart the main window's settings (margins 1/4/2/4, lowered bevel, green back wall,
// hidden red no-data title, hidden foot, no legend, fixed left axis -1..400, invisible bottom
// axis) and adds its one series, Series1, in the line colour (128, 255, 0). Returns Series1.
TLineSeries& SetupMainChart(TCustomChart& chart);

class TGraph {
public:
    // series must belong to chart; all three must outlive the TGraph.
    TGraph(TCustomChart& chart, TLineSeries& series, TGraphHost& host);

    TLineSeries& Series() const { return m_series; }
    // The history's Y values, oldest first (what a recording saves).
    std::vector<double> Values() const;

    // 256 zero samples at X 0 .. 255, and no marker. Leaves the readout, the title and the
    // document alone.
    void InitGraph();
    // Shows "n Hz", drops the oldest sample, appends n at the right, drives the no-data title
    // when the warning is on (shown for n <= 0, hidden for n >= 1) and marks the data unsaved.
    // The markers scroll with their samples; a marker whose sample drops out goes with it.
    void AddSample(std::int32_t n);

    // Marks the sample being counted with a marker labelled label ("3", "Q3") in pen: it stands
    // at the right edge and stays with that sample once it has arrived. Markers are not part of a
    // recording.
    void AddMarker(std::string label, TChartPen pen = TChartPen::MarkerLine());
    // Removes the newest marker whose label is label (an undone mark); false when none is.
    bool RemoveMarker(const std::string& label);
    // The run has ended: markers still waiting for their sample stay with the newest one.
    void SettleMarkers();
    // The markers as the chart shows them, oldest first.
    const std::vector<TChartMarker>& Markers() const { return m_chart.Markers(); }

    // The no-data warning preference (INI key ShowNoData).
    bool ShowNoData() const { return m_showNoData; }
    void SetShowNoData(bool on) { m_showNoData = on; }
    // ActShowNoData: inverts the warning preference and returns its new state, the action's
    // check mark. Turned off during a run, a visible title is hidden at once.
    bool ToggleShowNoData(bool acquiring);

    // The vertical minimum and maximum preferences (INI keys XMin and XMax), as the scale
    // commands last left them.
    std::int32_t VerticalMin() const { return m_verticalMin; }
    void SetVerticalMin(std::int32_t value) { m_verticalMin = value; }
    std::int32_t VerticalMax() const { return m_verticalMax; }
    void SetVerticalMax(std::int32_t value) { m_verticalMax = value; }
    // Sets the left axis to min .. max in the order that accepts any pair with min <= max,
    // whatever range the axis held. A pair with min > max raises AxisException.
    void ApplyVerticalRange(std::int32_t min, std::int32_t max);

    // The scale commands. Unparsable or refused values fall back silently; only a refused
    // fallback escapes, as AxisException with the axis' own text, leaving the preference as it
    // was.
    void ActGraphSetXMin(TUiServices& ui);
    void ActGraphSetXMax(TUiServices& ui);
    void ActGraphSetXDefault();
    void ActGraphSetXAuto();

private:
    void ShowMarkers();

    // A marker and the number of samples added since its sample arrived; -1 while that sample
    // is being counted.
    struct TMarker {
        std::string label;
        TChartPen pen;
        int age;
    };

    TCustomChart& m_chart;
    TLineSeries& m_series;
    TGraphHost& m_host;
    bool m_showNoData = true;
    std::int32_t m_verticalMin = kDefaultVerticalMin;
    std::int32_t m_verticalMax = kDefaultVerticalMax;
    std::vector<TMarker> m_markers;
};

} // namespace sornafex::chart
