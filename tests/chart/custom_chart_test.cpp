#include "chart/custom_chart.h"
#include "chart/uGraph.h"
#include "tests/chart/fake_canvas.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <utility>

namespace sornafex::chart {
namespace {

using test::TDrawnLine;
using test::TDrawnRect;
using test::TFakeCanvas;

class TCountingChart : public TCustomChart {
public:
    int repaints = 0;
    int refreshes = 0;

protected:
    void RequestRepaint() override { ++repaints; }
    void RepaintNow() override { ++refreshes; }
};

constexpr TColor kFace = Rgb(212, 208, 200);
constexpr TColor kLine = Rgb(128, 255, 0);

// The main window's chart drawn with 14-pixel text, 7 pixels a byte.
class ChartLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_series = &SetupMainChart(m_chart);
        for (int i = 0; i < 256; ++i)
            m_series->AddXY(i, i);
        m_chart.SetClientSize(514, 300);
    }

    void Draw(TRect bounds = {0, 0, 514, 300}) {
        m_canvas.Reset();
        m_chart.Draw(m_canvas, bounds);
    }

    std::size_t IndexOfFirstRect(TColor color) const {
        for (std::size_t i = 0; i < m_canvas.rects.size(); ++i)
            if (m_canvas.rects[i].brush.color == color &&
                m_canvas.rects[i].brush.style == TBrushStyle::Solid)
                return i;
        return m_canvas.rects.size();
    }

    TCountingChart m_chart;
    TLineSeries* m_series = nullptr;
    TFakeCanvas m_canvas{14, 7};
};

TEST_F(ChartLayoutTest, MarginsThenTheLeftAxisRoom) {
    Draw();
    // Margins 1 % and 2 % of 514 (5.14, 10.28) and 4 % of 300; the first drawing sizes the
    // labels "-1" and "400" (step 1e-12): 3 * 7 + a space, then 6 pixels of ticks and line.
    EXPECT_EQ(m_chart.ChartRect(), (TRect{5 + 28 + 6, 12, 504, 288}));
    EXPECT_EQ(m_chart.LeftAxis().PosLabels(), 5 + 28);
    EXPECT_EQ(m_chart.LeftAxis().PosAxis(), m_chart.ChartRect().left);
    EXPECT_EQ(m_chart.LeftAxis().IStartPos(), 12);
    EXPECT_EQ(m_chart.LeftAxis().IEndPos(), 288);

    // The next drawing sizes "0" and "400" with step 50: the same room.
    Draw();
    EXPECT_EQ(m_chart.ChartRect().left, 39);
}

TEST_F(ChartLayoutTest, MarginsRoundHalvesAwayFromZero) {
    m_chart.SetMargins({10, 10, 10, 10});
    Draw({0, 0, 515, 305}); // 51.5 and 30.5
    EXPECT_EQ(m_chart.ChartRect().top, 31);
    EXPECT_EQ(m_chart.ChartRect().right, 515 - 52);
    EXPECT_EQ(m_chart.ChartRect().bottom, 305 - 31);
}

TEST_F(ChartLayoutTest, TitleBandMovesThePlotTopByOneLinePlusFive) {
    Draw();
    const TRect without = m_chart.ChartRect();
    m_chart.Title().SetVisible(true);
    Draw();
    EXPECT_EQ(m_chart.ChartRect().top, without.top + 14 + 5);
    EXPECT_EQ(m_chart.LeftAxis().IStartPos(), without.top + 19);

    // The red band: one line high, the text plus one "W" wide, centred over the chart
    // rectangle as the margins left it; then the yellow bold text on a transparent background.
    const std::string text = "Aucune données reçue";
    const int textWidth = static_cast<int>(text.size()) * 7;
    const int mid = (5 + 504) / 2;
    const auto band = std::find_if(m_canvas.rects.begin(), m_canvas.rects.end(),
                                   [](const TDrawnRect& r) { return r.brush.color == kClRed; });
    ASSERT_NE(band, m_canvas.rects.end());
    EXPECT_EQ(band->rect, (TRect{mid - (textWidth + 7) / 2, 12, mid + (textWidth + 7) / 2, 26}));
    EXPECT_EQ(band->pen.style, TPenStyle::Clear);
    ASSERT_FALSE(m_canvas.texts.empty());
    const auto& title = m_canvas.texts.front();
    EXPECT_EQ(title.text, text);
    EXPECT_EQ(title.at, (TPoint{mid - textWidth / 2, 12}));
    EXPECT_EQ(title.font.color, kClYellow);
    EXPECT_TRUE(title.font.bold);
    EXPECT_EQ(title.font.height, 13);
    EXPECT_EQ(title.backMode, TBackMode::Transparent);

    m_chart.Title().SetVisible(false);
    Draw();
    EXPECT_EQ(m_chart.ChartRect(), without);
}

