#include "chart/session_view.h"
#include "tests/chart/fake_canvas.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace sornafex::chart {
namespace {

// An hour at one point a second, 50 Hz, then 60 Hz from 1800 s, with nothing measured from
// 1000 s to 1099 s. The run started at 10:15:02.
class SessionViewTest : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i <= 3600; ++i) {
            seconds.push_back(i);
            values.push_back(i >= 1000 && i < 1100 ? NAN : i < 1800 ? 50 : 60);
        }
        view.SetSignal({seconds, values, "Hz", 3, 3600, 10 * 3600 + 15 * 60 + 2});
        Draw();
    }
    void Draw() {
        chart.SetClientSize(800, 400);
        overview.SetClientSize(800, 60);
        test::TFakeCanvas canvas;
        chart.Draw(canvas, {0, 0, 800, 400});
        overview.Draw(canvas, {0, 0, 800, 60});
    }
    std::vector<std::pair<double, double>> Points(const TLineSeries& series) const {
        std::vector<std::pair<double, double>> points;
        for (int i = 0; i < series.Count(); ++i)
            points.emplace_back(series.XValues().Value(i), series.YValues().Value(i));
        return points;
    }

    std::vector<double> seconds;
    std::vector<double> values;
    TCustomChart chart;
    TCustomChart overview;
    TSessionView view{chart, overview};
};

// What puts a range in view, from the whole hour.
TEST_F(SessionViewTest, KeysWheelZoomAndNavigationPutARangeWithinTheSessionInView) {
    using K = TReviewKey;
    const auto keys = [](std::vector<K> pressed) {
        return [pressed](TSessionView& v) {
            for (const K key : pressed)
                v.Press(key);
        };
    };
    const auto startOf = [](const TCustomChart& c) {
        return c.BottomAxis().IStartPos();
    };
    const auto endOf = [](const TCustomChart& c) {
        return c.BottomAxis().IEndPos();
    };
    const struct {
        const char* name;
        std::function<void(TSessionView&)> act;
        double from, to;
    } rows[] = {
        {"whole", keys({}), 0, 3600},
        {"zoomed in around the middle", keys({K::ZoomIn}), 900, 2700},
        {"no wider than the session", keys({K::ZoomOut}), 0, 3600},
        {"no closer than 10 s", keys(std::vector<K>(9, K::ZoomIn)), 1795, 1805},
        {"arrows by 5 s", keys({K::ZoomIn, K::Right, K::Right, K::Left}), 905, 2705},
        {"pages by a screen", keys({K::ZoomIn, K::ZoomIn, K::PageUp}), 450, 1350},
        {"a page stops at the end", keys({K::ZoomIn, K::PageDown}), 1800, 3600},
        {"an arrow stops at the start", keys({K::ZoomIn, K::Home, K::Left}), 0, 1800},
        {"End", keys({K::ZoomIn, K::ZoomIn, K::End}), 2700, 3600},
        {"zoomed out again", keys({K::ZoomIn, K::ZoomIn, K::ZoomOut}), 900, 2700},
        {"wheel scrolls earlier by a tenth",
         [&](TSessionView& v) {
             keys({K::ZoomIn})(v);
             v.Wheel(2, false);
         },
         540, 2340},
        {"ctrl+wheel keeps the moment under the cursor",
         [&](TSessionView& v) { v.Wheel(2, true, startOf(chart)); }, 0, 1800},
        {"an entry is centred",
         [&](TSessionView& v) {
             v.SetEntries({{600, "Q1"}, {3590, "Repère 1"}});
             keys(std::vector<K>(8, K::ZoomIn))(v);
             v.GoTo(0);
         },
         592.96875, 607.03125},
        {"an entry near the end shows the end",
         [&](TSessionView& v) {
             v.SetEntries({{600, "Q1"}, {3590, "Repère 1"}});
             keys({K::ZoomIn, K::ZoomIn})(v);
             v.GoTo(1);
         },
         2700, 3600},
        {"a click on the strip centres there",
         [&](TSessionView& v) {
             keys({K::ZoomIn})(v);
             v.ShowAtOverview(endOf(overview));
         },
         1800, 3600},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        view.ShowWhole();
        Draw();
        row.act(view);
        EXPECT_DOUBLE_EQ(view.From(), row.from);
        EXPECT_DOUBLE_EQ(view.To(), row.to);
        EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), row.from);
        EXPECT_DOUBLE_EQ(chart.BottomAxis().Maximum(), row.to);
        ASSERT_EQ(overview.Bands().size(), 1u);
        EXPECT_DOUBLE_EQ(overview.Bands()[0].from, 36902 + row.from);
        EXPECT_DOUBLE_EQ(overview.Bands()[0].to, 36902 + row.to);
    }
}

// The left axis fits the values in view, 90 % of it at most, and at least 0.2 % of their level;
// with nothing in view, those of the whole session.
TEST_F(SessionViewTest, TheLeftAxisFitsTheValuesInView) {
    const struct {
        double from, to;
        double bottom, top;
    } rows[] = {
        {0, 10, 49.95, 50.05},
        {1795, 1805, 55 - 50 / 9.0, 55 + 50 / 9.0},
        {1020, 1080, 55 - 50 / 9.0, 55 + 50 / 9.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.from);
        view.ShowRange(row.from, row.to);
        EXPECT_NEAR(chart.LeftAxis().Minimum(), row.bottom, 1e-9);
        EXPECT_NEAR(chart.LeftAxis().Maximum(), row.top, 1e-9);
    }
}

