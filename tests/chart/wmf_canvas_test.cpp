#include "chart/uGraph.h"
#include "chart/wmf_canvas.h"
#include "tests/support/wmf_records.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <string>
#include <unistd.h>

namespace sornafex::chart {
namespace {

using test::ReadWmf;
using test::TWmfFileView;
using wmf::TFunc;

std::uint16_t F(TFunc func) {
    return static_cast<std::uint16_t>(func);
}

// Fixed metrics: 6 pixels a character, the font's height plus 3 a line. It remembers the fonts it
// was given, so a test can see that measurement follows the metafile's font.
class TFixedMetricsCanvas final : public TCanvas {
public:
    TFontSpec font;
    int fontChanges = 0;

    void SetPen(const TPenSpec&) override {}
    void SetBrush(const TBrushSpec&) override {}
    void SetFont(const TFontSpec& f) override {
        font = f;
        ++fontChanges;
    }
    void SetBackMode(TBackMode) override {}
    void SetBackColor(TColor) override {}
    void Line(int, int, int, int) override {}
    void Polyline(std::span<const TPoint>) override {}
    void Rectangle(const TRect&) override {}
    void FillRect(const TRect&) override {}
    void TextOut(int, int, std::string_view) override {}
    int TextWidth(std::string_view text) override { return 6 * static_cast<int>(text.size()); }
    int TextHeight(std::string_view) override { return font.height + 3; }
    void SetClipRect(const TRect&) override {}
    void ResetClip() override {}
    TColor SysColor(TSysColor which) const override {
        switch (which) {
        case TSysColor::ButtonFace:
            return Rgb(240, 240, 240);
        case TSysColor::ButtonShadow:
            return Rgb(160, 160, 160);
        case TSysColor::ButtonHighlight:
            return Rgb(255, 255, 255);
        }
        return kClBlack;
    }
};

constexpr TPenSpec kClearPen{.color = kClBlack, .width = 1, .style = TPenStyle::Clear};

struct CanvasFixture : testing::Test {
    TFixedMetricsCanvas measure;
    TWmfCanvas canvas{99, 49, measure};
    TWmfFileView Finish() { return ReadWmf(canvas.Finish()); }
};

TEST_F(CanvasFixture, FrameIsOneUnitAPixelOfTheScreen) {
    const auto f = Finish();
    EXPECT_EQ(f.boundsRight, 99);
    EXPECT_EQ(f.boundsBottom, 49);
    EXPECT_EQ(f.inch, 96);
    EXPECT_EQ(f.Records(F(TFunc::SetMapMode)).at(0).Word(0), 8);
    const auto ext = f.Records(F(TFunc::SetWindowExt)).at(0);
    EXPECT_EQ(ext.Short(1), 99);
    EXPECT_EQ(ext.Short(0), 49);
    const auto org = f.Records(F(TFunc::SetWindowOrg)).at(0);
    EXPECT_EQ(org.Short(0), 0);
    EXPECT_EQ(org.Short(1), 0);
    EXPECT_EQ(f.Records(F(TFunc::SetTextAlign)).at(0).Word(0), 0);
}

TEST_F(CanvasFixture, FillRectCoversExactlyItsRectangleWithoutAnOutline) {
    canvas.SetPen(TPenSpec{.color = kClRed, .width = 3});
    canvas.SetBrush({kClGreen, TBrushStyle::Solid});
    canvas.FillRect({10, 20, 30, 40});
    const auto f = Finish();
    const auto pens = f.Records(F(TFunc::CreatePenIndirect));
    ASSERT_EQ(pens.size(), 1u);
    EXPECT_EQ(pens[0].Word(0), 5); // the null pen: the red one is never used
    const auto brush = f.Records(F(TFunc::CreateBrushIndirect)).at(0);
    EXPECT_EQ(brush.Word(0), 0);
    EXPECT_EQ(brush.DWord(1), 0x008000u);
    // A pen-less rectangle is filled one unit short on the right and at the bottom.
    const auto rect = f.Records(F(TFunc::Rectangle)).at(0);
    EXPECT_EQ((std::vector{rect.Short(3), rect.Short(2), rect.Short(1), rect.Short(0)}),
              (std::vector{10, 20, 31, 41}));
}

TEST_F(CanvasFixture, RectangleKeepsThePenAndTheGivenCorners) {
    canvas.SetPen(TPenSpec{.color = kClBlue, .width = 2});
    canvas.SetBrush({kClWhite, TBrushStyle::Clear});
    canvas.Rectangle({1, 2, 3, 4});
    const auto f = Finish();
    const auto pen = f.Records(F(TFunc::CreatePenIndirect)).at(0);
    EXPECT_EQ(pen.Word(0), 0);
    EXPECT_EQ(pen.Short(1), 2);
    EXPECT_EQ(pen.DWord(3), 0xFF0000u);
    EXPECT_EQ(f.Records(F(TFunc::CreateBrushIndirect)).at(0).Word(0), 1); // BS_NULL
    const auto rect = f.Records(F(TFunc::Rectangle)).at(0);
    EXPECT_EQ((std::vector{rect.Short(3), rect.Short(2), rect.Short(1), rect.Short(0)}),
              (std::vector{1, 2, 3, 4}));
}

TEST_F(CanvasFixture, ARectangleWithoutOutlineIsFilledLikeFillRect) {
    canvas.SetPen(kClearPen);
    canvas.SetBrush({kClRed, TBrushStyle::Solid});
    canvas.Rectangle({10, 20, 30, 40});
    const auto rect = Finish().Records(F(TFunc::Rectangle)).at(0);
    EXPECT_EQ((std::vector{rect.Short(3), rect.Short(2), rect.Short(1), rect.Short(0)}),
              (std::vector{10, 20, 31, 41}));
}

TEST_F(CanvasFixture, AnUnchangedPenIsNotRecordedAgainAndAReplacedOneIsFreed) {
    const TPenSpec gray{.color = kClGray, .width = 1, .style = TPenStyle::Dot};
    for (int i = 0; i < 50; ++i) {
        canvas.SetPen(gray);
        canvas.Line(0, i, 10, i);
        canvas.SetPen(TPenSpec{.color = Rgb(128, 255, 0)});
        canvas.Line(0, i, 10, i);
    }
    const auto f = Finish();
    EXPECT_EQ(f.Records(F(TFunc::CreatePenIndirect)).size(), 100u);
    EXPECT_EQ(f.Records(F(TFunc::DeleteObject)).size(), 99u);
    // Selecting the new pen before freeing the old keeps at most two in the table.
    EXPECT_EQ(f.objects, 2);
    const auto lines = f.Records(F(TFunc::LineTo));
    EXPECT_EQ(lines.size(), 50u * 2u);
}

TEST_F(CanvasFixture, DottedPensShowTheBackgroundModeSolidShapesAreOpaque) {
    canvas.SetBackMode(TBackMode::Transparent);
    canvas.SetPen(TPenSpec{.color = kClGray, .style = TPenStyle::Dot});
    canvas.Line(0, 0, 5, 0);
    canvas.SetPen(kClearPen);
    canvas.SetBrush({kClGreen, TBrushStyle::Solid});
    canvas.FillRect({0, 0, 5, 5});
    canvas.SetBrush({kClGreen, TBrushStyle::Cross});
    canvas.SetBackColor(kClWhite);
    canvas.FillRect({0, 0, 5, 5});
    const auto modes = Finish().Records(F(TFunc::SetBkMode));
    ASSERT_EQ(modes.size(), 3u);
    EXPECT_EQ(modes[0].Word(0), 1); // transparent, under the dotted line
    EXPECT_EQ(modes[1].Word(0), 2); // opaque, for the solid fill
    EXPECT_EQ(modes[2].Word(0), 1); // transparent again for the hatch
}

TEST_F(CanvasFixture, TextIsRecordedInItsFontColourAndCodePage) {
    canvas.SetFont(TFontSpec{.face = "Arial", .height = 13, .bold = true, .color = kClYellow});
    canvas.SetBackMode(TBackMode::Transparent);
    canvas.TextOut(12, 34, "re\xC3\xA7ue");
    canvas.SetFont(TFontSpec{.face = "Arial", .height = 13, .bold = true, .color = kClBlack});
    canvas.TextOut(1, 2, "x");
    const auto f = Finish();
    const auto fonts = f.Records(F(TFunc::CreateFontIndirect));
    ASSERT_EQ(fonts.size(), 1u) << "a colour change is a text colour, not a new font";
    EXPECT_EQ(fonts[0].Short(0), -13);
    EXPECT_EQ(fonts[0].Short(4), 700);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&fonts[0].params[18])), "Arial");
    const auto colours = f.Records(F(TFunc::SetTextColor));
    ASSERT_EQ(colours.size(), 2u);
    EXPECT_EQ(colours[0].DWord(0), 0x00FFFFu);
    EXPECT_EQ(colours[1].DWord(0), 0u);
    EXPECT_EQ(f.Records(F(TFunc::SetBkMode)).at(0).Word(0), 1);
    const auto text = f.Records(F(TFunc::TextOut)).at(0);
    EXPECT_EQ(text.Short(0), 5);
    EXPECT_EQ(std::string(text.params.begin() + 2, text.params.begin() + 7), "re\xE7ue");
    EXPECT_EQ(text.Short(4), 34);
    EXPECT_EQ(text.Short(5), 12);
}

