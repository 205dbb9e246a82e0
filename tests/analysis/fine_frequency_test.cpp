#include "analysis/fine_frequency.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sornafex {
namespace {

constexpr TMonoNs kRunStart = 7 * kNsPerSecond;

TMonoNs At(double seconds) {
    return kRunStart + static_cast<TMonoNs>(std::llround(seconds * 1e9));
}

double Seconds(TMonoNs at) {
    return static_cast<double>(at - kRunStart) * 1e-9;
}

// A line of f0 Hz that from `from` on steps to f0 · (1 + step) or ramps by f0 · ramp a second.
struct TLine {
    double f0, step = 0, ramp = 0, from = 0;
    double duty = 0.5; // the share of a period spent high
    double spread = 0; // s: each change moved by up to this much either way
    double late = 0;   // s: each change delayed by up to this much (a USB adapter's packets)
    double lostAt = 0, backAt = 0;
    double skipAt = 0;  // three changes numbered and never timed there
    double pauseAt = 0; // the polls paused before the change there, for longer than a level
    double stopAt = 1e9;

    double Hertz(double t) const { return t < from ? f0 : f0 * (1 + step + ramp * (t - from)); }
    // The exact time of the n-th change (n ≥ 1), from the inverse of the line's phase.
    double ChangeTime(std::uint64_t n) const {
        const double phase = static_cast<double>(n) / 2, before = f0 * from, f1 = f0 * (1 + step);
        const double after = phase - before, slope = f0 * ramp;
        const double t = phase <= before ? phase / f0
                         : slope == 0
                             ? from + after / f1
                             : from + (std::sqrt(f1 * f1 + 2 * slope * after) - f1) / slope;
        return t + (n % 2 == 0 ? (duty - 0.5) / Hertz(t) : 0);
    }
    std::vector<TFineEstimate> Estimates(double until) const {
        std::mt19937_64 random(11);
        std::uniform_real_distribution<double> unit(0, 1);
        TFineFrequency fine(kRunStart);
        TMonoNs last = kRunStart;
        std::uint64_t index = 0;
        bool lost = false;
        int skipped = 0;
        for (std::uint64_t n = 1;; ++n) {
            const double t = ChangeTime(n) + (2 * unit(random) - 1) * spread + unit(random) * late;
            if (t > std::min(until, stopAt))
                break;
            if (backAt > 0 && !lost && t >= lostAt) {
                fine.LineLost(At(lostAt));
                fine.LineBack(At(backAt));
                lost = true;
            }
            if (lost && t < backAt)
                continue;
            if (skipAt > 0 && skipped < 3 && t >= skipAt) {
                ++index;
                ++skipped;
                continue;
            }
            last = std::max(last, At(t));
            const bool paused = pauseAt > 0 && t >= pauseAt && t < pauseAt + 0.01;
            fine.AddChange(index++, last, 0, paused ? 25 * kNsPerMs : 0);
        }
        std::vector<TFineEstimate> estimates;
        fine.EstimatesUntil(At(until), estimates);
        return estimates;
    }
};

struct TAccuracyCase {
    std::string name;
    TLine line;
    double medianPercent, worstPercent;
};

class FineAccuracy : public testing::TestWithParam<TAccuracyCase> {};

// The estimates of a steady line over 20 s, the first two left out, and the whole-run fit of
// its first 3 s, against the line's frequency.
TEST_P(FineAccuracy, StaysWithinTheBounds) {
    const TAccuracyCase& c = GetParam();
    const std::vector<TFineEstimate> estimates = c.line.Estimates(20);
    ASSERT_EQ(estimates.size(), 200u);
    std::vector<double> errors;
    for (const TFineEstimate& e : estimates)
        if (e.at >= At(2)) {
            ASSERT_TRUE(e.hertz) << Seconds(e.at);
            errors.push_back(std::abs(*e.hertz / c.line.f0 - 1) * 100);
        }
    std::sort(errors.begin(), errors.end());
    EXPECT_LE(errors[errors.size() / 2], c.medianPercent);
    EXPECT_LE(errors.back(), c.worstPercent);
    // The calibration's mean over a few seconds, the first span's missing estimates left out.
    EXPECT_LE(
        std::abs(MeanFrequency(std::span(estimates).first(40), 20).value_or(0) / c.line.f0 - 1) *
            100,
        c.worstPercent);
    EXPECT_FALSE(MeanFrequency(std::span(estimates).first(30), 27));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FineAccuracy,
    testing::Values(TAccuracyCase{"Exact50Hz", {.f0 = 50}, 1e-5, 1e-5},
                    TAccuracyCase{"Jitter20us", {.f0 = 50, .spread = 20e-6}, 0.01, 0.05},
                    TAccuracyCase{"UsbPackets1ms", {.f0 = 50, .late = 1e-3}, 0.5, 0.5},
                    TAccuracyCase{"Spread1ms", {.f0 = 50, .spread = 1e-3}, 0.5, 0.5},
                    // A plain fit of the index would be off by 0.02 % here.
                    TAccuracyCase{"Duty60Percent", {.f0 = 50, .duty = 0.6}, 1e-5, 1e-5},
                    // Below 8 Hz the span reaches back to hold 8 changes.
                    TAccuracyCase{"Slow3Hz", {.f0 = 3, .spread = 20e-6}, 0.01, 0.05},
                    TAccuracyCase{"Fast10kHz", {.f0 = 10000, .spread = 20e-6}, 0.01, 0.05},
                    // Dropped by a full ring, or counted by the driver and seen by no poll.
                    TAccuracyCase{"ChangesUntimed", {.f0 = 50, .skipAt = 5.005}, 1e-5, 1e-5}),
    [](const testing::TestParamInfo<TAccuracyCase>& info) { return info.param.name; });

struct TChangeCase {
    std::string name;
    TLine line;
    double within; // s after the step: 90 % of it reached, or on a ramp the lag's margin
};

class FineDynamics : public testing::TestWithParam<TChangeCase> {};

// A step is followed within `within` s; a ramp lags by kDelay.
TEST_P(FineDynamics, FollowsTheChange) {
    const TLine& line = GetParam().line;
    std::optional<double> reached;
    for (const TFineEstimate& e : line.Estimates(line.from + 3)) {
        const double t = Seconds(e.at);
        ASSERT_TRUE(e.hertz || t < 1) << t;
        if (line.step != 0 && !reached && t > line.from && *e.hertz >= line.f0 * 1.009)
            reached = t - line.from;
        if (line.ramp != 0 && t >= line.from + 1) {
            EXPECT_NEAR((line.Hertz(t) - *e.hertz) / (line.f0 * line.ramp),
                        static_cast<double>(TFineFrequency::kDelay) * 1e-9, GetParam().within);
        }
    }
    if (line.step != 0) {
        EXPECT_LE(reached.value_or(99), GetParam().within);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, FineDynamics,
    testing::Values(
        // +1 % just before, and just after, an estimate is due.
        TChangeCase{"StepBeforeAnEstimate", {.f0 = 50, .step = 0.01, .from = 10.0999}, 0.5},
        TChangeCase{"StepAfterAnEstimate", {.f0 = 50, .step = 0.01, .from = 10.0001}, 0.5},
        TChangeCase{"StepAt8Hz", {.f0 = 8, .step = 0.01, .from = 10.0999}, 0.5},
        TChangeCase{"Ramp2PercentASecond", {.f0 = 50, .ramp = 0.02, .from = 10}, 0.01}),
    [](const testing::TestParamInfo<TChangeCase>& info) { return info.param.name; });

struct TGapCase {
    std::string name;
    TLine line;
    std::vector<std::pair<double, double>> none, some; // s: where estimates must lack, or hold
};

class FineGaps : public testing::TestWithParam<TGapCase> {};

TEST_P(FineGaps, GiveNoEstimate) {
    const TGapCase& c = GetParam();
    const std::vector<TFineEstimate> estimates = c.line.Estimates(6);
    const auto within = [](const auto& spans, double t) {
        return std::any_of(spans.begin(), spans.end(), [t](const auto& s) {
            return t >= s.first - 1e-6 && t <= s.second + 1e-6;
        });
    };
    for (const TFineEstimate& e : estimates) {
        const double t = Seconds(e.at);
        ASSERT_NE(within(c.none, t), within(c.some, t)) << t;
        EXPECT_EQ(e.hertz.has_value(), within(c.some, t)) << t;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FineGaps,
    testing::Values(
        TGapCase{"Silence", {.f0 = 50, .stopAt = 0}, {{0.1, 6}}, {}},
        // The first span to lie wholly after the start ends at 0.48 s.
        TGapCase{"StoppedLine", {.f0 = 50, .stopAt = 3}, {{0.1, 0.4}, {3.1, 6}}, {{0.5, 3}}},
        // Lost 5 ms before an estimate is due: too soon for the line to look stopped.
        TGapCase{"PortLost",
                 {.f0 = 50, .lostAt = 2.095, .backAt = 3.05},
                 {{0.1, 0.4}, {2.1, 3.5}},
                 {{0.5, 2}, {3.6, 6}}},
        // A pause of the polls as long as a level could have hidden a pulse.
        TGapCase{"PollsPaused",
                 {.f0 = 50, .pauseAt = 2.005},
                 {{0.1, 0.4}, {2.1, 2.4}},
                 {{0.5, 2}, {2.5, 6}}},
        // 8 changes take 1.33 s at 3 Hz; at 1.5 Hz they take longer than the longest span.
        TGapCase{"SlowLine", {.f0 = 3}, {{0.1, 1.3}}, {{1.4, 6}}},
        TGapCase{"TooSlowLine", {.f0 = 1.5}, {{0.1, 6}}, {}}),
    [](const testing::TestParamInfo<TGapCase>& info) { return info.param.name; });

} // namespace
} // namespace sornafex
