#include "chart/axis.h"
#include "chart/custom_chart.h"
#include "tests/chart/fake_canvas.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sornafex::chart {
namespace {

using test::TFakeCanvas;

// A left axis over a plot area whose rows run from kTop to kTop + height.
constexpr int kTop = 20;
constexpr int kPlotLeft = 60;

class AxisTest : public ::testing::Test {
protected:
    TChartAxis& Axis() { return m_chart.LeftAxis(); }

    void SetRange(double min, double max, int height = 180) {
        TChartAxis& axis = Axis();
        axis.SetAutomatic(false);
        m_chart.BeginLoading();
        axis.SetMinimum(min);
        axis.SetMaximum(max);
        m_chart.EndLoading();
        axis.AdjustRange();
        TRect room{kPlotLeft - 40, kTop, 400, kTop + height};
        axis.CalcRect(m_canvas, room);
        axis.CalcScreenPos({kPlotLeft, kTop, 400, kTop + height});
        m_canvas.Reset();
    }

    std::vector<std::string> LabelTexts() const {
        std::vector<std::string> out;
        for (const auto& t : m_canvas.texts)
            out.push_back(t.text);
        return out;
    }

    // Lines of the given length ending at the axis' left side (ticks, minor ticks).
    std::vector<int> TickRows(int length) const {
        std::vector<int> rows;
        const int x = m_chart.LeftAxis().PosAxis() - 1;
        for (const auto& l : m_canvas.lines)
            if (l.from.x == x && l.to.x == x - length && l.from.y == l.to.y)
                rows.push_back(l.from.y);
        return rows;
    }