TEST_F(ChartLayoutTest, PanelBevelBackWallAxisThenSeriesInThatOrder) {
    Draw();
    // The panel colour everywhere the back wall does not cover: four bands around it.
    const TRect& plot = m_chart.ChartRect();
    const TRect wallRect{plot.left, plot.top, plot.right + 1, plot.bottom + 1};
    ASSERT_GE(m_canvas.rects.size(), 4u);
    long panelArea = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const TRect& r = m_canvas.rects[i].rect;
        EXPECT_EQ(m_canvas.rects[i].brush.color, kFace);
        panelArea += long(r.Width()) * r.Height();
        EXPECT_TRUE(r.right <= wallRect.left || r.left >= wallRect.right ||
                    r.bottom <= wallRect.top || r.top >= wallRect.bottom);
    }
    EXPECT_EQ(panelArea, 514L * 300 - long(wallRect.Width()) * wallRect.Height());

    // Lowered bevel: shadow on the top and left edges, highlight on the bottom and right.
    const auto& l = m_canvas.lines;
    ASSERT_GE(l.size(), 4u);
    EXPECT_EQ(l[0].pen.color, Rgb(128, 128, 128));
    EXPECT_EQ(l[0].from, (TPoint{0, 299}));
    EXPECT_EQ(l[0].to, (TPoint{0, 0}));
    EXPECT_EQ(l[1].to, (TPoint{513, 0}));
    EXPECT_EQ(l[2].pen.color, kClWhite);
    EXPECT_EQ(l[2].from, (TPoint{513, 0}));
    EXPECT_EQ(l[3].to, (TPoint{-1, 299}));

    // The back wall: green (not the brush's white) from the plot's corner to one past its
    // right and bottom edges, with no outline.
    const std::size_t wall = IndexOfFirstRect(kClGreen);
    ASSERT_LT(wall, m_canvas.rects.size());
    EXPECT_EQ(m_canvas.rects[wall].rect,
              (TRect{plot.left, plot.top, plot.right + 1, plot.bottom + 1}));
    EXPECT_EQ(m_canvas.rects[wall].pen.style, TPenStyle::Clear);

    // One axis line only: the top and right axes are never drawn; the series comes last.
    const auto axisLines =
        std::count_if(l.begin(), l.end(), [](const TDrawnLine& x) { return x.pen.width == 2; });
    EXPECT_EQ(axisLines, 1);
    const auto firstSeries =
        std::find_if(l.begin(), l.end(), [](const TDrawnLine& x) { return x.pen.color == kLine; });
    ASSERT_NE(firstSeries, l.end());
    EXPECT_TRUE(std::all_of(firstSeries, l.end(), [](const TDrawnLine& x) {
        return x.pen.color == kLine && x.clip.has_value();
    }));
    EXPECT_TRUE(std::none_of(l.begin(), firstSeries,
                             [](const TDrawnLine& x) { return x.clip.has_value(); }));
}

