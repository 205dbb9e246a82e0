#include "chart/qpainter_canvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace sornafex::chart {
namespace {

// The application lives from before the first test to after the last one, and is gone before
// the program's static objects are destroyed.
class TAppEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "qpainter_canvas_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QGuiApplication> m_app;
};

[[maybe_unused]] const auto* const kAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new TAppEnvironment);

class QPainterCanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_image.fill(Qt::white);
        m_painter.begin(&m_image);
    }

    // Columns of row y (or rows of column x) that are not white, after the painter finished.
    std::vector<int> InkInRow(int y) {
        End();
        std::vector<int> out;
        for (int x = 0; x < m_image.width(); ++x)
            if (m_image.pixel(x, y) != qRgb(255, 255, 255))
                out.push_back(x);
        return out;
    }
    std::vector<int> InkInColumn(int x) {
        End();
        std::vector<int> out;
        for (int y = 0; y < m_image.height(); ++y)
            if (m_image.pixel(x, y) != qRgb(255, 255, 255))
                out.push_back(y);
        return out;
    }
    void End() {
        m_canvas.reset();
        if (m_painter.isActive())
            m_painter.end();
    }
    TQPainterCanvas& Canvas() {
        if (!m_canvas)
            m_canvas.emplace(m_painter);
        return *m_canvas;
    }

    QImage m_image{40, 30, QImage::Format_RGB32};
    QPainter m_painter;
    std::optional<TQPainterCanvas> m_canvas;
};

std::vector<int> Range(int from, int to) { // from .. to - 1
    std::vector<int> out;
    for (int i = from; i < to; ++i)
        out.push_back(i);
    return out;
}

TEST_F(QPainterCanvasTest, StraightLinesLeaveOutTheirEndPoint) {
    Canvas().SetPen({kClBlack, 1, TPenStyle::Solid, false});
    Canvas().Line(10, 5, 20, 5);
    Canvas().Line(20, 7, 10, 7);
    Canvas().Line(3, 10, 3, 20);
    Canvas().Line(5, 20, 5, 10);
    EXPECT_EQ(InkInRow(5), Range(10, 20));
    EXPECT_EQ(InkInRow(7), Range(11, 21));
    EXPECT_EQ(InkInColumn(3), Range(10, 20));
    EXPECT_EQ(InkInColumn(5), Range(11, 21));
}

TEST_F(QPainterCanvasTest, TwoPixelPenCoversTheColumnLeftOfTheLineToo) {
    Canvas().SetPen({kClBlack, 2, TPenStyle::Solid, false});
    Canvas().Line(10, 2, 10, 12);
    EXPECT_EQ(InkInRow(5), (std::vector<int>{9, 10}));
}

TEST_F(QPainterCanvasTest, DiagonalLinesStartOnTheirFirstPointAndLeaveOutTheirEndPoint) {
    Canvas().SetPen({kClBlack, 1, TPenStyle::Solid, false});
    Canvas().Line(0, 0, 10, 10);
    Canvas().Line(30, 2, 20, 6);   // shallow, drawn leftwards
    Canvas().Line(35, 25, 33, 15); // steep, drawn upwards
    End();
    auto ink = [&](int x, int y) {
        return m_image.pixel(x, y) == qRgb(0, 0, 0);
    };
    EXPECT_TRUE(ink(0, 0));
    EXPECT_TRUE(ink(9, 9));
    EXPECT_FALSE(ink(10, 10));
    EXPECT_TRUE(ink(30, 2));
    EXPECT_FALSE(ink(20, 6));
    EXPECT_TRUE(ink(21, 6));
    EXPECT_TRUE(ink(35, 25));
    EXPECT_FALSE(ink(33, 15));
    // One pixel per column of a shallow line, one per row of a steep one.
    int shallow = 0;
    int steep = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            shallow += x >= 20 && x <= 30 && y < 10 && ink(x, y);
            steep += x >= 32 && y >= 12 && ink(x, y);
        }
    EXPECT_EQ(shallow, 10);
    EXPECT_EQ(steep, 10);
}

TEST_F(QPainterCanvasTest, ClearPenDrawsNothingAndFillsStopBeforeRightAndBottom) {
    Canvas().SetPen({kClBlack, 1, TPenStyle::Clear, false});
    Canvas().Line(0, 5, 30, 5);
    Canvas().SetBrush({kClGreen, TBrushStyle::Solid});
    Canvas().FillRect({2, 10, 6, 14});
    EXPECT_EQ(InkInRow(5), std::vector<int>{});
    EXPECT_EQ(InkInRow(10), Range(2, 6));
    EXPECT_EQ(InkInColumn(3), Range(10, 14));
    EXPECT_EQ(m_image.pixel(2, 10), qRgb(0, 128, 0));
}

