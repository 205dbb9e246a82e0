#include "chart/custom_chart.h"
#include "chart/line_series.h"
#include "tests/chart/fake_canvas.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <set>

namespace sornafex::chart {
namespace {

using test::TDrawnLine;
using test::TFakeCanvas;

class TCountingChart : public TCustomChart {
public:
    int repaints = 0;

protected:
    void RequestRepaint() override { ++repaints; }
};

class LineSeriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_chart.SetView3D(false);
        m_chart.LeftAxis().SetAutomatic(false);
        m_chart.LeftAxis().SetMaximum(400);
        m_chart.LeftAxis().SetMinimum(-1);
        m_chart.BottomAxis().SetVisible(false);
        m_chart.SetClientSize(500, 300);
    }

    // The series' segments of the last drawing: lines drawn in the series' colour.
    std::vector<TDrawnLine> SeriesLines() const {
        std::vector<TDrawnLine> out;
        for (const auto& l : m_canvas.lines)
            if (l.pen.color == m_series.SeriesColor())
                out.push_back(l);
        return out;
    }

    void Draw() {
        m_canvas.Reset();
        m_chart.Draw(m_canvas, {0, 0, 500, 300});
    }

    TCountingChart m_chart;
    TLineSeries& m_series = m_chart.AddSeries();
    TFakeCanvas m_canvas;
};

TEST_F(LineSeriesTest, PointsFollowTheirXOrderAndKeepTheirYColourAndLabel) {
    for (double x : {0.0, 1.0, 2.0, 3.0, 7.0})
        m_series.AddXY(x, x * 10);
    EXPECT_EQ(m_series.AddXY(5, 55, "five", kClBlue), 4);
    EXPECT_EQ(m_series.AddXY(3, 33), 4); // after the existing 3
    ASSERT_EQ(m_series.Count(), 7);
    EXPECT_EQ(m_series.YValues().Value(3), 30);
    EXPECT_EQ(m_series.YValues().Value(4), 33);
    EXPECT_EQ(m_series.YValues().Value(5), 55);
    EXPECT_EQ(m_series.Label(5), "five");
    EXPECT_EQ(m_series.ValueColor(5), kClBlue);
    EXPECT_EQ(m_series.ValueColor(4), m_series.SeriesColor());
    EXPECT_EQ(m_series.ValueColor(99), m_series.SeriesColor());
}

TEST_F(LineSeriesTest, DeleteMovesTheLaterPointsDown) {
    for (int i = 0; i < 4; ++i)
        m_series.AddXY(i, 100 + i, "", i == 2 ? kClBlue : kClDefault);
    m_series.Delete(0);
    ASSERT_EQ(m_series.Count(), 3);
    EXPECT_EQ(m_series.XValues().Value(0), 1);
    EXPECT_EQ(m_series.YValues().Value(0), 101);
    EXPECT_EQ(m_series.ValueColor(1), kClBlue);
    try {
        m_series.Delete(3);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Indice de liste hors limites (3)");
    }
    EXPECT_EQ(m_series.Count(), 3);
}

TEST_F(LineSeriesTest, ChangesRepaintOnlyWhenActiveAndValueWritesNever) {
    m_chart.repaints = 0;
    m_series.AddXY(0, 1);
    m_series.AddXY(1, 2);
    EXPECT_EQ(m_chart.repaints, 2);
    m_series.YValues().SetValue(0, 5);
    m_series.XValues().SetValue(0, -1);
    EXPECT_EQ(m_chart.repaints, 2);
    m_series.SetActive(false);
    const int afterDeactivation = m_chart.repaints;
    m_series.AddXY(2, 3);
    m_series.Delete(0);
    m_series.Clear();
    EXPECT_EQ(m_chart.repaints, afterDeactivation);
}

TEST_F(LineSeriesTest, BottomAxisTakesTheXRangeOfTheData) {
    for (int i = 0; i < 255; ++i)
        m_series.AddXY(i, 0);
    m_series.AddXY(256, 0);
    Draw();
    EXPECT_EQ(m_chart.BottomAxis().IMinimum(), 0);
    EXPECT_EQ(m_chart.BottomAxis().IMaximum(), 256);
    EXPECT_EQ(m_chart.BottomAxis().IStartPos(), m_chart.ChartRect().left);
    EXPECT_EQ(m_chart.BottomAxis().IEndPos(), m_chart.ChartRect().right);

    m_series.Clear();
    Draw();
    EXPECT_EQ(m_chart.BottomAxis().IMinimum(), 0);
    EXPECT_EQ(m_chart.BottomAxis().IMaximum(), 0);
}

