#pragma once

// A chart axis: the range it shows, the mapping between values and pixels, and, for the axes at
// the left of and below the plot area, the room they reserve and their drawing (labels, axis
// line, ticks, grid, inner ticks, minor ticks; the left axis' unit). The same class serves the
// top and right axes, of which the chart uses only the mapping.

#include "chart/chart_parts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex::chart {

class TCustomChart;

// A refused range or increment; the message is the user-visible French text.
class AxisException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TAxisKind { Left, Top, Right, Bottom };

// The separators of the labels' number format.
struct TNumberSeparators {
    std::string decimal = ",";
    std::string thousands = "\u202F"; // the narrow no-break space of the French convention
    friend bool operator==(const TNumberSeparators&, const TNumberSeparators&) = default;
};

// value formatted as a Delphi-style number format such as "#,##0.###": "," anywhere before the
// point groups thousands, the digits after "." give the most decimals ("0" forces one, "#"
// allows one); trailing optional zeros are dropped. The one formatting function of the labels.
std::string FormatAxisValue(double value, std::string_view format, const TNumberSeparators& seps);

// Labels of an axis in seconds. Seconds before now: "−60", "−2,5", "0", with the minus sign
// U+2212 and at most three decimals. Time from a run's start: "01:02:03", hours growing past 99
// as needed, a fraction of a second after the decimal separator when there is one
// ("00:00:02,5"), so that labels a fraction of a second apart never read the same.
std::string FormatSecondsBeforeNow(double seconds, const TNumberSeparators& seps);
std::string FormatRunTime(double seconds, const TNumberSeparators& seps);

// The text of a label for its value.
using TAxisLabelFormatter = std::function<std::string(double)>;

// The steps an axis chooses its label increment from: the 1-2-5 series of decimal numbers, or
// round durations for values in seconds (1, 2, 5, 10, 15, 30 s; 1, 2, 5, 10, 15, 30 min; 1, 2,
// 3, 6, 12 h; 1, 2, 5, 10 days and on; below a second the decimal series).
enum class TAxisSteps { Decimal, Seconds };

