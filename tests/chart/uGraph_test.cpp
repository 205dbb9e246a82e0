#include "chart/uGraph.h"
#include "tests/support/scripted_ui_services.h"

#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <vector>

namespace sornafex::chart {
namespace {

class TFakeHost final : public TGraphHost {
public:
    void SetFrequencyText(const std::string& text) override { frequency = text; }
    void SetDataModified() override { modified = true; }

    std::string frequency;
    bool modified = false;
};

class GraphTest : public ::testing::Test {
protected:
    std::vector<double> Xs() const {
        std::vector<double> out;
        for (int i = 0; i < m_series.Count(); ++i)
            out.push_back(m_series.XValues().Value(i));
        return out;
    }
    std::vector<double> Ys() const {
        std::vector<double> out;
        for (int i = 0; i < m_series.Count(); ++i)
            out.push_back(m_series.YValues().Value(i));
        return out;
    }
    bool TitleShown() const { return m_chart.Title().Visible(); }

    TCustomChart m_chart;
    TLineSeries& m_series = SetupMainChart(m_chart);
    TFakeHost m_host;
    TGraph m_graph{m_chart, m_series, m_host};
};

std::vector<double> Expected(std::initializer_list<std::pair<int, double>> runs) {
    std::vector<double> out;
    for (const auto& [count, value] : runs)
        out.insert(out.end(), static_cast<std::size_t>(count), value);
    return out;
}

TEST_F(GraphTest, InitGraphGives256ZerosAtX0To255AndTouchesNothingElse) {
    m_series.AddXY(1000, 5);
    m_chart.Title().SetVisible(true);
    m_graph.InitGraph();
    ASSERT_EQ(m_series.Count(), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(m_series.XValues().Value(i), i);
    EXPECT_EQ(Ys(), Expected({{256, 0}}));
    EXPECT_TRUE(TitleShown());
    EXPECT_EQ(m_host.frequency, "");
    EXPECT_FALSE(m_host.modified);
}

TEST_F(GraphTest, OneSampleStandsAtX256) {
    m_graph.InitGraph();
    m_graph.AddSample(7);
    EXPECT_EQ(m_host.frequency, "7 Hz");
    ASSERT_EQ(m_series.Count(), 256);
    std::vector<double> xs = Xs();
    for (int i = 0; i < 255; ++i)
        EXPECT_EQ(xs[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(xs[255], 256);
    EXPECT_EQ(Ys(), Expected({{255, 0}, {1, 7}}));

    m_graph.AddSample(9);
    EXPECT_EQ(Xs(), xs);
    EXPECT_EQ(Ys(), Expected({{254, 0}, {1, 7}, {1, 9}}));
    EXPECT_EQ(m_graph.Values(), Ys());
    EXPECT_EQ(m_host.frequency, "9 Hz");
}

TEST_F(GraphTest, ThreeHundredSamplesLeaveTheLast256) {
    m_graph.InitGraph();
    for (int n = 1; n <= 300; ++n)
        m_graph.AddSample(n);
    std::vector<double> expected;
    for (int n = 45; n <= 300; ++n)
        expected.push_back(n);
    EXPECT_EQ(Ys(), expected);
    EXPECT_EQ(m_series.XValues().Value(254), 254);
    EXPECT_EQ(m_series.XValues().Value(255), 256);
}

TEST_F(GraphTest, NegativeReadoutAndEveryValueMarksTheDataUnsaved) {
    m_graph.InitGraph();
    m_graph.AddSample(0);
    EXPECT_TRUE(m_host.modified);
    m_graph.AddSample(-12);
    EXPECT_EQ(m_host.frequency, "-12 Hz");
    m_graph.AddSample(INT32_MIN);
    EXPECT_EQ(m_host.frequency, "-2147483648 Hz");
    EXPECT_EQ(m_series.YValues().Value(255), INT32_MIN);
}

TEST_F(GraphTest, NoDataTitleFollowsSamplesWhenTheWarningIsOn) {
    m_graph.InitGraph();
    ASSERT_TRUE(m_graph.ShowNoData());
    m_graph.AddSample(0);
    EXPECT_TRUE(TitleShown());
    EXPECT_EQ(m_chart.Title().Text(), (std::vector<std::string>{"Aucune données reçue"}));
    m_graph.AddSample(3);
    EXPECT_FALSE(TitleShown());
    m_graph.AddSample(-4);
    EXPECT_TRUE(TitleShown());
    m_graph.AddSample(1);
    EXPECT_FALSE(TitleShown());
}

TEST_F(GraphTest, WithTheWarningOffSamplesLeaveTheTitleAlone) {
    m_graph.SetShowNoData(false);
    m_graph.InitGraph();
    m_graph.AddSample(0);
    EXPECT_FALSE(TitleShown());
    m_chart.Title().SetVisible(true);
    m_graph.AddSample(5);
    EXPECT_TRUE(TitleShown());
}

TEST_F(GraphTest, SwitchingTheWarningOffHidesTheTitleOnlyDuringARun) {
    m_graph.InitGraph();
    m_graph.AddSample(0);
    ASSERT_TRUE(TitleShown());
    EXPECT_FALSE(m_graph.ToggleShowNoData(/*acquiring=*/false));
    EXPECT_TRUE(TitleShown());
    EXPECT_TRUE(m_graph.ToggleShowNoData(true)); // on again: nothing until the next sample
    EXPECT_TRUE(TitleShown());
    EXPECT_FALSE(m_graph.ToggleShowNoData(true));
    EXPECT_FALSE(TitleShown());
    EXPECT_FALSE(m_graph.ShowNoData());
}

TEST_F(GraphTest, LoadingAFileEndingInZeroLeavesTheWarningUp) {
    m_graph.InitGraph();
    for (int v : {12, 30, 0})
        m_graph.AddSample(v);
    EXPECT_TRUE(TitleShown());
}

// Scale commands.

class ScaleTest : public GraphTest {
protected:
    void SetAxis(double min, double max) {
        m_chart.BeginLoading();
        m_chart.LeftAxis().SetMinimum(min);
        m_chart.LeftAxis().SetMaximum(max);
        m_chart.EndLoading();
    }
    double Min() { return m_chart.LeftAxis().Minimum(); }
    double Max() { return m_chart.LeftAxis().Maximum(); }

    test::TScriptedUiServices m_ui;
};

struct TPromptCase {
    const char* name;
    bool minimum; // Min command, else Max
    double axisMin;
    double axisMax;
    std::optional<std::string> answer;
    double expectedMin;
    double expectedMax;
    std::int32_t expectedPreference; // of the command's end; unchanged on cancel
};

class ScalePrompt : public ScaleTest, public ::testing::WithParamInterface<TPromptCase> {};

TEST_P(ScalePrompt, SetsTheLimitOrFallsBackSilently) {
    const TPromptCase& c = GetParam();
    SetAxis(c.axisMin, c.axisMax);
    m_graph.SetVerticalMin(1111);
    m_graph.SetVerticalMax(2222);
    m_ui.ExpectInput(c.answer);
    if (c.minimum)
        m_graph.ActGraphSetXMin(m_ui);
    else
        m_graph.ActGraphSetXMax(m_ui);
    EXPECT_EQ(Min(), c.expectedMin);
    EXPECT_EQ(Max(), c.expectedMax);
    EXPECT_EQ(c.minimum ? m_graph.VerticalMin() : m_graph.VerticalMax(), c.expectedPreference);
    EXPECT_EQ(c.minimum ? m_graph.VerticalMax() : m_graph.VerticalMin(), c.minimum ? 2222 : 1111);
    EXPECT_EQ(m_ui.Shown().size(), 1u); // no message after the prompt
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScalePrompt,
    ::testing::Values(TPromptCase{"minText", true, 0, 400, "abc", -1, 400, -1},
                      TPromptCase{"minAboveMax", true, 0, 400, "500", -1, 400, -1},
                      TPromptCase{"minEqualMax", true, 0, 400, "400", 400, 400, 400},
                      TPromptCase{"minNegative", true, 0, 400, "-50", -50, 400, -50},
                      TPromptCase{"minHex", true, 0, 400, "$10", 16, 400, 16},
                      TPromptCase{"minCancel", true, 3, 400, std::nullopt, 3, 400, 1111},
                      TPromptCase{"maxBelowMin", false, 10, 400, "0", 10, 400, 400},
                      TPromptCase{"maxEmpty", false, 10, 300, "", 10, 400, 400},
                      TPromptCase{"maxLarge", false, 10, 300, "20000", 10, 20000, 20000},
                      TPromptCase{"maxTrailing", false, 10, 300, "12x", 10, 400, 400},
                      TPromptCase{"maxCancel", false, 10, 300, std::nullopt, 10, 300, 2222}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScaleTest, PromptsShowTheirCaptionTextAndTheRoundedLimit) {
    SetAxis(-2.5, 99.5);
    m_ui.ExpectInput(std::nullopt);
    m_ui.ExpectInput(std::nullopt);
    m_graph.ActGraphSetXMin(m_ui);
    m_graph.ActGraphSetXMax(m_ui);
    ASSERT_EQ(m_ui.Shown().size(), 2u);
    EXPECT_EQ(m_ui.Shown()[0].caption, "Min échelle verticale");
    EXPECT_EQ(m_ui.Shown()[0].text, "Valeur (-1..10000)");
    EXPECT_EQ(m_ui.Shown()[1].caption, "Max échelle verticale");
    EXPECT_EQ(m_ui.Shown()[1].text, "Valeur (1..10000)");
}

TEST_F(ScaleTest, PromptsStartFromTheLimitRoundedHalfToEven) {
    // The script records caption and prompt only; this double keeps the initial text.
    class TInitialText final : public TUiServices {
    public:
        std::optional<std::string> InputBox(const std::string&, const std::string&,
                                            const std::string& initial) override {
            initials.push_back(initial);
            return std::nullopt;
        }
        void ShowMessage(const std::string&) override { ADD_FAILURE(); }
        TConfirmResult Confirm(const std::string&) override {
            ADD_FAILURE();
            return TConfirmResult::Cancel;
        }
        std::optional<std::string> OpenFileDialog(const TFileDialogOptions&) override {
            ADD_FAILURE();
            return std::nullopt;
        }
        std::optional<std::string> SaveFileDialog(const TFileDialogOptions&) override {
            ADD_FAILURE();
            return std::nullopt;
        }
        std::optional<std::string> FolderDialog(const std::string&) override {
            ADD_FAILURE();
            return std::nullopt;
        }
        bool PrintDialog(QPrinter&) override {
            ADD_FAILURE();
            return false;
        }
        std::optional<std::string> SelectPort(const std::vector<std::string>&) override {
            ADD_FAILURE();
            return std::nullopt;
        }
        std::optional<std::string> ChooseDevice(TDeviceChoice&) override {
            ADD_FAILURE();
            return std::nullopt;
        }
        bool EditInDialog(TDialogModel&) override {
            ADD_FAILURE();
            return false;
        }
        void ShowError(const std::string&) override { ADD_FAILURE(); }
        void ShowErrorWithCaption(const std::string&, const std::string&) override {
            ADD_FAILURE();
        }
        std::vector<std::string> initials;
    } ui;
    SetAxis(-2.5, 99.5);
    m_graph.ActGraphSetXMin(ui);
    m_graph.ActGraphSetXMax(ui);
    EXPECT_EQ(ui.initials, (std::vector<std::string>{"-2", "100"}));
}

TEST_F(ScaleTest, RefusedFallbackEscapesAndLeavesThePreference) {
    SetAxis(-10, -3); // Min's fallback -1 is above the maximum
    m_graph.SetVerticalMin(77);
    m_ui.ExpectInput("5");
    EXPECT_THROW(m_graph.ActGraphSetXMin(m_ui), AxisException);
    EXPECT_EQ(Min(), -10);
    EXPECT_EQ(m_graph.VerticalMin(), 77);

    SetAxis(450, 500); // Max's fallback 400 is below the minimum
    m_ui.ExpectInput("x");
    try {
        m_graph.ActGraphSetXMax(m_ui);
        FAIL();
    } catch (const AxisException& e) {
        EXPECT_STREQ(e.what(), "La valeur maximum de l'axe doit être >= Minimum");
    }
}

struct TOptimumCase {
    const char* name;
    std::vector<double> samples; // the newest samples, after zeros
    double axisMin;
    double axisMax;
    double expectedMin;
    double expectedMax;
    std::int32_t prefMin;
    std::int32_t prefMax;
};

class ScaleOptimum : public ScaleTest, public ::testing::WithParamInterface<TOptimumCase> {};

TEST_P(ScaleOptimum, FitsTheHistory) {
    const TOptimumCase& c = GetParam();
    SetAxis(c.axisMin, c.axisMax);
    m_graph.InitGraph();
    for (double v : c.samples)
        m_graph.AddSample(static_cast<std::int32_t>(v));
    m_graph.ActGraphSetXAuto();
    EXPECT_EQ(Min(), c.expectedMin);
    EXPECT_EQ(Max(), c.expectedMax);
    EXPECT_EQ(m_graph.VerticalMin(), c.prefMin);
    EXPECT_EQ(m_graph.VerticalMax(), c.prefMax);
}

std::vector<double> Ramp(int count, double from, double to) {
    std::vector<double> out;
    for (int i = 0; i < count; ++i)
        out.push_back(from + (to - from) * i / (count - 1));
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleOptimum,
    ::testing::Values(
        TOptimumCase{"allZeros", {}, -1, 400, -10, 355, -10, 355},
        TOptimumCase{"someZerosBefore", Ramp(100, 20, 80), -1, 400, -5, 85, -5, 85},
        TOptimumCase{"fullHistory", Ramp(256, 20, 80), -1, 400, 15, 85, 15, 85},
        TOptimumCase{"all400", std::vector<double>(256, 400), -1, 400, 295, 405, 295, 405},
        TOptimumCase{"allMinus20", std::vector<double>(256, -20), -1, 400, -25, 5, -25, 5},
        TOptimumCase{"flatAt150", std::vector<double>(256, 150), -1, 400, -10, 355, -10, 355},
        TOptimumCase{"refusedFallsBack", std::vector<double>(256, 400), -5, 100, -5, 350, 295, 405},
        TOptimumCase{"extremes",
                     {INT32_MIN, INT32_MAX},
                     -1,
                     400,
                     double(INT32_MIN) - 5,
                     double(INT32_MAX) + 5,
                     INT32_MIN,
                     INT32_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScaleTest, DefaultAlwaysRemembersMinus5To350) {
    SetAxis(10, 20);
    m_graph.ActGraphSetXDefault();
    EXPECT_EQ(Min(), -5);
    EXPECT_EQ(Max(), 350);
    EXPECT_EQ(m_graph.VerticalMin(), -5);
    EXPECT_EQ(m_graph.VerticalMax(), 350);

    SetAxis(-100, -50); // the minimum is refused, so the maximum is not set either
    m_graph.SetVerticalMin(0);
    m_graph.SetVerticalMax(0);
    EXPECT_NO_THROW(m_graph.ActGraphSetXDefault());
    EXPECT_EQ(Min(), -100);
    EXPECT_EQ(Max(), -50);
    EXPECT_EQ(m_graph.VerticalMin(), -5);
    EXPECT_EQ(m_graph.VerticalMax(), 350);
}

TEST_F(ScaleTest, PreferencesDefaultToMinus1And400) {
    EXPECT_EQ(m_graph.VerticalMin(), -1);
    EXPECT_EQ(m_graph.VerticalMax(), 400);
    EXPECT_TRUE(m_graph.ShowNoData());
}

TEST_F(ScaleTest, ApplyVerticalRangeAcceptsAnyOrderedPair) {
    struct TCase {
        double fromMin, fromMax;
        std::int32_t min, max;
    };
    for (const TCase c : {TCase{-1, 400, 500, 600}, TCase{500, 600, -20, 10}, TCase{-1, 400, 7, 7},
                          TCase{0, 0, -5, 350}}) {
        SetAxis(c.fromMin, c.fromMax);
        m_graph.ApplyVerticalRange(c.min, c.max);
        EXPECT_EQ(Min(), c.min);
        EXPECT_EQ(Max(), c.max);
    }
    SetAxis(-1, 400);
    EXPECT_THROW(m_graph.ApplyVerticalRange(10, 5), AxisException);
}

// Markers stand where their sample stands and leave with it.
TEST_F(GraphTest, MarkersRideWithTheirSamples) {
    struct Row {
        // "m": a marker, "s" or "s<n>": samples, "settle", "init", "u<label>": a marker undone
        const char* steps;
        std::vector<TChartMarker> markers;
    } const rows[] = {
        {"m", {{256, "1"}}},     // its sample is being counted: at the right edge
        {"m s", {{256, "1"}}},   // it arrived: the newest
        {"m s s", {{254, "1"}}}, // then it scrolls with the points
        {"m s s254", {{1, "1"}}},
        {"m s s255", {{0, "1"}}}, // the oldest point
        {"m s s256", {}},         // and out with it
        {"s m s m m s2", {{253, "1"}, {254, "2"}, {254, "3"}}},
        {"m settle s", {{254, "1"}}}, // the run ended: it stays with the last sample
        {"m s m u1 s", {{256, "2"}}}, // the others keep their places
        {"m s init", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.steps);
        m_graph.InitGraph();
        int number = 0;
        std::istringstream steps(row.steps);
        for (std::string step; steps >> step;) {
            if (step == "m")
                m_graph.AddMarker(std::to_string(++number));
            else if (step == "settle")
                m_graph.SettleMarkers();
            else if (step == "init")
                m_graph.InitGraph();
            else if (step[0] == 'u')
                EXPECT_TRUE(m_graph.RemoveMarker(step.substr(1)));
            else
                for (int n = step.size() > 1 ? std::stoi(step.substr(1)) : 1; n > 0; --n)
                    m_graph.AddSample(7);
        }
        EXPECT_EQ(m_graph.Markers(), row.markers);
    }
}

} // namespace
} // namespace sornafex::chart
