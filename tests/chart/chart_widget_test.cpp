#include "chart/chart_widget.h"
#include "chart/qpainter_canvas.h"
#include "chart/uGraph.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <climits>
#include <gtest/gtest.h>
#include <memory>

namespace sornafex::chart {
namespace {

// The application lives from before the first test to after the last one, and is gone before
// the program's static objects are destroyed.
class TAppEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        // A system convention unlike the interface's French one: the labels must follow it.
        qputenv("LC_ALL", "de_DE.UTF-8");
        static int argc = 1;
        static char name[] = "chart_widget_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new TAppEnvironment);

constexpr QRgb kGreen = qRgb(0, 128, 0);
constexpr QRgb kLine = qRgb(128, 255, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);

class TNullHost final : public TGraphHost {
public:
    void SetFrequencyText(const std::string& text) override { frequency = text; }
    void SetDataModified() override {}
    std::string frequency;
};

// The main window's chart holding a history that wanders between 40 and 160 Hz.
class ChartRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_graph.InitGraph();
        for (int i = 0; i < 256; ++i)
            m_graph.AddSample(100 + (i % 60) * 2 - 60);
    }

    QImage Render(int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPainter painter(&image);
        TQPainterCanvas canvas(painter);
        m_chart.SetClientSize(width, height);
        m_chart.Draw(canvas, {0, 0, width, height});
        return image;
    }

    // The clip of the series: the plot area less its first row and column and its last row.
    TRect SeriesClip() const {
        const TRect& r = m_chart.ChartRect();
        return {r.left + 1, r.top + 1, r.right, r.bottom - 1};
    }

    static bool Inside(const TRect& r, int x, int y) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    }

    TCustomChart m_chart;
    TLineSeries& m_series = SetupMainChart(m_chart);
    TNullHost m_host;
    TGraph m_graph{m_chart, m_series, m_host};
};

TEST_F(ChartRenderTest, GreenPlotWithTheLineWhereTheValuesMap) {
    const QImage image = Render(514, 335);
    const TRect& plot = m_chart.ChartRect();
    ASSERT_GT(plot.Width(), 400);

    int green = 0;
    int total = 0;
    for (int y = plot.top + 1; y < plot.bottom - 1; ++y)
        for (int x = plot.left + 1; x < plot.right; ++x, ++total)
            green += image.pixel(x, y) == kGreen;
    EXPECT_GT(green, total * 8 / 10);
    // The back wall reaches one pixel past the plot's right and bottom edges.
    EXPECT_EQ(image.pixel(plot.right, plot.top + 3), kGreen);

    const TChartAxis& bottom = m_chart.BottomAxis();
    const TChartAxis& left = m_chart.LeftAxis();
    for (int i = 1; i < 255; i += 7) {
        const int x = bottom.CalcPosValue(m_series.XValues().Value(i));
        const int y = left.CalcPosValue(m_series.YValues().Value(i));
        EXPECT_EQ(image.pixel(x, y), kLine) << "point " << i << " at " << x << ", " << y;
    }
}

TEST_F(ChartRenderTest, NothingOfTheLineOutsideThePlot) {
    // Values far above and below the axis run off the plot's edges.
    for (int i = 0; i < 256; ++i)
        m_graph.AddSample(i % 2 ? 5000 : -5000);
    for (auto [w, h] : {std::pair{514, 335}, std::pair{300, 200}}) {
        const QImage image = Render(w, h);
        const TRect clip = SeriesClip();
        int inside = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (image.pixel(x, y) != kLine)
                    continue;
                EXPECT_TRUE(Inside(clip, x, y)) << x << ", " << y;
                ++inside;
            }
        EXPECT_GT(inside, 100);
        // Cut on the first row inside the top and the last row inside the bottom.
        int top = 0;
        int bottom = 0;
        for (int x = clip.left; x < clip.right; ++x) {
            top += image.pixel(x, clip.top) == kLine;
            bottom += image.pixel(x, clip.bottom - 1) == kLine;
        }
        EXPECT_GT(top, 100);
        EXPECT_GT(bottom, 100);
    }
}

