#include "chart/line_series.h"

#include "chart/axis.h"
#include "chart/custom_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace sornafex::chart {

namespace {
// Coordinates beyond this cannot be passed to the drawing calls of 16-bit-era devices and
// metafile records; such points are skipped.
constexpr int kMaxCoordinate = 32766;

bool Drawable(TPoint p) {
    return p.x >= -kMaxCoordinate && p.x <= kMaxCoordinate && p.y >= -kMaxCoordinate &&
           p.y <= kMaxCoordinate;
}

struct TVertex {
    TPoint at;
    TColor color;
};

// Joins the vertices of each run (the points between two gaps) with lines, each in its end
// point's colour; a run between two gaps that drew nothing gets a dot.
class TPathDrawer {
public:
    TPathDrawer(TCanvas& canvas, const TChartPen& pen, bool printing)
        : m_canvas(canvas), m_pen(pen), m_printing(printing) {}

    void Add(const TVertex& v) {
        if (m_last)
            Segment(m_last->at, v.at, v.color);
        m_last = v;
    }
    void Gap() {
        EndRun(true);
        m_afterGap = true;
    }
    void End() { EndRun(false); }

private:
    void Segment(TPoint from, TPoint to, TColor color) {
        if (from == to)
            return;
        if (m_penColor != color) {
            TChartPen pen = m_pen;
            pen.color = color;
            m_canvas.SetPen(pen.ToPen(m_printing));
            m_canvas.SetBrush({kClWhite, TBrushStyle::Clear});
            m_penColor = color;
        }
        m_canvas.Line(from.x, from.y, to.x, to.y);
        m_drew = true;
    }
    void EndRun(bool atGap) {
        if (m_last && !m_drew && m_afterGap && atGap)
            Segment(m_last->at, {m_last->at.x + 1, m_last->at.y}, m_last->color);
        m_last.reset();
        m_drew = false;
        m_afterGap = false;
    }

    TCanvas& m_canvas;
    const TChartPen& m_pen;
    bool m_printing;
    std::optional<TColor> m_penColor;
    std::optional<TVertex> m_last; // the run's last vertex
    bool m_drew = false;           // the run has drawn a line
    bool m_afterGap = false;       // the run began after a gap
};

// Passes on, of the vertices that follow one another on one pixel column, the first, the
// highest and the lowest in their order, and the last.
class TColumnReducer {
public:
    explicit TColumnReducer(TPathDrawer& path) : m_path(path) {}

    void Add(const TVertex& v) {
        if (m_count > 0 && v.at.x != m_first.at.x)
            Flush();
        if (m_count == 0) {
            m_first = m_low = m_high = v;
            m_lowIndex = m_highIndex = 0;
        } else if (v.at.y > m_low.at.y) {
            m_low = v;
            m_lowIndex = m_count;
        } else if (v.at.y < m_high.at.y) {
            m_high = v;
            m_highIndex = m_count;
        }
        m_last = v;
        ++m_count;
    }
    void Gap() {
        Flush();
        m_path.Gap();
    }
    void End() {
        Flush();
        m_path.End();
    }

private:
    void Flush() {
        if (m_count == 0)
            return;
        m_path.Add(m_first);
        const bool lowFirst = m_lowIndex < m_highIndex;
        const int firstIndex = lowFirst ? m_lowIndex : m_highIndex;
        const int secondIndex = lowFirst ? m_highIndex : m_lowIndex;
        if (firstIndex > 0)
            m_path.Add(lowFirst ? m_low : m_high);
        if (secondIndex > 0)
            m_path.Add(lowFirst ? m_high : m_low);
        if (m_count - 1 > secondIndex)
            m_path.Add(m_last);
        m_count = 0;
    }

    TPathDrawer& m_path;
    int m_count = 0;
    TVertex m_first{};
    TVertex m_low{}; // the lowest on the screen: the largest row
    TVertex m_high{};
    TVertex m_last{};
    int m_lowIndex = 0;
    int m_highIndex = 0;
};

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

int TLineSeries::AddNullXY(double x) {
    return AddXY(x, std::numeric_limits<double>::quiet_NaN(), {}, kClNone);
}

void TLineSeries::Reserve(int count) {
    m_x.Reserve(count);
    m_y.Reserve(count);
    m_colors.reserve(static_cast<std::size_t>(std::max(count, 0)));
    m_labels.reserve(static_cast<std::size_t>(std::max(count, 0)));
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

TColor TLineSeries::PaletteColor(int index) {
    static constexpr TColor kPalette[] = {kClRed,           Rgb(0, 255, 0),  kClYellow,
                                          kClBlue,          kClWhite,        kClGray,
                                          Rgb(255, 0, 255), Rgb(0, 128, 128)};
    return kPalette[static_cast<std::size_t>(index) % std::size(kPalette)];
}

bool TLineSeries::IsNull(int index) const {
    return ValueColor(index) == kClNone || std::isnan(m_y.Value(index));
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
    // the first at or beyond its right edge (the last point when none is).
    const double leftX = horiz.CalcPosPoint(horiz.IStartPos());
    const double rightX = horiz.CalcPosPoint(horiz.IEndPos());
    auto firstFrom = [this, count](int from, double x) {
        int lo = from;
        int hi = count - 1;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (m_x.Value(mid) < x)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    const int first = firstFrom(0, leftX);
    const int last = m_x.Value(count - 1) > rightX ? firstFrom(first, rightX) : count - 1;

    auto at = [&](int i, double y) {
        return TPoint{horiz.CalcPosValue(m_x.Value(i)), vert.CalcPosValue(y)};
    };
    // Each point's colour and value are read once: a 10-hour session has 360 000 of them.
    auto feed = [&](auto& path) {
        if (first > 0 && IsNull(first - 1))
            path.Gap();
        for (int i = first; i <= last; ++i) {
            const TColor color = ValueColor(i);
            const double y = m_y.Value(i);
            if (color == kClNone || std::isnan(y)) {
                path.Gap();
                continue;
            }
            const TPoint point = at(i, y);
            if (!Drawable(point))
                continue;
            if (i == first && i > 0 && !IsNull(i - 1)) {
                // Enter at the left edge, at the height where the segment from the point before
                // crosses it. A point before that lies beyond the drawable coordinates is
                // skipped like any other, and starts no segment.
                const TPoint before = at(i - 1, m_y.Value(i - 1));
                if (Drawable(before)) {
                    const int edge = horiz.IStartPos();
                    TPoint entry{edge, point.y};
                    if (point.x != before.x)
                        entry.y = before.y + NearestEven(double(point.y - before.y) *
                                                         (edge - before.x) / (point.x - before.x));
                    path.Add({entry, color});
                }
            }
            path.Add({point, color});
        }
        path.End();
    };

    TPathDrawer path(canvas, m_linePen, m_chart.Printing());
    if (last - first > horiz.IAxisSize()) {
        TColumnReducer columns(path);
        feed(columns);
    } else {
        feed(path);
    }
}

} // namespace sornafex::chart