TEST_F(LineSeriesTest, OnePointDrawsNothingAndSamePixelPointsAddNoSegment) {
    m_series.AddXY(0, 100);
    Draw();
    EXPECT_TRUE(SeriesLines().empty());

    m_series.Clear();
    m_series.AddXY(0, 100);
    m_series.AddXY(100, 100.2);      // same row as 100
    m_series.AddXY(100.0001, 100.4); // same pixel again
    m_series.AddXY(200, 300);
    Draw();
    const auto lines = SeriesLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].from.y, lines[0].to.y);
    EXPECT_EQ(lines[1].from, lines[0].to);
}

TEST_F(LineSeriesTest, SegmentsMapThroughBothAxesAndAreClippedInsideThePlot) {
    m_series.AddXY(0, 0);
    m_series.AddXY(10, 400);
    Draw();
    const auto lines = SeriesLines();
    ASSERT_EQ(lines.size(), 1u);
    const TRect& plot = m_chart.ChartRect();
    EXPECT_EQ(lines[0].from, (TPoint{plot.left, m_chart.LeftAxis().CalcPosValue(0)}));
    EXPECT_EQ(lines[0].to, (TPoint{plot.right, plot.top}));
    ASSERT_TRUE(lines[0].clip.has_value());
    EXPECT_EQ(*lines[0].clip, (TRect{plot.left + 1, plot.top + 1, plot.right, plot.bottom - 1}));
    EXPECT_EQ(lines[0].pen.width, 1);
    EXPECT_EQ(lines[0].pen.style, TPenStyle::Solid);
}

TEST_F(LineSeriesTest, NullPointsAreSkippedAndSegmentsTakeTheirEndPointsColour) {
    m_series.AddXY(0, 10);
    m_series.AddXY(1, 200, "", kClBlue);
    m_series.AddXY(2, 20, "", kClNone);
    m_series.AddXY(3, 300);
    Draw();
    int blue = 0;
    int series = 0;
    for (const auto& l : m_canvas.lines) {
        if (!l.clip)
            continue;
        blue += l.pen.color == kClBlue;
        series += l.pen.color == m_series.SeriesColor();
    }
    // 0 -> 1 in blue; a null point breaks the line on both of its sides.
    EXPECT_EQ(blue, 1);
    EXPECT_EQ(series, 0);

    m_series.AddXY(4, 100);
    Draw();
    const auto lines = SeriesLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].from.x, m_chart.BottomAxis().CalcPosValue(3));
}

TEST_F(LineSeriesTest, PointsBeyondTheCoordinateLimitAreSkipped) {
    m_series.AddXY(0, 100);
    m_series.AddXY(1, 100000); // about 60000 rows above the plot
    m_series.AddXY(2, 200);
    Draw();
    const auto lines = SeriesLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].from.x, m_chart.BottomAxis().CalcPosValue(0));
    EXPECT_EQ(lines[0].to.x, m_chart.BottomAxis().CalcPosValue(2));
}

// A bottom axis narrower than the data: the line enters at the plot's left edge, on its way from
// the point left of the edge, unless that point is beyond the drawable coordinates.
TEST_F(LineSeriesTest, EntersAtTheLeftEdgeFromADrawablePointOnly) {
    TChartAxis& bottom = m_chart.BottomAxis();
    bottom.SetAutomatic(false);
    bottom.SetMaximum(20);
    bottom.SetMinimum(5);
    m_series.AddXY(0, 2e9);
    m_series.AddXY(10, 300);
    Draw();
    EXPECT_TRUE(SeriesLines().empty()) << "from a point far above";

    m_series.YValues().SetValue(0, 100);
    Draw();
    const auto lines = SeriesLines();
    ASSERT_EQ(lines.size(), 1u);
    const TChartAxis& left = m_chart.LeftAxis();
    const TPoint point{bottom.CalcPosValue(10), left.CalcPosValue(300)};
    EXPECT_EQ(lines[0].to, point);
    EXPECT_EQ(lines[0].from.x, bottom.IStartPos());
    // The edge is half way from x 0 to x 10.
    EXPECT_NEAR(lines[0].from.y, (left.CalcPosValue(100) + point.y) / 2.0, 1);
}