    TCustomChart m_chart;
    TFakeCanvas m_canvas{14, 7};
};

TEST_F(AxisTest, WorkedExampleStepsToFifty) {
    SetRange(-1, 400);
    EXPECT_EQ(Axis().IAxisSize(), 180);
    EXPECT_EQ(Axis().CalcIncrement(m_canvas), 50);

    Axis().Draw(m_canvas);
    EXPECT_EQ(LabelTexts(), (std::vector<std::string>{"400", "350", "300", "250", "200", "150",
                                                      "100", "50", "0"}));
    // 400 is the top row; 0 lies 180 * 1 / 401 = 0.45 pixel above the bottom, so on it.
    EXPECT_EQ(Axis().TickPositions().front(), kTop);
    EXPECT_EQ(Axis().TickPositions().back(), kTop + 180);
    EXPECT_EQ(Axis().TickPositions()[1], kTop + 180 - NearestEven(351.0 * 180 / 401));
}

TEST_F(AxisTest, LabelsAreRightAlignedOnTheLabelsPositionAndCentredOnTheirRow) {
    SetRange(-1, 400);
    Axis().Draw(m_canvas);
    ASSERT_EQ(m_canvas.texts.size(), Axis().TickPositions().size());
    for (std::size_t i = 0; i < m_canvas.texts.size(); ++i) {
        const auto& t = m_canvas.texts[i];
        EXPECT_EQ(t.at.x + 7 * static_cast<int>(t.text.size()), Axis().PosLabels()) << t.text;
        EXPECT_EQ(t.at.y, Axis().TickPositions()[i] - 7) << t.text;
        EXPECT_EQ(t.backMode, TBackMode::Transparent);
    }
}

TEST_F(AxisTest, GridAndTicksAtEveryLabelAndThreeMinorTicksInsideTheSpan) {
    SetRange(-1, 400);
    Axis().Draw(m_canvas);
    const std::vector<int>& ticks = Axis().TickPositions();
    EXPECT_EQ(TickRows(4), ticks);

    std::vector<int> grid;
    for (const auto& l : m_canvas.lines)
        if (l.pen.style == TPenStyle::Dot)
            grid.push_back(l.from.y);
    EXPECT_EQ(grid, ticks);

    // Eight intervals of three; none above 400 nor below 0, both at the ends of the span.
    std::vector<int> minor = TickRows(2);
    EXPECT_EQ(minor.size(), 24u);
    for (int row : minor) {
        EXPECT_GT(row, Axis().IStartPos());
        EXPECT_LT(row, Axis().IEndPos());
        EXPECT_EQ(std::count(ticks.begin(), ticks.end(), row), 0);
    }
}

TEST_F(AxisTest, MinorTicksAboveTheFirstLabelWhenThereIsRoom) {
    SetRange(-5, 390); // first label 350, 18 rows below the top
    Axis().Draw(m_canvas);
    const int first = Axis().TickPositions().front();
    ASSERT_EQ(first, kTop + 18);
    const double d = double(Axis().TickPositions()[1] - first) / 4; // 5.75
    std::vector<int> minor = TickRows(2);
    for (int j = 1; j <= 3; ++j)
        EXPECT_EQ(std::count(minor.begin(), minor.end(), first - NearestEven(j * d)), 1) << j;
    // Below the last label (0, on the bottom row) nothing fits.
    EXPECT_EQ(*std::max_element(minor.begin(), minor.end()) < Axis().IEndPos(), true);
}

TEST_F(AxisTest, AxisLineSpansTheAxisAtItsPosition) {
    SetRange(-1, 400);
    Axis().Draw(m_canvas);
    const auto axisLine = std::find_if(m_canvas.lines.begin(), m_canvas.lines.end(),
                                       [](const auto& l) { return l.pen.width == 2; });
    ASSERT_NE(axisLine, m_canvas.lines.end());
    EXPECT_EQ(axisLine->from, (TPoint{kPlotLeft, kTop}));
    EXPECT_EQ(axisLine->to, (TPoint{kPlotLeft, kTop + 180}));
    EXPECT_EQ(axisLine->pen.color, kClBlack);
}

struct TStepCase {
    const char* name;
    double min;
    double max;
    int height;
    double step;
    std::vector<std::string> labels;
};

class AxisSteps : public AxisTest, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(AxisSteps, ChoosesTheStepAndLabels) {
    const TStepCase& c = GetParam();
    SetRange(c.min, c.max, c.height);
    EXPECT_NEAR(Axis().CalcIncrement(m_canvas), c.step, c.step * 1e-9);
    Axis().Draw(m_canvas);
    EXPECT_EQ(LabelTexts(), c.labels);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AxisSteps,
    ::testing::Values(
        TStepCase{
            "minus5to350", -5, 350, 180, 50, {"350", "300", "250", "200", "150", "100", "50", "0"}},
        TStepCase{"zeroToOne", 0, 1, 180, 1, {"1", "0"}},
        TStepCase{"belowOne",
                  0.5,
                  0.9,
                  180,
                  0.05,
                  {"0,9", "0,85", "0,8", "0,75", "0,7", "0,65", "0,6", "0,55", "0,5"}},
        TStepCase{"tooShortForOneLabel", -1, 400, 5, TChartAxis::kMinStep, {}},
        TStepCase{"equalLimitsAtZero", 0, 0, 180, TChartAxis::kMinStep, {"0"}},
        TStepCase{"equalLimitsBelowZero", -5, -5, 180, TChartAxis::kMinStep, {}},
        TStepCase{"thousands",
                  0,
                  20000,
                  180,
                  2000,
                  {"20\u202F000", "18\u202F000", "16\u202F000", "14\u202F000", "12\u202F000",
                   "10\u202F000", "8\u202F000", "6\u202F000", "4\u202F000", "2\u202F000", "0"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AxisTest, EqualLimitsAt400RepeatTheLabelOnTheCentreRow) {
    SetRange(400, 400);
    Axis().Draw(m_canvas);
    ASSERT_GT(m_canvas.texts.size(), 1u);
    for (const auto& t : m_canvas.texts) {
        EXPECT_EQ(t.text, "400");
        EXPECT_EQ(t.at.y, Axis().ICenterPos() - 7);
    }
}

TEST_F(AxisTest, EqualLargeLimitsStopAtTheTickListBound) {
    // The step of 1e-12 no longer changes a value this large: the label loop must end anyway.
    SetRange(1e6, 1e6);
    Axis().Draw(m_canvas);
    EXPECT_LE(Axis().TickPositions().size(), TChartAxis::kMaxTicks);
    SetRange(3000, 3000);
    Axis().Draw(m_canvas);
    EXPECT_EQ(Axis().TickPositions().size(), TChartAxis::kMaxTicks);
}

TEST_F(AxisTest, TenThousandLabelsOrMoreDrawNone) {
    SetRange(0, 100000);
    Axis().SetIncrement(1);
    Axis().SetLabelsSeparation(0); // keep the desired step
    Axis().Draw(m_canvas);
    EXPECT_TRUE(m_canvas.texts.empty());
    EXPECT_TRUE(Axis().TickPositions().empty());
}

TEST_F(AxisTest, RangeSettersRefuseCrossedLimitsWithTheirFrenchMessages) {
    TChartAxis& axis = Axis();
    axis.SetMaximum(400);
    axis.SetMinimum(-1);
    try {
        axis.SetMinimum(500);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "La valeur minimum de l'axe doit être <= Maximum");
    }
    EXPECT_EQ(axis.Minimum(), -1);
    try {
        axis.SetMaximum(-5);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "La valeur maximum de l'axe doit être >= Minimum");
    }
    EXPECT_EQ(axis.Maximum(), 400);
    EXPECT_NO_THROW(axis.SetMinimum(400)); // equal values pass
    EXPECT_EQ(axis.Minimum(), 400);
    EXPECT_NO_THROW(axis.SetMaximum(400));
    try {
        axis.SetIncrement(-1);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "L'incrément de l'axe doit être >= 0");
    }
}

struct TRefusedValue {
    const char* name;
    void (TChartAxis::*set)(double);
    double value;
    bool loading;
    const char* message;
};

class AxisRefusedValues : public AxisTest, public ::testing::WithParamInterface<TRefusedValue> {};

// A limit that is not a finite number is no range: accepted, it would leave the label step
// search without an end.
TEST_P(AxisRefusedValues, AreRefusedWithTheAxisMessageAndChangeNothing) {
    const TRefusedValue& c = GetParam();
    SetRange(-1, 400);
    if (c.loading)
        m_chart.BeginLoading();
    try {
        (Axis().*c.set)(c.value);
        ADD_FAILURE() << "accepted";
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), c.message);
    }
    if (c.loading)
        m_chart.EndLoading();
    EXPECT_EQ(Axis().Minimum(), -1);
    EXPECT_EQ(Axis().Maximum(), 400);
    EXPECT_EQ(Axis().Increment(), 0);
}

