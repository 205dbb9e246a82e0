#include "chart/line_series.h"

#include "chart/axis.h"
#include "chart/custom_chart.h"

#include <cmath>
#include <optional>

namespace sornafex::chart {

namespace {
// Coordinates beyond this cannot be passed to the drawing calls of 16-bit-era devices and
// metafile records; such points are skipped.
constexpr int kMaxCoordinate = 32766;

bool Drawable(int x, int y) {
    return x >= -kMaxCoordinate && x <= kMaxCoordinate && y >= -kMaxCoordinate &&
           y <= kMaxCoordinate;
}
} // namespace

TLineSeries::TLineSeries(TCustomChart& chart) : m_chart(chart) {}

void TLineSeries::Changed() {
    if (m_active)
        m_chart.Invalidate();
}

void TLineSeries::Clear() {
    m_x.Clear();
    m_y.Clear();
    std::vector<TColor>().swap(m_colors);
    std::vector<std::string>().swap(m_labels);
    Changed();
}

int TLineSeries::AddXY(double x, double y, std::string label, TColor color) {
    const int index = m_x.AddValue(x);
    m_y.InsertValue(index, y);
    m_colors.insert(m_colors.begin() + index, color);
    m_labels.insert(m_labels.begin() + index, std::move(label));
    Changed();
    return index;
}

void TLineSeries::Delete(int index) {
    if (index < 0 || index >= Count())
        throw EListError(index);
    m_x.Delete(index);
    m_y.Delete(index);
    m_colors.erase(m_colors.begin() + index);
    m_labels.erase(m_labels.begin() + index);
    Changed();
}

TColor TLineSeries::ValueColor(int index) const {
    if (index < 0 || index >= static_cast<int>(m_colors.size()))
        return m_seriesColor;
    const TColor color = m_colors[static_cast<std::size_t>(index)];
    if (color != kClDefault)
        return color;
    if (m_colorEachPoint) {
        static constexpr TColor kPalette[] = {kClRed,           Rgb(0, 255, 0),  kClYellow,
                                              kClBlue,          kClWhite,        kClGray,
                                              Rgb(255, 0, 255), Rgb(0, 128, 128)};
        return kPalette[static_cast<std::size_t>(index) % std::size(kPalette)];
    }
    return m_seriesColor;
}

const std::string& TLineSeries::Label(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(index);
    return m_labels[static_cast<std::size_t>(index)];
}

void TLineSeries::SetSeriesColor(TColor color) {
    if (color == m_seriesColor)
        return;
    m_seriesColor = color;
    Changed();
}

void TLineSeries::SetActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    m_chart.Invalidate();
}

void TLineSeries::SetColorEachPoint(bool colorEachPoint) {
    if (colorEachPoint == m_colorEachPoint)
        return;
    m_colorEachPoint = colorEachPoint;
    Changed();
}

void TLineSeries::SetLinePen(const TChartPen& pen) {
    if (pen == m_linePen)
        return;
    m_linePen = pen;
    Changed();
}

TChartAxis& TLineSeries::VertAxis() const {
    return m_chart.LeftAxis();
}
TChartAxis& TLineSeries::HorizAxis() const {
    return m_chart.BottomAxis();
}

void TLineSeries::DrawValues(TCanvas& canvas) const {
    const int count = Count();
    if (count == 0)
        return;
    const TChartAxis& horiz = HorizAxis();
    const TChartAxis& vert = VertAxis();

    // The points that reach into the plot area: from the first not left of its left edge to
    // the first at or beyond its right edge.
    const double leftX = horiz.CalcPosPoint(horiz.IStartPos());
    const double rightX = horiz.CalcPosPoint(horiz.IEndPos());
    int first = 0;
    while (first < count - 1 && m_x.Value(first) < leftX)
        ++first;
    int last = count - 1;
    if (m_x.Value(last) > rightX) {
        last = first;
        while (last < count - 1 && m_x.Value(last) < rightX)
            ++last;
    }

    const bool printing = m_chart.Printing();
    std::optional<TColor> penColor;
    auto segment = [&](TPoint from, TPoint to, TColor color) {
        if (from == to || color == kClNone)
            return;
        if (penColor != color) {
            TChartPen pen = m_linePen;
            pen.color = color;
            canvas.SetPen(pen.ToPen(printing));
            canvas.SetBrush({kClWhite, TBrushStyle::Clear});
            penColor = color;
        }
        canvas.Line(from.x, from.y, to.x, to.y);
    };

    TPoint previous;
    TColor previousColor = kClNone;
    for (int i = first; i <= last; ++i) {
        const TColor color = ValueColor(i);
        const TPoint point{horiz.CalcPosValue(m_x.Value(i)), vert.CalcPosValue(m_y.Value(i))};
        if (!Drawable(point.x, point.y)) {
            previousColor = color;
            continue;
        }
        if (previousColor == kClNone)
            previous = point;
        if (i == first) {
            if (i > 0) {
                // Enter at the left edge, at the height where the segment from the point before
                // crosses it. A point before that lies beyond the drawable coordinates is
                // skipped like any other, and starts no segment.
                const TPoint before{horiz.CalcPosValue(m_x.Value(i - 1)),
                                    vert.CalcPosValue(m_y.Value(i - 1))};
                if (ValueColor(i - 1) != kClNone && Drawable(before.x, before.y)) {
                    const int edge = horiz.IStartPos();
                    TPoint entry{edge, point.y};
                    if (point.x != before.x)
                        entry.y = before.y + NearestEven(double(point.y - before.y) *
                                                         (edge - before.x) / (point.x - before.x));
                    segment(entry, point, color);
                }
            }
        } else {
            segment(previous, point, color);
        }
        previous = point;
        previousColor = color;
    }
}

} // namespace sornafex::chart
