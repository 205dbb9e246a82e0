#pragma once

// The review of a whole session, without the toolkit (its window is app/frmReview.h): the
// session's signal on a chart against the time from the run's start; under it a strip of the
// whole session against the clock, the range in view framed on it; zoom and scroll from 10 s to
// the whole session; a list of marks to jump to; the read-out of a point, and of the difference
// between two. Everything here runs on the UI thread.
//
// Both are drawn by the chart's Draw. Every point of the session is in the chart's series,
// which reduces what a pixel column holds to the line through its lowest and highest points;
// the strip holds the session already reduced so to kOverviewColumns columns. The left axis fits
// the values in view. Read-outs use the French decimal comma; a clock time is the run start's
// local time plus the seconds of the run (a change of the clocks during a run is not followed).

#include "chart/custom_chart.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sornafex::chart {

// The signal a review shows, and what it is measured in.
struct TSessionSignal {
    // Seconds of the run, in ascending order, and the values there; NaN where nothing was
    // measured, which the trace shows as a gap.
    std::span<const double> seconds;
    std::span<const double> values;
    std::string unit; // "Hz", "µS": above the left axis and in the read-outs
    int decimals = 3; // of the values in the read-outs
    // The session's last moment, in seconds of the run, and the local time at its start, in
    // seconds since midnight.
    double end = 0;
    double clockStart = 0;
};

// A mark of the list, which the view centres on when it is chosen.
struct TSessionEntry {
    double seconds = 0;
    std::string text;
    friend bool operator==(const TSessionEntry&, const TSessionEntry&) = default;
};

// A point a read-out speaks of: a point of the signal, or a moment without a value.
struct TSessionReading {
    double seconds = 0;
    std::optional<double> value;
    friend bool operator==(const TSessionReading&, const TSessionReading&) = default;
};

// The review's keys: the arrows, Page Up and Page Down, Home and End, "+" and "−".
enum class TReviewKey { Left, Right, PageUp, PageDown, Home, End, ZoomIn, ZoomOut };

// The review's look on chart (the program's green chart, a time axis below it, the unit above
// the left axis), with the series of the session's points. Returns the series.
TLineSeries& SetupSessionChart(TCustomChart& chart);

class TSessionView {
public:
    static constexpr double kShortestSpan = 10;  // s in view at the closest
    static constexpr double kArrowStep = 5;      // s an arrow key scrolls
    static constexpr double kZoomStep = 2;       // what "+" and "−" (and two wheel notches) zoom
    static constexpr double kWheelScreens = 0.1; // of the range in view, a wheel notch scrolls
    static constexpr int kOverviewColumns = 4096;

    // chart and overview must outlive the view; each is given its look and a series. The view
    // shows an empty session until SetSignal.
    TSessionView(TCustomChart& chart, TCustomChart& overview);

    // The session's signal, whole in view, its points copied; the two points of a difference
    // are forgotten.
    void SetSignal(const TSessionSignal& signal);
    // The session's lines and point marks on the chart, drawn while they are in view.
    void SetMarks(std::vector<TChartMarker> markers, std::vector<TChartPointMark> points);
    // The list, in the order of its times.
    void SetEntries(std::vector<TSessionEntry> entries);
    const std::vector<TSessionEntry>& Entries() const { return m_entries; }
    // An entry as the list shows it: "00:01:23  Q1 R Hier, à Lyon ?".
    std::string EntryText(std::size_t entry) const;

    // The session spans 0 .. End(): to its last moment, and at least kShortestSpan.
    double End() const;
    // The range in view, in seconds of the run.
    double From() const { return m_from; }
    double To() const { return m_to; }
    double Span() const { return m_to - m_from; }

    // Each puts a range in view, made kShortestSpan .. End() wide (around its middle) and moved
    // inside the session.
    void ShowRange(double from, double to);
    void ShowWhole();
    void CentreOn(double seconds);
    void ScrollBy(double seconds);
    // factor > 1 zooms in. The moment around stays where it stands on the screen; the middle of
    // the range by default.
    void Zoom(double factor, std::optional<double> around = std::nullopt);
    // Left and Right scroll by kArrowStep, Page Up and Down by the range in view, Home and End go
    // to the session's start and end; ZoomIn and ZoomOut zoom by kZoomStep around the middle.
    void Press(TReviewKey key);
    // A turn of the wheel over the chart, in notches (positive: away from the user), at column
    // pixelX: earlier by kWheelScreens of the range a notch, or, zooming, closer around the
    // moment under pixelX (a notch is the square root of kZoomStep).
    void Wheel(double notches, bool zoom, std::optional<int> pixelX = std::nullopt);
    // Centres the range in view on the entry.
    void GoTo(std::size_t entry);
    // Centres the range in view on the moment at column pixelX of the strip, as last drawn.
    void ShowAtOverview(int pixelX);

    // The moment at column pixelX of the chart, as last drawn; none outside its plot area.
    std::optional<double> SecondsAt(int pixelX) const;
    // The point of the signal nearest to seconds; a moment without a value inside a gap, before
    // the first point and after the last.
    TSessionReading ReadingAt(double seconds) const;
    // "00:12:30,4 (10:27:32,6) : 5,024 µS", or "... : sans mesure".
    std::string ReadingText(const TSessionReading& reading) const;

    // A click, then a shift-click: the two points of a difference (the point of the signal
    // nearest to each), drawn as lines "A" and "B". A click begins a new difference.
    void SetFirstPoint(double seconds);
    void SetSecondPoint(double seconds);
    const std::optional<TSessionReading>& FirstPoint() const { return m_first; }
    const std::optional<TSessionReading>& SecondPoint() const { return m_second; }
    // "Δt = 12,3 s ; Δ = +0,052 µS ; Δ% = +1,04 %" for two points; what to do next before that.
    std::string DifferenceText() const;

    // "00:10:00 – 00:20:00 ; horloge 10:25:02 – 10:35:02".
    std::string RangeText() const;
    // The clock time of a moment of the run: "10:27:32,6".
    std::string ClockText(double seconds) const;

private:
    void FillOverview(const TSessionSignal& signal);
    // Puts the range on both charts and fits the left axis to the values in view.
    void Apply(double from, double to);
    void FitVertical();
    void ShowMarkers();
    // The first point at or after x.
    int FirstAtOrAfter(double x) const;

    TCustomChart& m_chart;
    TCustomChart& m_overview;
    TLineSeries& m_series;
    TLineSeries& m_overviewSeries;
    std::string m_unit;
    int m_decimals = 3;
    double m_end = 0;
    double m_clockStart = 0;
    // The lowest and highest value of the session: the left axis when none is in view.
    double m_lowest = 0;
    double m_highest = 1;
    double m_from = 0;
    double m_to = kShortestSpan;
    std::vector<TChartMarker> m_markers;
    std::vector<TSessionEntry> m_entries;
    std::optional<TSessionReading> m_first;
    std::optional<TSessionReading> m_second;
};

} // namespace sornafex::chart