TEST_F(LineSeriesTest, PrintingThinsANonSolidLinePen) {
    TChartPen pen;
    pen.style = TPenStyle::Dot;
    m_series.SetLinePen(pen);
    m_series.AddXY(0, 0);
    m_series.AddXY(1, 100);
    m_chart.SetPrinting(true);
    m_chart.SetMetafiling(true);
    Draw();
    const auto lines = SeriesLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].pen.width, 0);
    EXPECT_TRUE(lines[0].clip.has_value());
}

// Series against every segment between neighbouring points, a null point breaking the line on
// both of its sides and a point alone between two gaps a dot. A sparse series draws exactly
// those; a dense one the same lines across columns and the same pixels down each column (one
// stretch for each run of points between gaps).
struct TDenseCase {
    const char* name;
    int count;
    std::vector<std::pair<int, int>> losses; // null points first .. last
    double xMin = -1;                        // the bottom axis' range; -1: automatic
    double xMax = -1;
    bool dense = true; // fewer than half as many lines as segments
};

class DenseSeries : public LineSeriesTest, public ::testing::WithParamInterface<TDenseCase> {};

TEST_P(DenseSeries, DrawEachColumnsExtremesAndItsGapsAndNothingElse) {
    const TDenseCase& c = GetParam();
    for (int i = 0; i < c.count; ++i) {
        if (std::any_of(c.losses.begin(), c.losses.end(),
                        [i](auto loss) { return i >= loss.first && i <= loss.second; }))
            m_series.AddNullXY(i);
        else
            m_series.AddXY(i, 200 + 120 * std::sin(i / 300.0) + 6 * ((i * 7919) % 13));
    }
    m_chart.LeftAxis().SetAutomatic(true);
    TChartAxis& bottom = m_chart.BottomAxis();
    if (c.xMin >= 0) {
        bottom.SetAutomatic(false);
        bottom.SetMaximum(c.xMax);
        bottom.SetMinimum(c.xMin);
    }
    Draw();
    // A null point counts for no 0 in the automatic range.
    EXPECT_GE(m_chart.LeftAxis().IMinimum(), 80);

    // From the point at the left edge to the first at or past the right edge; a point alone
    // between two gaps is a dot.
    using TSegment = std::pair<TPoint, TPoint>;
    std::vector<TSegment> reference;
    std::optional<TPoint> previous;
    int run = m_series.IsNull(std::max(0, int(c.xMin) - 1)) ? 0 : -1; // points since a gap
    for (int i = std::max(0, int(c.xMin)); i <= (c.xMax < 0 ? c.count - 1 : int(c.xMax)); ++i) {
        if (m_series.IsNull(i)) {
            if (run == 1)
                reference.push_back({*previous, {previous->x + 1, previous->y}});
            previous.reset();
            run = 0;
            continue;
        }
        const TPoint p{bottom.CalcPosValue(i),
                       m_chart.LeftAxis().CalcPosValue(m_series.YValues().Value(i))};
        if (previous && *previous != p)
            reference.push_back({*previous, p});
        previous = p;
        run = run < 0 ? -1 : run + 1;
    }
    std::vector<TSegment> drawn;
    for (const TDrawnLine& line : SeriesLines())
        drawn.emplace_back(line.from, line.to);

    auto across = [](const std::vector<TSegment>& lines) {
        std::vector<TSegment> out;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                     [](const TSegment& s) { return s.first.x != s.second.x; });
        return out;
    };
    auto down = [](const std::vector<TSegment>& lines) {
        std::set<std::pair<int, int>> pixels;
        for (const auto& [a, b] : lines)
            for (int y = std::min(a.y, b.y); a.x == b.x && y <= std::max(a.y, b.y); ++y)
                pixels.emplace(a.x, y);
        return pixels;
    };
    EXPECT_EQ(across(drawn), across(reference));
    EXPECT_EQ(down(drawn), down(reference));
    if (c.dense)
        EXPECT_LT(drawn.size(), reference.size() / 2);
    else
        EXPECT_EQ(drawn, reference);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DenseSeries,
    ::testing::Values(
        TDenseCase{"whole", 20000, {}},
        // A loss inside one column, one over several columns, a point alone between two.
        TDenseCase{"withLosses", 20000, {{5001, 5003}, {9000, 9800}, {9802, 9900}}},
        TDenseCase{"zoomedStillDense", 20000, {{7000, 7010}}, 5000, 10000},
        TDenseCase{"zoomedSparse", 20000, {{5050, 5052}}, 5000, 5300, false},
        // A point alone between two gaps, one alone at the end of the series.
        TDenseCase{"sparse", 300, {{100, 101}, {103, 104}, {298, 298}}, -1, -1, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace sornafex::chart