TEST_F(ChartLayoutTest, AWallThatLetsThePanelThroughGetsTheWholePanelFirst) {
    TChartBrush hatched = m_chart.BackWall().brush;
    hatched.SetStyle(TBrushStyle::Cross);
    m_chart.SetBackWallBrush(hatched);
    Draw();
    ASSERT_FALSE(m_canvas.rects.empty());
    EXPECT_EQ(m_canvas.rects.front().rect, (TRect{0, 0, 514, 300}));
    EXPECT_EQ(m_canvas.rects.front().brush.color, kFace);
    const auto wall = std::find_if(m_canvas.rects.begin(), m_canvas.rects.end(),
                                   [](const TDrawnRect& r) { return r.outlined; });
    ASSERT_NE(wall, m_canvas.rects.end());
    EXPECT_EQ(wall->brush, (TBrushSpec{kClGreen, TBrushStyle::Cross}));
}

TEST_F(ChartLayoutTest, PrintingDrawsNoPanelNorBevelButTheRest) {
    m_chart.SetPrinting(true);
    m_chart.SetMetafiling(true);
    Draw();
    EXPECT_EQ(IndexOfFirstRect(kFace), m_canvas.rects.size());
    EXPECT_EQ(IndexOfFirstRect(kClGreen), 0u);
    EXPECT_TRUE(std::none_of(m_canvas.lines.begin(), m_canvas.lines.end(),
                             [](const TDrawnLine& x) { return x.pen.color == kClWhite; }));
    // Dotted grid lines become the thinnest the device has.
    const auto grid =
        std::find_if(m_canvas.lines.begin(), m_canvas.lines.end(),
                     [](const TDrawnLine& x) { return x.pen.style == TPenStyle::Dot; });
    ASSERT_NE(grid, m_canvas.lines.end());
    EXPECT_EQ(grid->pen.width, 0);
    EXPECT_TRUE(std::any_of(m_canvas.lines.begin(), m_canvas.lines.end(),
                            [](const TDrawnLine& x) { return x.pen.color == kLine; }));
}

TEST_F(ChartLayoutTest, WhiteLabelsPrintBlack) {
    TFontSpec font = m_chart.LeftAxis().LabelsFont();
    font.color = kClWhite;
    m_chart.LeftAxis().SetLabelsFont(font);
    m_chart.SetPrinting(true);
    Draw();
    ASSERT_FALSE(m_canvas.texts.empty());
    for (const auto& t : m_canvas.texts)
        EXPECT_EQ(t.font.color, kClBlack);
    m_chart.SetPrinting(false);
    Draw();
    EXPECT_EQ(m_canvas.texts.front().font.color, kClWhite);
}

TEST_F(ChartLayoutTest, ATinyChartKeepsAPlotOfAtLeastOnePixel) {
    for (TRect bounds : {TRect{0, 0, 10, 10}, TRect{0, 0, 1, 1}, TRect{5, 5, 5, 5}}) {
        Draw(bounds);
        const TRect& plot = m_chart.ChartRect();
        EXPECT_GE(plot.left, bounds.left);
        EXPECT_GE(plot.top, bounds.top);
        EXPECT_GE(plot.Width(), 1);
        EXPECT_GE(plot.Height(), 1);
    }
}

// A recording may hold the 32-bit extremes. Drawn on the scale's usual ranges at every height
// around those where the plot is as many rows high as the range, they draw nothing the canvas
// could not take (and, in the sanitizer build, compute nothing out of range).
TEST_F(ChartLayoutTest, ExtremeSamplesDrawOnlyDrawableLines) {
    for (int i = 0; i < 256; ++i)
        m_series->YValues().SetValue(i,
                                     i % 3 == 0 ? -2147483648.0 : (i % 3 == 1 ? 2147483647.0 : 7));
    for (const auto& [min, max] : {std::pair{-5, 350}, std::pair{-1, 400}}) {
        m_chart.LeftAxis().SetMinimum(min);
        m_chart.LeftAxis().SetMaximum(max);
        for (int height = 330; height <= 480; ++height) {
            m_chart.SetClientSize(514, height);
            Draw({0, 0, 514, height});
            for (const TDrawnLine& line : m_canvas.lines)
                for (const TPoint p : {line.from, line.to})
                    ASSERT_TRUE(std::abs(p.x) <= 32766 && std::abs(p.y) <= 32766)
                        << min << ".." << max << " at " << height;
        }
    }
}