TEST_F(QPainterCanvasTest, RectangleOutlinesInsideItsBounds) {
    Canvas().SetPen({kClRed, 1, TPenStyle::Solid, false});
    Canvas().SetBrush({kClWhite, TBrushStyle::Clear});
    Canvas().Rectangle({5, 5, 15, 10});
    EXPECT_EQ(InkInColumn(5), Range(5, 10));
    EXPECT_EQ(InkInRow(9), Range(5, 15));
    EXPECT_EQ(InkInRow(7), (std::vector<int>{5, 14}));
}

TEST_F(QPainterCanvasTest, ClipKeepsACallersClipAndResetGoesBackToIt) {
    m_painter.setClipRect(QRect(0, 0, 20, 30));
    Canvas().SetBrush({kClBlack, TBrushStyle::Solid});
    Canvas().SetClipRect({10, 0, 30, 30});
    Canvas().FillRect({0, 0, 40, 10});
    Canvas().ResetClip();
    Canvas().FillRect({0, 20, 40, 30});
    EXPECT_EQ(InkInRow(5), Range(10, 20));
    EXPECT_EQ(InkInRow(25), Range(0, 20));
}

TEST_F(QPainterCanvasTest, FontsAreSizedByCharacterHeight) {
    TFontSpec font;
    font.height = 13;
    Canvas().SetFont(font);
    const int h13 = Canvas().TextHeight("W");
    font.height = 26;
    Canvas().SetFont(font);
    const int h26 = Canvas().TextHeight("W");
    // Arial's cell is about 1.15 em: the character height plus its internal leading.
    EXPECT_GE(h13, 14);
    EXPECT_LE(h13, 16);
    EXPECT_NEAR(h26, 2 * h13, 2);
    EXPECT_GT(Canvas().TextWidth("WW"), Canvas().TextWidth("W"));
    const int w26 = Canvas().TextWidth("W");
    font.height = 13;
    Canvas().SetFont(font);
    EXPECT_NEAR(2 * Canvas().TextWidth("W"), w26, 2) << "measured in the font before";
    EXPECT_EQ(TQPainterCanvas::ToQFont(font).families().front(), "Liberation Sans");
}

// Patterned lines start on their first point's "on" pixel in the direction of drawing, down a
// column as along a row, also beyond the 2048 rows a column of the pattern holds.
TEST(QPainterCanvasPatterns, StartOnTheFirstPointAndRepeat) {
    const struct {
        TPenStyle style;
        bool smallDots;
        int from;
        int to;
        const char* start; // the first 12 pixels from `from` in the direction of drawing
    } rows[] = {
        {TPenStyle::Dot, false, 0, 2200, "***...***..."},
        {TPenStyle::Dot, false, 2199, 0, "***...***..."},
        {TPenStyle::Dash, false, 5, 2200, "******...***"},
        {TPenStyle::Dot, true, 3, 2200, "*.*.*.*.*.*."},
    };
    for (const auto& row : rows)
        for (const bool down : {true, false}) {
            SCOPED_TRACE(std::to_string(row.from) + (down ? " down" : " along"));
            QImage image(down ? 2 : 2201, down ? 2201 : 2, QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                TQPainterCanvas canvas(painter);
                canvas.SetPen({kClBlack, 1, row.style, row.smallDots});
                if (down)
                    canvas.Line(0, row.from, 0, row.to);
                else
                    canvas.Line(row.from, 0, row.to, 0);
            }
            const int step = row.to > row.from ? 1 : -1;
            std::string line;
            for (int p = row.from; p != row.to; p += step)
                line += image.pixel(down ? 0 : p, down ? p : 0) == qRgb(0, 0, 0) ? '*' : '.';
            EXPECT_EQ(line.substr(0, 12), row.start);
            const std::string period = line.substr(0, row.smallDots                  ? 2
                                                      : row.style == TPenStyle::Dash ? 9
                                                                                     : 6);
            for (std::size_t at = 0; at + period.size() <= line.size(); at += period.size())
                ASSERT_EQ(line.substr(at, period.size()), period) << "at " << at;
            EXPECT_EQ(image.pixel(down ? 0 : row.to, down ? row.to : 0), qRgb(255, 255, 255))
                << "end point";
        }
}

TEST_F(QPainterCanvasTest, TextTopLeftAndTransparentBackground) {
    TFontSpec font;
    font.height = 20;
    font.color = kClBlack;
    Canvas().SetFont(font);
    Canvas().SetBackMode(TBackMode::Transparent);
    Canvas().TextOut(5, 4, "I");
    const int h = Canvas().TextHeight("W");
    End();
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < m_image.height(); ++y)
        for (int x = 0; x < m_image.width(); ++x)
            if (qGray(m_image.pixel(x, y)) < 128) {
                top = top < 0 ? y : top;
                bottom = y;
            }
    ASSERT_GE(top, 0);
    EXPECT_GE(top, 4);
    EXPECT_LT(bottom, 4 + h);
    EXPECT_EQ(m_image.pixel(0, 0), qRgb(255, 255, 255));
}

} // namespace
} // namespace sornafex::chart
