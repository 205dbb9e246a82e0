#pragma once

// The chart's line series: points kept in ascending X order and drawn as one polyline against
// the chart's left (vertical) and bottom (horizontal) axes, broken at its null points.

#include "chart/chart_parts.h"
#include "chart/value_list.h"

#include <string>
#include <vector>

namespace sornafex::chart {

class TCustomChart;
class TChartAxis;

class TLineSeries {
public:
    explicit TLineSeries(TCustomChart& chart);
    TLineSeries(const TLineSeries&) = delete;
    TLineSeries& operator=(const TLineSeries&) = delete;

    TCustomChart& ParentChart() const { return m_chart; }

    int Count() const { return m_x.Count(); }
    // Empties every list; repaints the chart when the series is active.
    void Clear();
    // Adds a point where its X belongs (after points of equal X) and returns its index;
    // repaints the chart when the series is active.
    int AddXY(double x, double y, std::string label = {}, TColor color = kClDefault);
    // Adds a null point at x: no value there (a loss, a span without an estimate), so the line
    // breaks: a gap, never a value of 0. Its Y is not a number, which no statistic counts.
    int AddNullXY(double x);
    // Makes room for count points in all, so that adding up to that many (a whole session,
    // say) moves none of them and takes no more memory than they need.
    void Reserve(int count);
    // Removes point index; throws EListError for a bad index. Repaints when active.
    void Delete(int index);

    // Reading and writing values through these does not repaint the chart by itself.
    TChartValueList& XValues() { return m_x; }
    const TChartValueList& XValues() const { return m_x; }
    TChartValueList& YValues() { return m_y; }
    const TChartValueList& YValues() const { return m_y; }

    // The point's own colour, or SeriesColor for the default marker and beyond the list.
    // kClNone marks a null point, which the line skips. Inline: the drawing asks it of every
    // point.
    TColor ValueColor(int index) const {
        if (index < 0 || index >= static_cast<int>(m_colors.size()))
            return m_seriesColor;
        const TColor own = m_colors[static_cast<std::size_t>(index)];
        if (own != kClDefault)
            return own;
        return m_colorEachPoint ? PaletteColor(index) : m_seriesColor;
    }
    // A point of colour kClNone, or whose Y is not a number.
    bool IsNull(int index) const;
    const std::string& Label(int index) const;

    TColor SeriesColor() const { return m_seriesColor; }
    void SetSeriesColor(TColor color);
    bool Active() const { return m_active; }
    void SetActive(bool active);
    bool ColorEachPoint() const { return m_colorEachPoint; }
    void SetColorEachPoint(bool colorEachPoint);
    const TChartPen& LinePen() const { return m_linePen; }
    void SetLinePen(const TChartPen& pen);

    TChartAxis& VertAxis() const;
    TChartAxis& HorizAxis() const;

    // Draws the line with the current axis mapping (called by the chart inside its clip). Only
    // the points in the bottom axis' range are read, and one on each side, found by bisection
    // of the X list. Each segment takes its end point's colour; a null point leaves a gap on
    // both of its sides; points between two gaps whose line draws nothing (one point, or all
    // on one pixel) show as a dot. Points beyond the coordinates a device takes are skipped,
    // the line joining the points around them.
    //
    // Where the visible points outnumber the pixel columns, each column's points are drawn as
    // the line from the first of them to the last through their lowest and highest: the same
    // pixels as every segment with a solid pen (the lines between columns are the same ones,
    // and within a column they cover the same rows), so that every peak and every gap stays.
    // A gap inside a column splits its points there, each part drawn so. Only the colours of
    // the points kept are drawn.
    void DrawValues(TCanvas& canvas) const;

private:
    // The colour of point index under ColorEachPoint.
    static TColor PaletteColor(int index);
    void Changed();

    TCustomChart& m_chart;
    TChartValueList m_x{"X ", TChartListOrder::loAscending};
    TChartValueList m_y{"Y ", TChartListOrder::loNone};
    std::vector<TColor> m_colors;
    std::vector<std::string> m_labels;
    TColor m_seriesColor = kClRed;
    bool m_active = true;
    bool m_colorEachPoint = false;
    TChartPen m_linePen;
};

} // namespace sornafex::chart