// The chart holds every point with one null point for each run without a value; the strip
// holds each of its columns' lowest and highest points in their order, and the gaps.
TEST_F(SessionViewTest, TheChartHoldsEveryPointAndTheStripEachColumnsExtremes) {
    std::vector<double> at, hertz;
    for (int i = 0; i < 4 * TSessionView::kOverviewColumns; ++i) {
        at.push_back(i * 0.25);
        hertz.push_back(i == 5001 ? 90 : i >= 8000 && i < 8004 ? NAN : 50 + i % 4);
    }
    view.SetSignal({at, hertz, "Hz", 3, at.back(), 0});

    const auto chartPoints = Points(chart.Series(0));
    ASSERT_EQ(chartPoints.size(), at.size() - 3);
    EXPECT_EQ(chartPoints[8000].first, 2000);
    EXPECT_TRUE(std::isnan(chartPoints[8000].second));
    EXPECT_EQ(chartPoints[8001], std::make_pair(2001.0, 50.0));

    const auto strip = Points(overview.Series(0));
    EXPECT_LE(strip.size(), 2u * TSessionView::kOverviewColumns + 1);
    const double width = at.back() / TSessionView::kOverviewColumns;
    int column = -1;
    for (std::size_t i = 0; i < strip.size(); ++i) {
        const auto [x, y] = strip[i];
        if (std::isnan(y)) {
            EXPECT_EQ(x, 2000) << "the one gap";
            continue;
        }
        const int own = int(x / width);
        EXPECT_GE(own, column) << "in the order of their times, at " << x;
        column = own;
        const auto source = std::size_t(std::lround(x * 4));
        EXPECT_EQ(hertz[source], y) << "a point of the signal, at " << x;
    }
    EXPECT_NE(std::find(strip.begin(), strip.end(), std::make_pair(1250.25, 90.0)), strip.end())
        << "the spike stays";
}

TEST_F(SessionViewTest, AReadingIsTheNearestPointOutsideAGap) {
    const struct {
        double at;
        TSessionReading reading;
    } rows[] = {
        {12, {12, 50}},     {12.4, {12, 50}},     {12.6, {13, 50}},       {1799.5, {1799, 50}},
        {1050, {1050, {}}}, {999.7, {999.7, {}}}, {-1, {-1, {}}},         {3600.5, {3600.5, {}}},
        {3600, {3600, 60}}, {0, {0, 50}},         {1099.8, {1099.8, {}}}, {1100.2, {1100, 50}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(view.ReadingAt(row.at), row.reading) << row.at;
}

TEST_F(SessionViewTest, ReadOutsSayTheRunTimeTheClockAndTheDifferenceInFrench) {
    const struct {
        const char* name;
        std::optional<double> first, second;
        const char* difference;
    } rows[] = {
        {"none", {}, {}, "Clic : point A ; Maj+clic : point B"},
        {"A", 12.3, {}, "A 00:00:12 (10:15:14) : 50,000 Hz ; Maj+clic : point B"},
        {"A and B", 1700, 1850, "Δt = +150,0 s ; Δ = +10,000 Hz ; Δ% = +20,00 %"},
        {"B before A", 1850, 1700, "Δt = −150,0 s ; Δ = −10,000 Hz ; Δ% = −16,67 %"},
        {"equal", 10, 20, "Δt = +10,0 s ; Δ = 0,000 Hz ; Δ% = 0,00 %"},
        {"in a gap", 10, 1050, "Δt = +1040,0 s ; Δ : sans mesure"},
        {"B alone is A", {}, 20, "A 00:00:20 (10:15:22) : 50,000 Hz ; Maj+clic : point B"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        view.SetSignal({seconds, values, "Hz", 3, 3600, 10 * 3600 + 15 * 60 + 2});
        if (row.first)
            view.SetFirstPoint(*row.first);
        if (row.second)
            view.SetSecondPoint(*row.second);
        EXPECT_EQ(view.DifferenceText(), row.difference);
        std::vector<std::string> labels;
        for (const TChartMarker& marker : chart.Markers())
            labels.push_back(marker.label);
        EXPECT_EQ(labels.size(),
                  std::size_t(view.FirstPoint() ? 1 : 0) + std::size_t(view.SecondPoint() ? 1 : 0));
    }
    EXPECT_EQ(view.ReadingText({86399.96 - 36902, 50.2371}), "13:44:58 (00:00:00) : 50,237 Hz");
    EXPECT_EQ(view.ReadingText({1050, {}}), "00:17:30 (10:32:32) : sans mesure");
    view.ShowRange(600.4, 1800.4);
    EXPECT_EQ(view.RangeText(), "00:10:00 – 00:30:00 ; horloge 10:25:02 – 10:45:02");
    view.SetEntries({{83.6, "Q1 R Hier ?"}});
    EXPECT_EQ(view.EntryText(0), "00:01:24  Q1 R Hier ?");
}

} // namespace
} // namespace sornafex::chart