TEST_F(CanvasFixture, TextIsMeasuredByTheDelegateInTheCurrentFont) {
    canvas.SetFont(TFontSpec{.height = 20});
    EXPECT_EQ(measure.font.height, 20);
    EXPECT_EQ(canvas.TextWidth("400"), 18);
    EXPECT_EQ(canvas.TextHeight("W"), 23);
    EXPECT_EQ(canvas.SysColor(TSysColor::ButtonFace), Rgb(240, 240, 240));
}

TEST_F(CanvasFixture, AClipIsBracketedAndObjectsOfTheSavedStateOutliveIt) {
    canvas.SetPen(TPenSpec{.color = kClBlack});
    canvas.Line(0, 0, 1, 1); // pen A selected when the clip is set
    canvas.SetClipRect({5, 6, 50, 40});
    canvas.SetPen(TPenSpec{.color = kClRed});
    canvas.Line(0, 0, 1, 1); // pen B under the clip
    canvas.SetPen(TPenSpec{.color = kClBlue});
    canvas.Line(0, 0, 1, 1); // pen C replaces B, which goes; A must stay
    canvas.ResetClip();
    canvas.SetPen(TPenSpec{.color = kClBlack});
    canvas.Line(0, 0, 1, 1); // A is selected again by the restore: nothing new
    const auto f = Finish();

    std::vector<std::uint16_t> order;
    for (const auto& r : f.records)
        if (r.function == F(TFunc::SaveDC) || r.function == F(TFunc::RestoreDC) ||
            r.function == F(TFunc::IntersectClipRect) || r.function == F(TFunc::DeleteObject) ||
            r.function == F(TFunc::CreatePenIndirect))
            order.push_back(r.function);
    const std::vector<std::uint16_t> expected = {
        F(TFunc::CreatePenIndirect), F(TFunc::SaveDC),
        F(TFunc::IntersectClipRect), F(TFunc::CreatePenIndirect),
        F(TFunc::CreatePenIndirect), F(TFunc::DeleteObject),
        F(TFunc::RestoreDC),         F(TFunc::DeleteObject)};
    EXPECT_EQ(order, expected);
    const auto deletes = f.Records(F(TFunc::DeleteObject));
    EXPECT_EQ(deletes[0].Word(0), 1); // B
    EXPECT_EQ(deletes[1].Word(0), 2); // C, freed once the restore deselected it
    const auto clip = f.Records(F(TFunc::IntersectClipRect)).at(0);
    EXPECT_EQ((std::vector{clip.Short(3), clip.Short(2), clip.Short(1), clip.Short(0)}),
              (std::vector{5, 6, 50, 40}));
    EXPECT_EQ(f.Records(F(TFunc::RestoreDC)).at(0).Short(0), -1);
}

