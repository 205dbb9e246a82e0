#pragma once

// The chart without a toolkit: its settings, its parts (titles, back wall, four axes, series)
// and Draw, which lays the chart out in a rectangle and draws it on any canvas: the screen
// buffer, a bitmap, a metafile or a printer page. A toolkit control derives from it and answers
// the repaint requests (see TChart in chart/chart_widget.h).

#include "chart/axis.h"
#include "chart/canvas.h"
#include "chart/chart_parts.h"
#include "chart/line_series.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sornafex::chart {

struct TMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const TMargins&, const TMargins&) = default;
};

// A vertical line across the plot area at an X value of the bottom axis, its label ("3", "Q3")
// above the plot. Its own pen tells kinds of markers apart where the caller needs it.
struct TChartMarker {
    double x = 0;
    std::string label;
    TChartPen pen = TChartPen::MarkerLine();
    friend bool operator==(const TChartMarker&, const TChartMarker&) = default;
};

// A span of the bottom axis shaded across the plot area, over the back wall and its grid and
// under the series: the range in view on an overview strip, say. However narrow the span, the
// band is at least kMinBandWidth pixels wide around its middle, so that it stays in sight.
struct TChartBand {
    static constexpr int kMinBandWidth = 3;
    double from = 0;
    double to = 0;
    TColor color = kClGray;
    TChartPen frame = TChartPen::Hidden();
    friend bool operator==(const TChartBand&, const TChartBand&) = default;
};

// △ marks a peak, its label above it; ▽ a trough, its label below it.
enum class TPointMarkShape { TriangleUp, TriangleDown };

// A small outlined triangle centred on (x, y) of the bottom and left axes, in its colour, with
// an optional short label in the left axis labels' font and the same colour.
struct TChartPointMark {
    double x = 0;
    double y = 0;
    TPointMarkShape shape = TPointMarkShape::TriangleUp;
    std::string label;
    TColor color = kClBlack;
    friend bool operator==(const TChartPointMark&, const TChartPointMark&) = default;
};

class TCustomChart {
public:
    TCustomChart();
    virtual ~TCustomChart();
    TCustomChart(const TCustomChart&) = delete;
    TCustomChart& operator=(const TCustomChart&) = delete;

    // Draws the whole chart with bounds as the chart bounds: panel and bevel (not when
    // printing), titles, back wall, the shown axes, then the series clipped to the plot area.
    // The geometry of this drawing stays readable afterwards (ChartRect, the axes' spans).
    void Draw(TCanvas& canvas, const TRect& bounds);

    // Marks the chart for a deferred repaint: the control repaints once per burst of changes.
    void Invalidate();
    // Repaints at once, before returning.
    void Refresh();

    // While loading, the settings are applied as they come: the axis range checks are skipped.
    void BeginLoading() { ++m_loading; }
    void EndLoading();
    bool IsLoading() const { return m_loading > 0; }