// To the nearest integer, halves to the even neighbour, clamped to the int range: the rounding
// of the axis, the series and the print layout.
inline int NearestEven(double value) {
    // std::nearbyint follows the rounding mode, which the program leaves at to-nearest-even.
    const double rounded = std::nearbyint(value);
    if (!(rounded > double(std::numeric_limits<int>::min())))
        return std::numeric_limits<int>::min();
    if (rounded >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

class TChartAxis {
public:
    static constexpr double kMinStep = 1e-12;
    // Beyond this an offset in pixels no longer fits the 32-bit coordinates of the canvas.
    static constexpr double kMaxPixelOffset = 2147483647.0;
    static constexpr int kMaxLabels = 10000;
    static constexpr std::size_t kMaxTicks = 2000;

    TChartAxis(TCustomChart& chart, TAxisKind kind);
    TChartAxis(const TChartAxis&) = delete;
    TChartAxis& operator=(const TChartAxis&) = delete;

    TAxisKind Kind() const { return m_kind; }
    bool Horizontal() const { return m_kind == TAxisKind::Top || m_kind == TAxisKind::Bottom; }

    // Range. Outside loading, a minimum above the maximum (and a maximum below the minimum) is
    // refused with AxisException and leaves everything unchanged; equal values pass. A limit
    // that is not a finite number is refused the same way, also while loading.
    double Minimum() const { return m_minimum; }
    void SetMinimum(double value);
    double Maximum() const { return m_maximum; }
    void SetMaximum(double value);
    // Both limits at once, whatever range the axis held: min above max, or a limit that is not
    // finite, is refused as SetMinimum and SetMaximum refuse it, and changes nothing.
    void SetRange(double min, double max);
    // Also sets AutomaticMinimum and AutomaticMaximum, except while loading.
    bool Automatic() const { return m_automatic; }
    void SetAutomatic(bool value);
    bool AutomaticMinimum() const { return m_automaticMinimum; }
    void SetAutomaticMinimum(bool value);
    bool AutomaticMaximum() const { return m_automaticMaximum; }
    void SetAutomaticMaximum(bool value);
    // 0: chosen from the plot size. A negative or non-finite increment is refused with
    // AxisException.
    double Increment() const { return m_increment; }
    void SetIncrement(double value);
    // What the increment grows along until the labels fit; labels stand on multiples of it.
    TAxisSteps Steps() const { return m_steps; }
    void SetSteps(TAxisSteps steps);

    bool Visible() const { return m_visible; }
    void SetVisible(bool value);
    int LabelsSeparation() const { return m_labelsSeparation; }
    void SetLabelsSeparation(int percent);
    const std::string& AxisValuesFormat() const { return m_valuesFormat; }
    void SetAxisValuesFormat(std::string format);
    // Gives the labels' texts instead of AxisValuesFormat; an empty formatter gives them back to
    // the format.
    void SetLabelFormatter(TAxisLabelFormatter formatter);
    // A short text ("Hz", "µS") drawn horizontally above the left axis' labels, right-aligned
    // with them. Empty: none, and no room taken for it.
    const std::string& Unit() const { return m_unit; }
    void SetUnit(std::string unit);
    bool Labels() const { return m_labels; }
    void SetLabels(bool value);
    const TFontSpec& LabelsFont() const { return m_labelsFont; }
    void SetLabelsFont(const TFontSpec& font);
    int LabelsSize() const { return m_labelsSize; }
    void SetLabelsSize(int size);
    bool LabelsOnAxis() const { return m_labelsOnAxis; }
    void SetLabelsOnAxis(bool value);
    bool RoundFirstLabel() const { return m_roundFirstLabel; }
    void SetRoundFirstLabel(bool value);
    bool TickOnLabelsOnly() const { return m_tickOnLabelsOnly; }
    void SetTickOnLabelsOnly(bool value);

    const TChartPen& AxisPen() const { return m_axisPen; }
    void SetAxisPen(const TChartPen& pen);
    const TChartPen& Ticks() const { return m_ticks; }
    void SetTicks(const TChartPen& pen);
    int TickLength() const { return m_tickLength; }
    void SetTickLength(int length);
    const TChartPen& TicksInner() const { return m_ticksInner; }
    void SetTicksInner(const TChartPen& pen);
    int TickInnerLength() const { return m_tickInnerLength; }
    void SetTickInnerLength(int length);
    const TChartPen& MinorTicks() const { return m_minorTicks; }
    void SetMinorTicks(const TChartPen& pen);
    int MinorTickLength() const { return m_minorTickLength; }
    void SetMinorTickLength(int length);
    int MinorTickCount() const { return m_minorTickCount; }
    void SetMinorTickCount(int count);
    const TChartPen& Grid() const { return m_grid; }
    void SetGrid(const TChartPen& pen);
    const TChartPen& MinorGrid() const { return m_minorGrid; }
    void SetMinorGrid(const TChartPen& pen);
    bool GridCentered() const { return m_gridCentered; }
    void SetGridCentered(bool value);
    double StartPosition() const { return m_startPosition; }
    void SetStartPosition(double percent);
    double EndPosition() const { return m_endPosition; }
    void SetEndPosition(double percent);

    // Values of the current drawing.
    double IMinimum() const { return m_iMinimum; }
    double IMaximum() const { return m_iMaximum; }
    double IRange() const { return m_iRange; }
    int IStartPos() const { return m_iStartPos; }
    int IEndPos() const { return m_iEndPos; }
    int IAxisSize() const { return m_iAxisSize; }
    int ICenterPos() const { return m_iCenterPos; }
    int PosAxis() const { return m_posAxis; }
    int PosLabels() const { return m_posLabels; }
    // Rows (columns for a horizontal axis) of the ticks of the last drawing.
    const std::vector<int>& TickPositions() const { return m_tickPos; }

    // Value to pixel and back with the current range and span. Range 0, or an offset that does
    // not fit in 32 bits, gives the centre pixel; a pixel beyond the int range gives the nearest
    // int. Inline: a series maps every point through it.
    int CalcPosValue(double value) const {
        if (m_iRange == 0)
            return m_iCenterPos;
        const double offset = (value - m_iMinimum) * m_iAxisSize / m_iRange;
        if (!(std::fabs(offset) < kMaxPixelOffset))
            return m_iCenterPos;
        // The offset fits in 32 bits, the position measured from the axis' end need not: a
        // value far below the range on a tall axis lies beyond the int range. Such a pixel is
        // far outside anything drawable, and the int limit says so as well as the exact row
        // would.
        const std::int64_t rounded = NearestEven(offset);
        const std::int64_t pixel = Horizontal() ? m_iStartPos + rounded : m_iEndPos - rounded;
        return static_cast<int>(std::clamp<std::int64_t>(pixel, std::numeric_limits<int>::min(),
                                                         std::numeric_limits<int>::max()));
    }
    double CalcPosPoint(int pixel) const;

    // The chart's drawing calls these in order: take the range for this drawing, reserve room
    // from rect (the left axis moves rect.left, the bottom axis rect.bottom), compute the pixel
    // span from the plot area, draw. RoomAbove is the rows the axis needs above its span: the
    // left axis' unit over the half of its top label that stands above the plot.
    void AdjustRange();
    int RoomAbove(TCanvas& canvas) const;
    void CalcRect(TCanvas& canvas, TRect& rect);
    void CalcScreenPos(const TRect& plot);
    // The label step for the current range and span. A horizontal axis' labels side by side
    // keep at least a space between them, also where labels inside the range are wider than
    // those at its ends.
    double CalcIncrement(TCanvas& canvas) const;
    void Draw(TCanvas& canvas);

    std::string LabelText(double value) const;

private:
    template <typename T> void Assign(T& field, const T& value);
    int LabelHeight(TCanvas& canvas) const;
    int TickRoom() const;
    double StepForLabelSize(int size) const;
    double GrowStep(double step) const;
    int WidestLabel(TCanvas& canvas, double step) const;
    // Calls visit(value, pixel) for the labels of step on the axis, from the highest down.
    template <typename Visit> void ForEachLabel(double step, Visit visit) const;
    TFontSpec DrawnLabelsFont() const;
    // A line across the axis at p (a row of the left axis, a column of the bottom one), from
    // from to to in the other direction; the axis' outside is OutwardStep from the plot, and
    // the plot spans PlotNear to PlotFar across it.
    void Across(TCanvas& canvas, int p, int from, int to) const;
    int OutwardStep() const { return Horizontal() ? 1 : -1; }
    int PlotNear() const { return Horizontal() ? m_plot.top : m_plot.left; }
    int PlotFar() const { return Horizontal() ? m_plot.bottom : m_plot.right; }
    void DrawLabelsAndTicks(TCanvas& canvas, double step);
    void DrawMinorTicks(TCanvas& canvas);
    void DrawUnit(TCanvas& canvas);

    TCustomChart& m_chart;
    TAxisKind m_kind;

    double m_minimum = 0;
    double m_maximum = 0;
    bool m_automatic = true;
    bool m_automaticMinimum = true;
    bool m_automaticMaximum = true;
    double m_increment = 0;
    TAxisSteps m_steps = TAxisSteps::Decimal;
    bool m_visible = true;
    int m_labelsSeparation = 10;
    std::string m_valuesFormat = "#,##0.###";
    TAxisLabelFormatter m_formatter;
    std::string m_unit;
    bool m_labels = true;
    TFontSpec m_labelsFont;
    int m_labelsSize = 0;
    bool m_labelsOnAxis = true;
    bool m_roundFirstLabel = true;
    bool m_tickOnLabelsOnly = true;
    TChartPen m_axisPen = TChartPen::AxisLine();
    TChartPen m_ticks = TChartPen::DarkGray();
    int m_tickLength = 4;
    TChartPen m_ticksInner = TChartPen::DarkGray();
    int m_tickInnerLength = 0;
    TChartPen m_minorTicks = TChartPen::DarkGray();
    int m_minorTickLength = 2;
    int m_minorTickCount = 3;
    TChartPen m_grid = TChartPen::DottedGray();
    TChartPen m_minorGrid = TChartPen::Hidden();
    bool m_gridCentered = false;
    double m_startPosition = 0;
    double m_endPosition = 100;

    double m_iMinimum = 0;
    double m_iMaximum = 0;
    double m_iRange = 0;
    int m_iStartPos = 0;
    int m_iEndPos = 0;
    int m_iAxisSize = 0;
    int m_iCenterPos = 0;
    int m_posAxis = 0;
    int m_posLabels = 0;
    TRect m_plot;
    std::vector<int> m_tickPos;
};

} // namespace sornafex::chart