TEST_F(ChartRenderTest, TitleShowsAsARedBandWithYellowText) {
    m_graph.AddSample(0);
    ASSERT_TRUE(m_chart.Title().Visible());
    const QImage image = Render(514, 335);
    const TRect& plot = m_chart.ChartRect();
    // The band sits above the plot area, centred: its middle column at the top margin.
    const int mid = (5 + 504) / 2;
    const int bandTop = 13; // 4 % of 335
    EXPECT_EQ(image.pixel(mid, bandTop), kRed);
    EXPECT_NE(image.pixel(mid, bandTop - 1), kRed);
    int bandLeft = mid;
    while (image.pixel(bandLeft - 1, bandTop) == kRed)
        --bandLeft;
    int bandRight = mid;
    while (image.pixel(bandRight, bandTop) == kRed)
        ++bandRight;
    EXPECT_NEAR(bandLeft + bandRight, 2 * mid, 1); // centred over the plot area
    int yellow = 0;
    for (int y = bandTop; y < plot.top; ++y)
        for (int x = mid - 100; x < mid + 100; ++x) {
            const QColor c = image.pixelColor(x, y);
            yellow += c.red() > 230 && c.green() > 230 && c.blue() < 40;
        }
    EXPECT_GT(yellow, 50);
    // The plot starts one line (the band's height) plus 5 pixels below the margin.
    int bandBottom = bandTop;
    while (image.pixel(bandLeft + 1, bandBottom) == kRed)
        ++bandBottom;
    EXPECT_EQ(plot.top, bandBottom + 5);
}

// Marks crowded into columns (a whole session's questions, answers and markers): the lines left
// out leave every pixel as drawing each of them, in order, over the picture leaves it.
TEST_F(ChartRenderTest, CrowdedMarkersDrawTheSamePixelsAsEachLineDrawn) {
    const TChartPen question = TChartPen::QuestionLine();
    TChartPen answer = question;
    answer.style = TPenStyle::Dot;
    TChartPen wide{kClRed, 2, TPenStyle::Solid};
    const TChartPen pens[] = {question, answer,  TChartPen::MarkerLine(), question, answer, wide,
                              answer,   question};
    std::vector<TChartMarker> markers;
    for (unsigned i = 0; i < 400; ++i)
        markers.push_back({i * 0.2, "", pens[(i * i + 3 * i / 4) % std::size(pens)]});
    m_chart.SetMarkers(markers);
    const QImage drawn = Render(514, 335);

    QImage redrawn = drawn;
    {
        QPainter painter(&redrawn);
        TQPainterCanvas canvas(painter);
        const TRect& c = m_chart.ChartRect();
        canvas.SetBackMode(TBackMode::Transparent);
        canvas.SetClipRect({c.left + 1, c.top + 1, c.right, c.bottom - 1});
        for (const TChartMarker& m : markers) {
            const int x =
                std::clamp(m_chart.BottomAxis().CalcPosValue(m.x), c.left + 1, c.right - 1);
            canvas.SetPen(m.pen.ToPen(false));
            canvas.Line(x, c.top + 1, x, c.bottom - 1);
        }
        canvas.ResetClip();
    }
    EXPECT_TRUE(drawn == redrawn);
}

TEST_F(ChartRenderTest, MarkersAreWhiteDashedLinesNumberedAboveThePlot) {
    constexpr QRgb kWhite = qRgb(255, 255, 255);
    const auto whiteColumns = [&](const QImage& image) {
        const TRect clip = SeriesClip();
        std::vector<int> columns;
        for (int x = clip.left; x < clip.right; ++x)
            for (int y = clip.top; y < clip.bottom; ++y)
                if (image.pixel(x, y) == kWhite) {
                    columns.push_back(x);
                    break;
                }
        return columns;
    };
    Render(514, 335);
    const int topWithout = m_chart.ChartRect().top;
    m_graph.AddMarker("7");
    for (int i = 0; i < 30; ++i)
        m_graph.AddSample(100);

    const QImage image = Render(514, 335);
    const TRect plot = SeriesClip();
    const int x = m_chart.BottomAxis().CalcPosValue(226); // 29 samples after its own
    EXPECT_EQ(whiteColumns(image), std::vector<int>{x});
    // Dashed: six white pixels, three not, from the plot's first row down.
    std::string column;
    for (int y = plot.top; y < plot.top + 18; ++y)
        column += image.pixel(x, y) == kWhite ? 'w' : '.';
    EXPECT_EQ(column, "wwwwww...wwwwww...");
    // Its number, dark on the panel, just above the plot, centred on the line.
    int dark = 0;
    int darkLeft = INT_MAX;
    int darkRight = 0;
    for (int y = 0; y < m_chart.ChartRect().top; ++y)
        for (int dx = -10; dx <= 10; ++dx)
            if (qGray(image.pixel(x + dx, y)) < 160) {
                ++dark;
                darkLeft = std::min(darkLeft, x + dx);
                darkRight = std::max(darkRight, x + dx);
            }
    EXPECT_GT(dark, 8);
    EXPECT_NEAR(darkLeft + darkRight, 2 * x, 3);
    EXPECT_GE(m_chart.ChartRect().top, topWithout);
}