TEST_F(CanvasFixture, ANewClipReplacesTheOldAndFinishClosesAnOpenOne) {
    canvas.SetClipRect({0, 0, 10, 10});
    canvas.SetClipRect({20, 20, 30, 30});
    const auto f = Finish();
    EXPECT_EQ(f.Records(F(TFunc::SaveDC)).size(), 2u);
    EXPECT_EQ(f.Records(F(TFunc::RestoreDC)).size(), 2u);
}

// libwmf's converter, an independent reader of the format.
std::string ConvertWithLibwmf(const std::vector<std::uint8_t>& bytes) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("sornafex-wmf-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto wmfPath = dir / "chart.wmf";
    const auto svgPath = dir / "chart.svg";
    const auto errPath = dir / "stderr.txt";
    std::ofstream(wmfPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const std::string command = "wmf2svg -o '" + svgPath.string() + "' '" + wmfPath.string() +
                                "' 2>'" + errPath.string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream svgFile(svgPath);
    std::string svg{std::istreambuf_iterator<char>(svgFile), {}};
    std::ifstream errFile(errPath);
    std::string errors{std::istreambuf_iterator<char>(errFile), {}};
    std::filesystem::remove_all(dir);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors, "") << "libwmf complained";
    return svg;
}

bool HaveLibwmf() {
    return std::system("command -v wmf2svg >/dev/null 2>&1") == 0;
}

TEST(WmfCanvasChart, TheChartsDrawingReadsBackThroughLibwmf) {
    if (!HaveLibwmf())
        GTEST_SKIP() << "wmf2svg (Debian libwmf-bin) is not installed";
    TCustomChart chart;
    TLineSeries& series = SetupMainChart(chart);
    for (int i = 0; i < kHistoryLength; ++i)
        series.AddXY(i, (i * 37) % 300);
    chart.SetClientSize(640, 400);
    TFixedMetricsCanvas measure;
    TWmfCanvas canvas(639, 399, measure);
    chart.SetMetafiling(true);
    chart.Draw(canvas, {0, 0, 640, 400});
    const std::string svg = ConvertWithLibwmf(canvas.Finish());

    EXPECT_NE(svg.find("<svg width=\"639\" height=\"399\""), std::string::npos)
        << svg.substr(0, 300);
    EXPECT_TRUE(std::regex_search(svg, std::regex("<rect [^>]*fill-opacity:1.0[^>]*fill:green;")))
        << "no green back wall";
    // libwmf names colours: (128, 255, 0) is "chartreuse" to it, (127, 255, 0) in SVG. The line
    // may come as one polyline or as its segments.
    EXPECT_TRUE(std::regex_search(svg, std::regex("<(poly)?line [^>]*stroke:chartreuse")))
        << "no line in (128, 255, 0)";
    EXPECT_NE(svg.find(">400</text>"), std::string::npos);
    EXPECT_NE(svg.find(">0</text>"), std::string::npos);
}

} // namespace
} // namespace sornafex::chart
