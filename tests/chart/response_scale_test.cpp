#include "chart/response_scale.h"

#include <gtest/gtest.h>
#include <vector>

namespace sornafex::chart {
namespace {

TEST(ResponseScale, RecentresWhenTheTraceLeavesTheMiddleOfTheSpan) {
    struct TStep {
        double value;
        bool recentred;
        double baseline;
    };
    struct TCase {
        const char* name;
        TResponseUnit unit;
        std::size_t span;
        std::vector<TStep> steps;
    };
    const TCase cases[] = {
        // 2 % of 50 Hz: a span of 1 Hz, whose middle 80 % reaches 0.4 Hz either side.
        {"HertzTwoPercent",
         TResponseUnit::Hertz,
         kDefaultPercentSpan,
         {{50, false, 50},
          {50.4, false, 50},
          {49.6, false, 50},
          {50.41, true, 50.41},
          // The span follows the new level: 2 % of 50.41 Hz.
          {50.0, true, 50.0}}},
        {"HertzHalfPercent",
         TResponseUnit::Hertz,
         0,
         {{100, false, 100}, {100.19, false, 100}, {100.21, true, 100.21}}},
        // 1 µS: the middle 80 % is ±0.4 µS whatever the level.
        {"MicroSiemens",
         TResponseUnit::MicroSiemens,
         kDefaultMicroSiemensSpan,
         {{5, false, 5},
          {5.39, false, 5},
          {4.61, false, 5},
          {4.59, true, 4.59},
          {4.9, false, 4.59}}},
        // A line at 0 Hz keeps a span to show.
        {"ZeroLevel",
         TResponseUnit::Hertz,
         5,
         {{0, false, 0}, {0.07, false, 0}, {0.09, true, 0.09}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TResponseScale scale;
        scale.SetUnit(c.unit);
        scale.SetSpanIndex(c.unit, c.span);
        for (const TStep& step : c.steps) {
            EXPECT_EQ(scale.Follow(step.value), step.recentred) << step.value;
            EXPECT_DOUBLE_EQ(scale.Baseline(), step.baseline) << step.value;
            EXPECT_NEAR(scale.Top() - scale.Bottom(), scale.Span(), 1e-12);
        }
    }
}

TEST(ResponseScale, SensitivityStepsThroughItsTableAndStopsAtTheEnds) {
    TResponseScale scale;
    EXPECT_DOUBLE_EQ(scale.SpanSetting(), 2);
    std::vector<double> settings;
    while (scale.MoreSensitive())
        settings.push_back(scale.SpanSetting());
    while (scale.LessSensitive())
        settings.push_back(scale.SpanSetting());
    EXPECT_EQ(settings, (std::vector<double>{1, 0.5, 1, 2, 5, 10, 20}));
    // Each unit keeps its own sensitivity; a unit change places the trace anew.
    scale.Follow(40);
    scale.SetUnit(TResponseUnit::MicroSiemens);
    EXPECT_DOUBLE_EQ(scale.SpanSetting(), 1);
    EXPECT_FALSE(scale.Placed());
}

} // namespace
} // namespace sornafex::chart