TEST_F(ChartLayoutTest, DrawingIntoAnOffsetRectangleMovesEverything) {
    Draw();
    const TRect at0 = m_chart.ChartRect();
    Draw({100, 50, 614, 350});
    EXPECT_EQ(m_chart.ChartRect(),
              (TRect{at0.left + 100, at0.top + 50, at0.right + 100, at0.bottom + 50}));
}

TEST_F(ChartLayoutTest, SettersRepaintOnlyOnAChange) {
    m_chart.repaints = 0;
    m_chart.SetMargins({1, 4, 2, 4});
    m_chart.Title().SetVisible(false);
    m_chart.LeftAxis().SetMaximum(400);
    EXPECT_EQ(m_chart.repaints, 0);
    m_chart.Title().SetVisible(true);
    EXPECT_EQ(m_chart.repaints, 1);
    EXPECT_THROW(m_chart.LeftAxis().SetMinimum(401), AxisException);
    EXPECT_EQ(m_chart.repaints, 1);
    m_chart.LeftAxis().SetMinimum(0);
    EXPECT_EQ(m_chart.repaints, 2);
    m_chart.Refresh();
    EXPECT_EQ(m_chart.refreshes, 1);
}

// The wall and its frame repaint on a change only; a back colour makes a hatched wall solid.
TEST_F(ChartLayoutTest, WallSettersRepaintOnlyOnAChange) {
    TChartBrush hatched = m_chart.BackWall().brush;
    hatched.SetStyle(TBrushStyle::Cross);
    TChartPen frame = m_chart.Frame();
    frame.visible = true;
    m_chart.repaints = 0;
    m_chart.SetBackWallBrush(m_chart.BackWall().brush);
    m_chart.SetFrame(m_chart.Frame());
    EXPECT_EQ(m_chart.repaints, 0);
    m_chart.SetBackWallBrush(hatched);
    EXPECT_EQ(m_chart.repaints, 1);
    m_chart.SetFrame(frame);
    EXPECT_EQ(m_chart.repaints, 2);
    m_chart.SetBackColor(m_chart.BackColor());
    EXPECT_EQ(m_chart.repaints, 3);
    EXPECT_EQ(m_chart.BackWall().brush.Style(), TBrushStyle::Solid);
}

// The unit stands right-aligned with the labels, clear of the top label's upper half; it takes
// rows from the plot only where the margin above is too narrow, and widens the labels' room.
TEST_F(ChartLayoutTest, TheUnitStandsOverTheLeftLabels) {
    const struct {
        const char* unit;
        int topMargin; // percent of 300
        int plotTop;
        int posLabels;
    } rows[] = {
        {"", 4, 12, 5 + 28},
        {"Hz", 4, 1 + 7 + 2 + 14, 5 + 28}, // under the bevel's row
        {"Hz", 10, 30, 5 + 28},            // room enough in the margin
        {"µS/cm", 4, 24, 5 + 6 * 7 + 7},   // wider than the labels
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.unit);
        m_chart.LeftAxis().SetUnit(row.unit);
        m_chart.SetMargins({1, row.topMargin, 2, 4});
        Draw();
        const TChartAxis& left = m_chart.LeftAxis();
        EXPECT_EQ(m_chart.ChartRect().top, row.plotTop);
        EXPECT_EQ(left.PosLabels(), row.posLabels);
        const auto unit = std::find_if(m_canvas.texts.begin(), m_canvas.texts.end(),
                                       [&](const auto& t) { return t.text == row.unit; });
        ASSERT_EQ(unit != m_canvas.texts.end(), *row.unit != '\0');
        if (unit != m_canvas.texts.end()) {
            EXPECT_EQ(unit->at, (TPoint{left.PosLabels() - 7 * int(std::string(row.unit).size()),
                                        left.IStartPos() - 7 - 2 - 14}));
        }
    }
}