constexpr const char* kMinMessage = "La valeur minimum de l'axe doit être <= Maximum";
constexpr const char* kMaxMessage = "La valeur maximum de l'axe doit être >= Minimum";
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    NonFinite, AxisRefusedValues,
    ::testing::Values(
        TRefusedValue{"minimumNaN", &TChartAxis::SetMinimum, kNaN, false, kMinMessage},
        TRefusedValue{"minimumMinusInf", &TChartAxis::SetMinimum, -kInf, false, kMinMessage},
        TRefusedValue{"minimumNaNWhileLoading", &TChartAxis::SetMinimum, kNaN, true, kMinMessage},
        TRefusedValue{"maximumNaN", &TChartAxis::SetMaximum, kNaN, false, kMaxMessage},
        TRefusedValue{"maximumInf", &TChartAxis::SetMaximum, kInf, false, kMaxMessage},
        TRefusedValue{"maximumInfWhileLoading", &TChartAxis::SetMaximum, kInf, true, kMaxMessage},
        TRefusedValue{"incrementNaN", &TChartAxis::SetIncrement, kNaN, false,
                      "L'incrément de l'axe doit être >= 0"},
        TRefusedValue{"incrementInf", &TChartAxis::SetIncrement, kInf, false,
                      "L'incrément de l'axe doit être >= 0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AxisTest, LimitsAtTheEndsOfTheDoublesDrawNoLabelAndEnd) {
    SetRange(-1e308, 1e308); // a range of infinity
    Axis().Draw(m_canvas);
    EXPECT_TRUE(m_canvas.texts.empty());
}

TEST_F(AxisTest, LoadingSkipsTheRangeChecks) {
    m_chart.BeginLoading();
    Axis().SetMinimum(500);
    EXPECT_EQ(Axis().Minimum(), 500);
    m_chart.EndLoading();
    EXPECT_THROW(Axis().SetMinimum(600), AxisException);
}

TEST_F(AxisTest, AutomaticCarriesBothEndsOutsideLoading) {
    Axis().SetAutomatic(false);
    EXPECT_FALSE(Axis().AutomaticMinimum());
    EXPECT_FALSE(Axis().AutomaticMaximum());
    m_chart.BeginLoading();
    Axis().SetAutomatic(true);
    m_chart.EndLoading();
    EXPECT_FALSE(Axis().AutomaticMinimum());
}

TEST_F(AxisTest, ValueToPixelRoundsHalvesToEvenAndGuardsTheCentre) {
    SetRange(0, 360, 180);
    // 1 hertz is half a pixel: rounds to 0; 3 hertz is 1.5 pixels: rounds to 2.
    EXPECT_EQ(Axis().CalcPosValue(1), kTop + 180);
    EXPECT_EQ(Axis().CalcPosValue(3), kTop + 180 - 2);
    EXPECT_EQ(Axis().CalcPosValue(5), kTop + 180 - 2);
    EXPECT_EQ(Axis().CalcPosValue(360), kTop);
    EXPECT_EQ(Axis().CalcPosValue(1e20), Axis().ICenterPos());
    EXPECT_EQ(Axis().CalcPosValue(-1e20), Axis().ICenterPos());
    EXPECT_DOUBLE_EQ(Axis().CalcPosPoint(kTop), 360);
    EXPECT_DOUBLE_EQ(Axis().CalcPosPoint(kTop + 90), 180);

    SetRange(7, 7);
    EXPECT_EQ(Axis().CalcPosValue(123), Axis().ICenterPos());
}

// The 32-bit extremes a recording may hold. Far below the range lies below the plot, however far;
// an offset beyond 32 bits goes to the centre row.
TEST_F(AxisTest, Int32ExtremesMapBelowThePlotOrToTheCentre) {
    constexpr double kInt32Min = -2147483648.0;
    constexpr double kInt32Max = 2147483647.0;
    const struct {
        double min;
        double max;
        int height;
        double value;
        bool below;
    } rows[] = {
        {-5, 350, 355, kInt32Min, true},
        {-5, 350, 355, kInt32Max, false},
        {-1, 400, 401, kInt32Min, false},
        {-1, 400, 401, kInt32Max, false},
    };
    for (const auto& row : rows) {
        SetRange(row.min, row.max, row.height);
        const int pixel = Axis().CalcPosValue(row.value);
        if (row.below)
            EXPECT_GT(pixel, Axis().IEndPos()) << row.min << ".." << row.max << ": " << row.value;
        else
            EXPECT_EQ(pixel, Axis().ICenterPos())
                << row.min << ".." << row.max << ": " << row.value;
    }
}

TEST_F(AxisTest, RoomIsTheWidestEndLabelPlusASpaceThenSixPixels) {
    SetRange(-1, 400);
    TRect room{10, kTop, 400, kTop + 180};
    Axis().CalcRect(m_canvas, room);
    // The previous drawing's span gave step 50: end labels "0" and "400".
    EXPECT_EQ(Axis().PosLabels(), 10 + 3 * 7 + 7);
    EXPECT_EQ(room.left, Axis().PosLabels() + 6);
}

TEST_F(AxisTest, FirstRoomUsesTheTinyStepAndTheRangeEnds) {
    TChartAxis& axis = Axis();
    axis.SetAutomatic(false);
    axis.SetMaximum(12345);
    axis.SetMinimum(-1);
    axis.AdjustRange();
    TRect room{0, 0, 400, 180};
    axis.CalcRect(m_canvas, room); // no span yet: step 1e-12, labels "-1" and "12 345"
    EXPECT_EQ(axis.PosLabels(), static_cast<int>(std::string("12\u202F345").size()) * 7 + 7);
}

struct TFormatCase {
    double value;
    const char* text;
};

class AxisFormat : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(AxisFormat, FrenchSeparatorsAtMostThreeDecimals) {
    EXPECT_EQ(FormatAxisValue(GetParam().value, "#,##0.###", TNumberSeparators{}), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, AxisFormat,
                         ::testing::Values(TFormatCase{0, "0"}, TFormatCase{-0.0, "0"},
                                           TFormatCase{-1e-13, "0"}, TFormatCase{50, "50"},
                                           TFormatCase{-5, "-5"}, TFormatCase{999, "999"},
                                           TFormatCase{1000, "1\u202F000"},
                                           TFormatCase{-1234567, "-1\u202F234\u202F567"},
                                           TFormatCase{0.5, "0,5"}, TFormatCase{0.85, "0,85"},
                                           TFormatCase{1.23456, "1,235"},
                                           TFormatCase{399.9999999999, "400"}));

TEST(AxisFormatting, OtherFormatsAndSeparators) {
    const TNumberSeparators dot{".", ","};
    EXPECT_EQ(FormatAxisValue(1234.5, "#,##0.00", dot), "1,234.50");
    EXPECT_EQ(FormatAxisValue(1234.4, "0", dot), "1234");
    EXPECT_EQ(FormatAxisValue(7, "000", dot), "007");
}

// The bottom axis of a plot kPlotLeft .. kPlotLeft + width wide, in a chart rectangle whose
// bottom is at row 300; "−" is three bytes, so 21 pixels wide here.
using F = std::string (*)(double, const TNumberSeparators&);
constexpr F kBefore = FormatSecondsBeforeNow;
constexpr F kRunTime = FormatRunTime;

struct TBottomCase {
    const char* name;
    double min;
    double max;
    int width;
    double increment;
    F format;           // Seconds steps; none: the number format and the decimal steps
    const char* labels; // left to right
};

class BottomAxisLabels : public AxisTest, public ::testing::WithParamInterface<TBottomCase> {};

TEST_P(BottomAxisLabels, StandCentredOnRoundValuesBelowTheTicksWithoutOverlapping) {
    const TBottomCase& c = GetParam();
    TChartAxis& axis = m_chart.BottomAxis();
    axis.SetAutomatic(false);
    m_chart.BeginLoading();
    axis.SetMinimum(c.min);
    axis.SetMaximum(c.max);
    m_chart.EndLoading();
    axis.SetIncrement(c.increment);
    if (c.format != nullptr) {
        axis.SetSteps(TAxisSteps::Seconds);
        axis.SetLabelFormatter([&c](double v) { return c.format(v, TNumberSeparators{}); });
    }
    axis.AdjustRange();
    TRect room{0, kTop, 1000, 300};
    axis.CalcRect(m_canvas, room);
    // One line of labels, then the 2-pixel axis line and the 4-pixel ticks above it.
    EXPECT_EQ(axis.PosLabels(), 300 - 14);
    EXPECT_EQ(room.bottom, 300 - 14 - 6);
    axis.CalcScreenPos({kPlotLeft, kTop, kPlotLeft + c.width, room.bottom});
    m_canvas.Reset();
    axis.Draw(m_canvas);

    std::string texts;
    int previousRight = INT_MIN;
    ASSERT_EQ(m_canvas.texts.size(), axis.TickPositions().size());
    for (std::size_t i = m_canvas.texts.size(); i-- > 0;) {
        const auto& t = m_canvas.texts[i];
        texts += (texts.empty() ? "" : " ") + t.text;
        const int width = 7 * static_cast<int>(t.text.size());
        EXPECT_EQ(t.at, (TPoint{axis.TickPositions()[i] - width / 2, axis.PosLabels()})) << t.text;
        EXPECT_GE(t.at.x, previousRight + 7) << t.text << ": less than a space from its neighbour";
        previousRight = t.at.x + width;
    }
    EXPECT_EQ(texts, c.labels);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BottomAxisLabels,
    ::testing::Values(
        TBottomCase{"lastMinuteByTens", -60, 0, 700, 10, kBefore, "−60 −50 −40 −30 −20 −10 0"},
        // Too narrow for tens: 15 s, not the 20 of the decimal series.
        TBottomCase{"lastMinuteNarrow", -60, 0, 200, 10, kBefore, "−60 −45 −30 −15 0"},
        TBottomCase{"tenHoursByTheHour", 0, 36000, 700, 0, kRunTime,
                    "00:00:00 01:00:00 02:00:00 03:00:00 04:00:00 05:00:00 06:00:00 07:00:00 "
                    "08:00:00 09:00:00 10:00:00"},
        // Ten seconds of an hour from half way through one: the ends are wider than the labels.
        TBottomCase{"tenSecondsOnWholeSeconds", 3600.5, 3610.5, 700, 0, kRunTime,
                    "01:00:01 01:00:02 01:00:03 01:00:04 01:00:05 01:00:06 01:00:07 01:00:08 "
                    "01:00:09 01:00:10"},
        TBottomCase{"halfASecondInTenths", 0, 0.5, 700, 0, kRunTime,
                    "00:00:00 00:00:00,1 00:00:00,2 00:00:00,3 00:00:00,4 00:00:00,5"},
        // The ends "0" and "0,5" would allow steps of 0,05, whose labels are wider.
        TBottomCase{"widerLabelsInside", 0, 0.5, 350, 0, nullptr, "0 0,1 0,2 0,3 0,4 0,5"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TTimeText {
    F format;
    double seconds;
    const char* text;
};

class TimeLabelText : public ::testing::TestWithParam<TTimeText> {};

TEST_P(TimeLabelText, ReadsAsSecondsOrAsAClock) {
    EXPECT_EQ(GetParam().format(GetParam().seconds, TNumberSeparators{}), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeLabelText,
    ::testing::Values(TTimeText{kBefore, -60, "−60"}, TTimeText{kBefore, -0.0004, "0"},
                      TTimeText{kBefore, -2.5, "−2,5"}, TTimeText{kRunTime, 3723, "01:02:03"},
                      TTimeText{kRunTime, 59.9996, "00:01:00"}, // no "00:00:60"
                      TTimeText{kRunTime, 360000, "100:00:00"},
                      TTimeText{kRunTime, 0.25, "00:00:00,25"},
                      TTimeText{kRunTime, -5, "−00:00:05"}));

} // namespace
} // namespace sornafex::chart