    // Margins in percent of the bounds' width (left, right) and height (top, bottom).
    const TMargins& Margins() const { return m_margins; }
    void SetMargins(const TMargins& margins);
    // Panel colour; the default marker means the system's button face.
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TBevel BevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TBevel bevel);
    TBevel BevelInner() const { return m_bevelInner; }
    void SetBevelInner(TBevel bevel);
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width);

    // The plot area's fill. Changed through the setters below, so that a change repaints.
    const TChartWall& BackWall() const { return m_backWall; }
    void SetBackWallBrush(const TChartBrush& brush);
    // The back wall's colour; outside loading it also makes the back wall's brush solid.
    TColor BackColor() const { return m_backWall.color; }
    void SetBackColor(TColor color);
    // The frame is the back wall's pen.
    const TChartPen& Frame() const { return m_backWall.pen; }
    void SetFrame(const TChartPen& pen);

    TChartTitle& Title() { return m_title; }
    TChartTitle& Foot() { return m_foot; }
    const TChartTitle& Title() const { return m_title; }
    const TChartTitle& Foot() const { return m_foot; }
    bool LegendVisible() const { return m_legendVisible; }
    void SetLegendVisible(bool visible);

    TChartAxis& LeftAxis() { return *m_axes[0]; }
    TChartAxis& TopAxis() { return *m_axes[1]; }
    TChartAxis& RightAxis() { return *m_axes[2]; }
    TChartAxis& BottomAxis() { return *m_axes[3]; }
    const TChartAxis& LeftAxis() const { return *m_axes[0]; }
    const TChartAxis& TopAxis() const { return *m_axes[1]; }
    const TChartAxis& RightAxis() const { return *m_axes[2]; }
    const TChartAxis& BottomAxis() const { return *m_axes[3]; }

    bool View3D() const { return m_view3D; }
    void SetView3D(bool value);
    bool AllowZoom() const { return m_allowZoom; }
    void SetAllowZoom(bool value) { m_allowZoom = value; }
    bool AllowPanning() const { return m_allowPanning; }
    void SetAllowPanning(bool value) { m_allowPanning = value; }
    bool ClipPoints() const { return m_clipPoints; }
    void SetClipPoints(bool value);
    bool AxisVisible() const { return m_axisVisible; }
    void SetAxisVisible(bool value);

    // The series list; the chart owns its series.
    TLineSeries& AddSeries();
    int SeriesCount() const { return static_cast<int>(m_series.size()); }
    TLineSeries& Series(int index) { return *m_series.at(static_cast<std::size_t>(index)); }
    const TLineSeries& Series(int index) const {
        return *m_series.at(static_cast<std::size_t>(index));
    }

    // Markers, drawn over the series in their pens with their labels above the plot area, in
    // the left axis labels' font. The plot area gives up room for the labels only where the
    // margin above it (or the gap under a shown title) is too narrow. Markers outside the bottom
    // axis' range are not drawn; where labels would overlap, the rightmost one is shown, and
    // none covers the left axis' unit. A marker without a label is a line alone: it hides no
    // other's label.
    const std::vector<TChartMarker>& Markers() const { return m_markers; }
    void SetMarkers(std::vector<TChartMarker> markers);

    // Bands, in their order; the parts outside the bottom axis' range are not drawn.
    const std::vector<TChartBand>& Bands() const { return m_bands; }
    void SetBands(std::vector<TChartBand> bands);

    // Point marks, drawn over the series and the markers, inside the plot area's clip. A mark
    // whose point lies outside the plot area is not drawn.
    const std::vector<TChartPointMark>& PointMarks() const { return m_pointMarks; }
    void SetPointMarks(std::vector<TChartPointMark> marks);

    // An axis is shown when axes are visible, it is visible, and (when the chart has an active
    // series) an active series uses it.
    bool IsAxisShown(const TChartAxis& axis) const;

    // Output state, set by the code that draws the chart elsewhere than on the screen.
    // Printing: no panel background and no bevel, white labels black, thin dotted pens.
    bool Printing() const { return m_printing; }
    void SetPrinting(bool printing) { m_printing = printing; }
    // Metafile: drawing into a metafile or the printer.
    bool Metafiling() const { return m_metafiling; }
    void SetMetafiling(bool metafiling) { m_metafiling = metafiling; }
    // Whether the screen paint composes off-screen (switched off while exporting or printing).
    bool BufferedDisplay() const { return m_bufferedDisplay; }
    void SetBufferedDisplay(bool buffered);
    // Whether the plot-area clip may be used: on the screen, for metafiles and printing.
    bool CanClip() const { return !m_printing || m_metafiling; }

    // Print settings, kept for the printing code.
    const TMargins& PrintMargins() const { return m_printMargins; }
    void SetPrintMargins(const TMargins& margins) { m_printMargins = margins; }
    bool PrintProportional() const { return m_printProportional; }
    void SetPrintProportional(bool value) { m_printProportional = value; }
    int PrintResolution() const { return m_printResolution; }
    void SetPrintResolution(int percent) { m_printResolution = percent; }

    // The control's client size; the toolkit control keeps it current.
    int ClientWidth() const { return m_clientWidth; }
    int ClientHeight() const { return m_clientHeight; }
    TRect ClientRect() const { return {0, 0, m_clientWidth, m_clientHeight}; }
    void SetClientSize(int width, int height);

    // Geometry of the last drawing.
    const TRect& ChartBounds() const { return m_bounds; }
    const TRect& ChartRect() const { return m_chartRect; }
    // Number of drawings so far (every Draw, on any canvas).
    std::uint64_t DrawCount() const { return m_drawCount; }

    // Separators of the axis labels (the French convention unless the toolkit says otherwise).
    const TNumberSeparators& NumberSeparators() const { return m_separators; }
    void SetNumberSeparators(const TNumberSeparators& separators);

protected:
    // The toolkit's side of Invalidate and Refresh. Without a control nothing is repainted.
    virtual void RequestRepaint() {}
    virtual void RepaintNow() {}

private:
    template <typename T> void Assign(T& field, const T& value);
    void NormalizeChartRect();
    void NormalizeRect(TRect& r) const;
    void Layout(TCanvas& canvas);
    void DrawPanel(TCanvas& canvas);
    // The back wall's fill, when it hides what is under it.
    std::optional<TRect> OpaqueWall() const;
    void DrawBackWall(TCanvas& canvas);
    // The highest row that room above the plot may take: under a shown title, else inside the
    // bevels. ReserveAbove gives rows above the plot area, taking them from the plot only where
    // the space above it is too narrow, and returns the top row of that band.
    int HighestFreeRow() const;
    int ReserveAbove(int rows, int highest);
    bool MarkerShown(const TChartMarker& marker) const;
    void ReserveMarkerRoom(TCanvas& canvas, int highest);
    void DrawBands(TCanvas& canvas);
    void DrawMarkers(TCanvas& canvas);
    void DrawPointMarks(TCanvas& canvas);

    TMargins m_margins{3, 4, 3, 4};
    TColor m_color = kClDefault;
    TBevel m_bevelOuter = TBevel::Raised;
    TBevel m_bevelInner = TBevel::None;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    TChartWall m_backWall;
    TChartTitle m_title;
    TChartTitle m_foot;
    bool m_legendVisible = true;
    std::array<std::unique_ptr<TChartAxis>, 4> m_axes;
    bool m_view3D = true;
    bool m_allowZoom = true;
    bool m_allowPanning = true;
    bool m_clipPoints = true;
    bool m_axisVisible = true;
    std::vector<std::unique_ptr<TLineSeries>> m_series;
    std::vector<TChartMarker> m_markers;
    std::vector<TChartBand> m_bands;
    std::vector<TChartPointMark> m_pointMarks;

    bool m_printing = false;
    bool m_metafiling = false;
    bool m_bufferedDisplay = true;
    TMargins m_printMargins{15, 15, 15, 15};
    bool m_printProportional = true;
    int m_printResolution = 0;

    int m_loading = 0;
    int m_clientWidth = 0;
    int m_clientHeight = 0;
    TRect m_bounds;
    TRect m_chartRect;
    TRect m_titlesRect;                   // the chart rectangle before the titles took their room
    std::optional<int> m_markerLabelsTop; // where the marker labels stand, when any is shown
    std::uint64_t m_drawCount = 0;
    TNumberSeparators m_separators;
};

} // namespace sornafex::chart
