#include "chart/response_graph.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sornafex::chart {
namespace {

class ResponseGraphTest : public testing::Test {
protected:
    TCustomChart chart;
    TLineSeries& series = SetupResponseChart(chart);
    TResponseGraph graph{chart, series};

    // The series as (x, y) with NAN for a gap.
    std::vector<std::pair<double, double>> Points() const {
        std::vector<std::pair<double, double>> points;
        for (int i = 0; i < series.Count(); ++i)
            points.emplace_back(series.XValues().Value(i),
                                series.IsNull(i) ? NAN : series.YValues().Value(i));
        return points;
    }
};

TEST_F(ResponseGraphTest, ShowsTheLastSecondsBeforeNowWithTheirGapsMarkersAndScale) {
    graph.Begin(TResponseUnit::Hertz);
    ASSERT_TRUE(graph.SetSeconds(30));
    EXPECT_FALSE(graph.SetSeconds(45));
    graph.AddMarker(5, "Q1");
    graph.AddMarker(38, "Q2");
    for (int tenth = 1; tenth <= 400; ++tenth) {
        const double t = tenth / 10.0;
        // No estimate from 39.5 s to 39.7 s: a gap, never a 0.
        const bool gap = tenth >= 395 && tenth <= 397;
        graph.Add(t, gap ? std::nullopt : std::optional<double>(50));
    }
    const auto points = Points();
    // 40 s of points, of which the last 30 s are in view: from −30 s to now.
    ASSERT_EQ(points.size(), 301u);
    EXPECT_DOUBLE_EQ(points.front().first, -30);
    EXPECT_DOUBLE_EQ(points.back().first, 0);
    EXPECT_DOUBLE_EQ(points[294].second, 50);
    EXPECT_TRUE(std::isnan(points[295].second));
    EXPECT_TRUE(std::isnan(points[297].second));
    EXPECT_DOUBLE_EQ(points[298].second, 50);
    // Q1 is out of view; Q2 stands 2 s before now.
    ASSERT_EQ(chart.Markers().size(), 1u);
    EXPECT_EQ(chart.Markers()[0].label, "Q2");
    EXPECT_DOUBLE_EQ(chart.Markers()[0].x, -2);
    EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), -30);
    // 2 % of 50 Hz around the baseline.
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), 49.5);
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Maximum(), 50.5);
    EXPECT_EQ(chart.LeftAxis().Unit(), "Hz");

    // A wider span shows what was kept; an undone mark leaves the chart.
    ASSERT_TRUE(graph.SetSeconds(60));
    EXPECT_EQ(Points().size(), 400u);
    EXPECT_TRUE(graph.RemoveMarker("Q2"));
    EXPECT_EQ(chart.Markers().size(), 1u);
    EXPECT_EQ(chart.Markers()[0].label, "Q1");
}

TEST_F(ResponseGraphTest, TextsUseTheFrenchDecimalComma) {
    EXPECT_EQ(TResponseGraph::ValueText(50.2371, TResponseUnit::Hertz), "50,237 Hz");
    EXPECT_EQ(TResponseGraph::ValueText(5.0238, TResponseUnit::MicroSiemens), "5,024 µS");
    graph.Begin(TResponseUnit::Hertz);
    EXPECT_EQ(graph.SpanText(), "2 %");
    graph.MoreSensitive();
    graph.MoreSensitive();
    EXPECT_EQ(graph.SpanText(), "0,5 %");
    graph.Begin(TResponseUnit::MicroSiemens);
    EXPECT_EQ(graph.SpanText(), "1 µS");
    EXPECT_EQ(chart.LeftAxis().Unit(), "µS");
}

} // namespace
} // namespace sornafex::chart
