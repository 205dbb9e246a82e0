#include "chart/axis.h"
#include "chart/print_layout.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace sornafex::chart {
namespace {

struct TRoundCase {
    double x;
    int expected;
};

class NearestEvenTest : public testing::TestWithParam<TRoundCase> {};

TEST_P(NearestEvenTest, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(NearestEven(GetParam().x), GetParam().expected) << GetParam().x;
}

INSTANTIATE_TEST_SUITE_P(Cases, NearestEvenTest,
                         testing::Values(TRoundCase{0.5, 0}, TRoundCase{1.5, 2}, TRoundCase{2.5, 2},
                                         TRoundCase{724.5, 724}, TRoundCase{727.5, 728},
                                         TRoundCase{2.4999, 2}, TRoundCase{2.5001, 3},
                                         TRoundCase{-0.5, 0}, TRoundCase{-1.5, -2},
                                         TRoundCase{-2.5, -2}, TRoundCase{-2.6, -3},
                                         TRoundCase{7.0, 7}));

// Hand-computed pages: an A4-like page of 4800 x 6600 pixels unless said otherwise.
struct TPrintCase {
    const char* name;
    int w, h;
    TPrintDevice device;
    TMargins margins;
    TRect page;
};

class PrintPageTest : public testing::TestWithParam<TPrintCase> {};

TEST_P(PrintPageTest, MarginsAndPageRectangle) {
    const TPrintCase& c = GetParam();
    const TMargins margins = ProportionalMargins(TMargins{15, 15, 15, 15}, c.w, c.h, c.device);
    EXPECT_EQ(margins, c.margins);
    EXPECT_EQ(PrintPageRect(margins, c.device.pageWidth, c.device.pageHeight), c.page);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintPageTest,
    testing::Values(
        // Wider than tall, q = 1/2: 100 (6600 - 0.6 * 4800 * 0.5) / 6600 = 78.18 -> 78 -> 39.
        TPrintCase{
            "wide", 600, 300, {4800, 6600, 600, 600}, {15, 39, 15, 39}, {720, 2574, 4080, 4026}},
        // Taller than wide, q = 3/5: 100 (4800 - 0.6 * 6600 * 0.6) / 4800 = 50.5 -> 50 -> 25.
        TPrintCase{
            "tall", 300, 500, {4800, 6600, 600, 600}, {25, 15, 25, 15}, {1200, 990, 3600, 5610}},
        // Square goes the tall way: 100 (4800 - 3960) / 4800 = 17.5 -> 18 -> 9.
        TPrintCase{
            "square", 400, 400, {4800, 6600, 600, 600}, {9, 15, 9, 15}, {432, 990, 4368, 5610}},
        // Pixels four times as high as wide: 100 (6600 - 2880 * 5/6 * 4) / 6600 = -45.45 -> -45,
        // halved toward zero: -22 (a margin outside the page, as the formula gives).
        TPrintCase{"tall pixels",
                   600,
                   500,
                   {4800, 6600, 1200, 300},
                   {15, -22, 15, -22},
                   {720, -1452, 4080, 8052}},
        // Landscape, wide chart: 100 (4830 - 0.6 * 6600 * 0.4) / 4830 = 67.20 -> 67 -> 33.
        TPrintCase{"landscape",
                   500,
                   200,
                   {6600, 4830, 300, 300},
                   {15, 33, 15, 33},
                   {990, 1594, 5610, 3236}}),
    [](const testing::TestParamInfo<TPrintCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == ' ')
                ch = '_';
        return name;
    });

TEST(PrintMargins, WithoutAreaOrResolutionTheStoredMarginsStay) {
    const TMargins stored{1, 2, 3, 4};
    EXPECT_EQ(ProportionalMargins(stored, 0, 300, {4800, 6600, 600, 600}), stored);
    EXPECT_EQ(ProportionalMargins(stored, 600, 0, {4800, 6600, 600, 600}), stored);
    EXPECT_EQ(ProportionalMargins(stored, 600, 300, {0, 6600, 600, 600}), stored);
    EXPECT_EQ(ProportionalMargins(stored, 600, 300, {4800, 6600, 600, 0}), stored);
}

TEST(PrintPageRect, HalvesOfAPixelGoToTheEvenNeighbour) {
    // 15 % of 4830 = 724.5 -> 724; 15 % of 4850 = 727.5 -> 728.
    EXPECT_EQ(PrintPageRect({15, 15, 15, 15}, 4830, 4850), (TRect{724, 728, 4106, 4122}));
}

TEST(PrintMapping, TheChartKeepsItsScreenSizeInLogicalUnits) {
    // The "wide" page: 3360 x 1452 pixels for a 600 x 300 chart.
    const TPrintMapping m = PrintLogicalMapping({720, 2574, 4080, 4026}, 600, 300, 0);
    // 720 * 600 / 3360 = 128.57, 4080 * 600 / 3360 = 728.57, 2574 * 300 / 1452 = 531.82,
    // 4026 * 300 / 1452 = 831.82.
    EXPECT_EQ(m.logical, (TRect{129, 532, 729, 832}));
    EXPECT_DOUBLE_EQ(m.scaleX, 5.6);
    EXPECT_DOUBLE_EQ(m.scaleY, 4.84);
}

TEST(PrintMapping, AReversedRectangleIsOrderedFirst) {
    const TPrintMapping m = PrintLogicalMapping({4080, 4026, 720, 2574}, 600, 300, 0);
    EXPECT_EQ(m.logical, (TRect{129, 532, 729, 832}));
}

TEST(PrintMapping, ResolutionShrinksTheLogicalSize) {
    // 10 %: 540 x 270 logical units over 1000 x 500 pixels.
    const TPrintMapping m = PrintLogicalMapping({0, 0, 1000, 500}, 600, 300, 10);
    EXPECT_EQ(m.logical, (TRect{0, 0, 540, 270}));
    EXPECT_DOUBLE_EQ(m.scaleX, 1000.0 / 540.0);
    EXPECT_DOUBLE_EQ(m.scaleY, 500.0 / 270.0);
}

TEST(PrintMapping, NoAreaIsAnError) {
    EXPECT_THROW(PrintLogicalMapping({10, 10, 10, 50}, 600, 300, 0), std::invalid_argument);
    EXPECT_THROW(PrintLogicalMapping({0, 0, 100, 100}, 0, 300, 0), std::invalid_argument);
    EXPECT_THROW(PrintLogicalMapping({0, 0, 100, 100}, 600, 300, 100), std::invalid_argument);
}

} // namespace
} // namespace sornafex::chart