// Markers in their pens with their labels above the plot: the rightmost of overlapping labels,
// nothing for a marker out of range, and a label at the left edge clear of the unit.
TEST_F(ChartLayoutTest, MarkersDrawTheirPensAndLabels) {
    const struct {
        const char* name;
        std::vector<TChartMarker> markers;
        const char* unit;
        std::vector<int> lines;  // the markers whose line is drawn
        std::vector<int> labels; // and whose label is, centred unless labelLeft says
        int labelLeft = -1;
    } rows[] = {
        {"one", {{128, "Q3"}}, "", {0}, {0}},
        {"overlapping", {{100, "Q1"}, {101, "R1"}}, "", {0, 1}, {1}},
        {"unlabelled", {{100, "Q1"}, {101, ""}}, "", {0, 1}, {0}},
        {"ownPen", {{60, "R", {kClBlue, 1, TPenStyle::Solid}}}, "", {0}, {0}},
        {"outOfRange", {{300, "Q9"}}, "", {}, {}},
        {"besideTheUnit", {{0, "Q10"}}, "Hz", {0}, {0}, 5 + 28 + 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_chart.SetMarkers(row.markers);
        m_chart.LeftAxis().SetUnit(row.unit);
        Draw();
        const TRect& c = m_chart.ChartRect();
        auto column = [&](int i) {
            return std::max(m_chart.BottomAxis().CalcPosValue(row.markers[i].x), c.left + 1);
        };
        std::vector<std::pair<int, TPenSpec>> expected, lines;
        for (int i : row.lines)
            expected.emplace_back(column(i), row.markers[i].pen.ToPen(false));
        for (const TDrawnLine& l : m_canvas.lines)
            if (l.from.y == c.top + 1 && l.to.y == c.bottom - 1 && l.from.x == l.to.x)
                lines.emplace_back(l.from.x, l.pen);
        EXPECT_EQ(lines, expected);

        std::vector<std::pair<std::string, int>> expectedLabels, labels;
        for (int i : row.labels) {
            const std::string& text = row.markers[i].label;
            expectedLabels.emplace_back(
                text, row.labelLeft >= 0 ? row.labelLeft : column(i) - 7 * int(text.size()) / 2);
        }
        for (const auto& t : m_canvas.texts)
            if (t.at.y == c.top - 2 - 14)
                labels.emplace_back(t.text, t.at.x);
        EXPECT_EQ(labels, expectedLabels);
    }
}

// A band covers its span of the bottom axis across the plot, outlined in its frame; at least
// three pixels wide, and cut at the axis' range.
TEST_F(ChartLayoutTest, BandsShadeTheirSpanOfTheBottomAxis) {
    const TChartPen frame{kClWhite, 1, TPenStyle::Solid};
    const struct {
        const char* name;
        TChartBand band;
        std::optional<std::pair<double, double>> columns; // the values of its edges
        int widened = 0;                                  // pixels on each side
    } rows[] = {
        {"span", {50, 100, kClGray, frame}, {{50, 100}}},
        {"narrow", {60, 60, kClGray, frame}, {{60, 60}}, 1},
        {"cut at the range", {200, 400, kClBlue, frame}, {{200, 255}}},
        {"outside", {300, 400, kClGray, frame}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_chart.SetBands({row.band});
        Draw();
        const TRect& c = m_chart.ChartRect();
        const TChartAxis& bottom = m_chart.BottomAxis();
        const auto found =
            std::find_if(m_canvas.rects.begin(), m_canvas.rects.end(),
                         [&](const TDrawnRect& r) { return r.brush.color == row.band.color; });
        ASSERT_EQ(found != m_canvas.rects.end(), row.columns.has_value());
        if (!row.columns)
            continue;
        const auto [from, to] = *row.columns;
        EXPECT_EQ(found->rect, (TRect{bottom.CalcPosValue(from) - row.widened, c.top + 1,
                                      bottom.CalcPosValue(to) + 1 + row.widened, c.bottom - 1}));
        EXPECT_TRUE(found->outlined);
        EXPECT_EQ(found->pen, frame.ToPen(false));
    }
}

// △ and ▽ centred on their point, labelled above and below, inside the series' clip; nothing of a
// mark whose point is outside the plot.
TEST_F(ChartLayoutTest, PointMarksStandOnTheirPointInsideThePlot) {
    const struct {
        TChartPointMark mark;
        bool drawn;
    } rows[] = {
        {{128, 200, TPointMarkShape::TriangleUp, "P"}, true},
        {{128, 100, TPointMarkShape::TriangleDown, "T", kClRed}, true},
        {{128, 450, TPointMarkShape::TriangleDown, "T"}, false}, // above the axis' 400
        {{300, 200, TPointMarkShape::TriangleUp, "P"}, false},   // right of the last sample
    };
    for (const auto& [m, drawn] : rows) {
        SCOPED_TRACE(m.x * 1000 + m.y);
        m_chart.SetPointMarks({m});
        Draw();
        const TRect& c = m_chart.ChartRect();
        const int x = m_chart.BottomAxis().CalcPosValue(m.x);
        const int y = m_chart.LeftAxis().CalcPosValue(m.y);
        const bool up = m.shape == TPointMarkShape::TriangleUp;
        const int tip = up ? y - 4 : y + 4;
        const int base = up ? y + 4 : y - 4;
        std::vector<std::pair<TPoint, TPoint>> expected, lines;
        if (drawn)
            expected = {{{x, tip}, {x + 4, base}},
                        {{x + 4, base}, {x - 4, base}},
                        {{x - 4, base}, {x, tip}}};
        for (const TDrawnLine& l : m_canvas.lines)
            if (l.pen.color == m.color && l.pen.width == 1 &&
                l.clip == TRect{c.left + 1, c.top + 1, c.right, c.bottom - 1})
                lines.emplace_back(l.from, l.to);
        EXPECT_EQ(lines, expected);
        std::vector<TPoint> expectedLabels, labels;
        if (drawn)
            expectedLabels.push_back({x - 3, up ? tip - 1 - 14 : tip + 2});
        for (const auto& t : m_canvas.texts)
            if (t.text == m.label && t.font.color == m.color)
                labels.push_back(t.at);
        EXPECT_EQ(labels, expectedLabels);
    }
}

TEST_F(ChartLayoutTest, MainWindowSettings) {
    EXPECT_EQ(m_chart.Margins(), (TMargins{1, 4, 2, 4}));
    EXPECT_EQ(m_chart.BevelOuter(), TBevel::Lowered);
    EXPECT_EQ(m_chart.BackColor(), kClGreen);
    EXPECT_EQ(m_chart.BackWall().brush.Color(), kClWhite);
    EXPECT_EQ(m_chart.BackWall().brush.Style(), TBrushStyle::Solid);
    EXPECT_FALSE(m_chart.Frame().visible);
    EXPECT_FALSE(m_chart.Title().Visible());
    EXPECT_EQ(m_chart.Title().Color(), kClRed);
    EXPECT_FALSE(m_chart.Foot().Visible());
    EXPECT_FALSE(m_chart.LegendVisible());
    EXPECT_FALSE(m_chart.LeftAxis().Automatic());
    EXPECT_EQ(m_chart.LeftAxis().Minimum(), -1);
    EXPECT_EQ(m_chart.LeftAxis().Maximum(), 400);
    EXPECT_FALSE(m_chart.BottomAxis().Visible());
    EXPECT_TRUE(m_chart.BottomAxis().Automatic());
    EXPECT_TRUE(m_chart.IsAxisShown(m_chart.LeftAxis()));
    EXPECT_FALSE(m_chart.IsAxisShown(m_chart.TopAxis()));
    EXPECT_FALSE(m_chart.IsAxisShown(m_chart.RightAxis()));
    EXPECT_EQ(m_series->SeriesColor(), Rgb(128, 255, 0));
    EXPECT_EQ(m_series->SeriesColor(), 65408u);
    EXPECT_FALSE(m_chart.IsLoading());
}

} // namespace
} // namespace sornafex::chart