TEST_F(ChartRenderTest, LabelsAreDarkLeftOfTheAxis) {
    const QImage image = Render(514, 335);
    const TChartAxis& axis = m_chart.LeftAxis();
    int dark = 0;
    for (int y = axis.IStartPos(); y < axis.IEndPos(); ++y)
        for (int x = 0; x < axis.PosLabels(); ++x)
            dark += qGray(image.pixel(x, y)) < 80;
    EXPECT_GT(dark, 100);
    // The axis line is black, two pixels wide, ending at the axis position.
    const int y = (axis.IStartPos() + axis.IEndPos()) / 2 + 3;
    EXPECT_EQ(image.pixel(axis.PosAxis(), y), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(axis.PosAxis() - 1, y), qRgb(0, 0, 0));
}

TEST_F(ChartRenderTest, PrintingLeavesTheBackgroundUntouched) {
    m_chart.SetPrinting(true);
    m_chart.SetMetafiling(true);
    const QImage image = Render(514, 335);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 255));
    EXPECT_EQ(image.pixel(2, 100), qRgb(255, 0, 255));
    const TRect& plot = m_chart.ChartRect();
    EXPECT_EQ(image.pixel(plot.left + 3, plot.top + 3), kGreen);
}

// The control on the screen.
class ChartWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_chart.resize(514, 300);
        m_graph.InitGraph();
        m_chart.show();
        Pump();
    }

    static void Pump() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    TChart m_chart;
    TLineSeries& m_series = SetupMainChart(m_chart);
    TNullHost m_host;
    TGraph m_graph{m_chart, m_series, m_host};
};

TEST_F(ChartWidgetTest, OneSampleGivesExactlyOneRepaint) {
    ASSERT_GT(m_chart.PaintCount(), 0u);
    for (int n : {5, 0, 7}) { // 0 also shows the title: still one repaint
        const auto paints = m_chart.PaintCount();
        const auto draws = m_chart.DrawCount();
        m_graph.AddSample(n);
        Pump();
        EXPECT_EQ(m_chart.PaintCount(), paints + 1) << n;
        EXPECT_EQ(m_chart.DrawCount(), draws + 1) << n;
    }
}

TEST_F(ChartWidgetTest, AnUnchangedChartIsRepaintedFromTheBuffer) {
    const auto draws = m_chart.DrawCount();
    const auto paints = m_chart.PaintCount();
    m_chart.update();
    Pump();
    EXPECT_EQ(m_chart.PaintCount(), paints + 1);
    EXPECT_EQ(m_chart.DrawCount(), draws);

    m_chart.resize(600, 320);
    Pump();
    EXPECT_EQ(m_chart.DrawCount(), draws + 1);
    EXPECT_EQ(m_chart.ClientWidth(), 600);
    EXPECT_EQ(m_chart.ClientHeight(), 320);
}

TEST_F(ChartWidgetTest, RefreshPaintsBeforeReturning) {
    const auto paints = m_chart.PaintCount();
    const auto draws = m_chart.DrawCount();
    m_chart.Title().SetVisible(true);
    m_chart.Refresh();
    EXPECT_EQ(m_chart.PaintCount(), paints + 1);
    EXPECT_EQ(m_chart.DrawCount(), draws + 1);
    Pump(); // the deferred request of the title is satisfied already
    EXPECT_EQ(m_chart.DrawCount(), draws + 1);
}

TEST_F(ChartWidgetTest, TheScreenShowsWhatDrawMakes) {
    for (int n = 0; n < 256; ++n)
        m_graph.AddSample(50 + n % 100);
    Pump();
    const QImage screen = m_chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage direct(m_chart.size(), QImage::Format_RGB32);
    {
        QPainter painter(&direct);
        TQPainterCanvas canvas(painter, m_chart.palette());
        m_chart.Draw(canvas, m_chart.ClientRect());
    }
    ASSERT_EQ(screen.size(), direct.size());
    EXPECT_EQ(screen, direct);
}

TEST_F(ChartWidgetTest, NothingIsDrawnWhileAPageIsPrinted) {
    const auto draws = m_chart.DrawCount();
    m_chart.SetPrinting(true);
    m_graph.AddSample(3);
    Pump();
    EXPECT_EQ(m_chart.DrawCount(), draws);
    m_chart.SetPrinting(false);
    m_chart.update();
    Pump();
    EXPECT_EQ(m_chart.DrawCount(), draws + 1);
}

TEST_F(ChartWidgetTest, WithoutTheBufferEveryPaintDraws) {
    m_chart.SetBufferedDisplay(false);
    const auto draws = m_chart.DrawCount();
    m_chart.update();
    Pump();
    m_chart.update();
    Pump();
    EXPECT_EQ(m_chart.DrawCount(), draws + 2);
}

TEST_F(ChartWidgetTest, LabelsUseTheSystemSeparators) {
    EXPECT_EQ(m_chart.NumberSeparators().decimal, ",");
    EXPECT_EQ(m_chart.NumberSeparators().thousands, ".");
    EXPECT_EQ(m_chart.LeftAxis().LabelText(20000), "20.000");
}

} // namespace
} // namespace sornafex::chart
