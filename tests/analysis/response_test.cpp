#include "analysis/fine_frequency.h"
#include "analysis/response.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sornafex {
namespace {

constexpr double kBaseHertz = 50;
constexpr double kDelay = static_cast<double>(TFineFrequency::kDelay) * 1e-9;

// A skin conductance response: a smooth rise over 1.5 s, then an exponential recovery with a
// time constant of 4 s (none: a shift of the level); `percent` of the base frequency high.
struct TScr {
    double start;
    double percent;
    bool recovers = true;
};

double ScrShape(const TScr& scr, double t) {
    t -= scr.start;
    if (t <= 0)
        return 0;
    if (t < 1.5)
        return scr.percent * (1 - std::cos(std::numbers::pi * t / 1.5)) / 2;
    return scr.percent * (scr.recovers ? std::exp(-(t - 1.5) / 4) : 1);
}

struct TQuestion {
    double onset;
    bool detected;
    bool measured = true;
    bool overlaps = false;
};

struct TRun {
    std::string name;
    double seconds;
    std::vector<TQuestion> questions;
    std::vector<TScr> responses = {};
    double wander = 0.8; // % of the base frequency, over 70 s
    double noise = 0.01; // % of the base frequency, correlated over 0.3 s
    std::optional<std::pair<double, double>> lost = {}; // the port lost at, back at
    bool calibrated = false;
    double amplitudeMargin = 0.05, timeMargin = 0.3; // of the amplitude; s
};

// The line's frequency without its noise, in % above the base.
double Clean(const TRun& run, double t) {
    double percent = run.wander * std::sin(2 * std::numbers::pi * t / 70);
    for (const TScr& scr : run.responses)
        percent += ScrShape(scr, t);
    return percent;
}

// The fine points of the run, through the estimator, from its line's change times (±20 µs).
std::vector<TFinePoint> FinePoints(const TRun& run) {
    constexpr TMonoNs kStart = 3 * kNsPerSecond;
    constexpr double kStep = 5e-4;
    std::mt19937_64 random(5);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> jitter(-20e-6, 20e-6);
    TFineFrequency fine(kStart);
    double phase = 0, noise = 0;
    std::uint64_t index = 0;
    const double keep = std::exp(-kStep / 0.3);
    bool lost = false;
    for (double t = 0; t < run.seconds; t += kStep) {
        if (run.lost && lost != (t >= run.lost->first && t < run.lost->second)) {
            lost = !lost;
            const TMonoNs at = kStart + static_cast<TMonoNs>(t * 1e9);
            lost ? fine.LineLost(at) : fine.LineBack(at);
        }
        noise = keep * noise + std::sqrt(1 - keep * keep) * run.noise * normal(random);
        const double hertz = kBaseHertz * (1 + (Clean(run, t) + noise) / 100);
        const double next = phase + hertz * kStep;
        for (double change = std::floor(2 * phase) + 1; change <= 2 * next; ++change) {
            const double at = t + (change / 2 - phase) / hertz + jitter(random);
            if (!lost)
                fine.AddChange(index++, kStart + static_cast<TMonoNs>(std::llround(at * 1e9)));
        }
        phase = next;
    }
    std::vector<TFineEstimate> estimates;
    fine.EstimatesUntil(kStart + static_cast<TMonoNs>(run.seconds * 1e9), estimates);
    std::vector<TFinePoint> points;
    for (const TFineEstimate& e : estimates) {
        TFinePoint& point = points.emplace_back();
        point.seconds = static_cast<double>(e.at - kStart) * 1e-9;
        point.hertz = e.hertz;
        // An RC oscillator calibrated at 10 µS for the base frequency.
        if (run.calibrated && e.hertz)
            point.microSiemens = 10 * *e.hertz / kBaseHertz;
    }
    return points;
}

class ResponseMeter : public testing::TestWithParam<TRun> {};

TEST_P(ResponseMeter, MeasuresTheResponses) {
    const TRun& run = GetParam();
    TResponseMeter meter({}, run.calibrated);
    std::vector<TResponse> responses;
    std::vector<double> closedAt;
    std::size_t asked = 0;
    for (const TFinePoint& point : FinePoints(run)) {
        while (asked < run.questions.size() && run.questions[asked].onset <= point.seconds)
            meter.AddOnset(run.questions[asked++].onset);
        meter.AddPoint(point);
        meter.TakeClosed(responses);
        closedAt.resize(responses.size(), point.seconds);
    }
    meter.EndOfRun();
    meter.TakeClosed(responses);
    closedAt.resize(responses.size(), run.seconds);
    ASSERT_EQ(responses.size(), run.questions.size());

    const TResponseSettings settings;
    for (std::size_t q = 0; q < responses.size(); ++q) {
        const TResponse& r = responses[q];
        const TQuestion& question = run.questions[q];
        SCOPED_TRACE(question.onset);
        EXPECT_EQ(r.detected, question.detected);
        EXPECT_EQ(r.measured, question.measured);
        EXPECT_EQ(r.overlapsPrevious, question.overlaps);
        // It comes out with the first point that reaches the end of its window.
        double closes = question.onset + settings.window;
        if (q + 1 < run.questions.size())
            closes = std::min(closes, run.questions[q + 1].onset);
        EXPECT_NEAR(closedAt[q], std::min(closes + kDelay, run.seconds), 0.1);
        if (!question.detected)
            continue;
        ASSERT_TRUE(r.rise);
        const TScr* truth = nullptr;
        for (const TScr& scr : run.responses)
            if (scr.start >= question.onset + 1 && scr.start <= question.onset + 4)
                truth = &scr;
        ASSERT_TRUE(truth);
        // The truth: the clean line's rise above its level at the start, up to the next response.
        double peakAt = truth->start, end = truth->start + 6;
        for (const TScr& scr : run.responses)
            if (scr.start > truth->start)
                end = std::min(end, scr.start);
        for (double t = truth->start; t < end; t += 0.001)
            if (Clean(run, t) > Clean(run, peakAt))
                peakAt = t;
        const double amplitude = Clean(run, peakAt) - Clean(run, truth->start);
        EXPECT_NEAR(*r.Latency(), truth->start - question.onset, run.timeMargin);
        const double hertz = kBaseHertz * amplitude / 100;
        EXPECT_NEAR(r.rise->amplitudeHertz / hertz, 1, run.amplitudeMargin);
        const double level = 1 + Clean(run, question.onset) / 100;
        EXPECT_NEAR(r.rise->amplitudePercent / (amplitude / level), 1, run.amplitudeMargin);
        if (run.calibrated) {
            EXPECT_NEAR(*r.rise->amplitudeMicroSiemens / (10 * amplitude / 100), 1,
                        run.amplitudeMargin);
        }
        double halfBack = peakAt;
        while (Clean(run, halfBack) > Clean(run, peakAt) - amplitude / 2 && halfBack < closes)
            halfBack += 0.001;
        // A smaller recovery is as slow as the wander and the noise: its half is not sharp.
        if (truth->percent >= 0.5 && halfBack < closes - 0.5) {
            ASSERT_TRUE(r.rise->halfRecovery);
            EXPECT_NEAR(*r.rise->halfRecovery, halfBack - peakAt, run.timeMargin);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ResponseMeter,
    testing::Values(
        TRun{"KnownResponses",
             60,
             {{10, true}, {25, true}, {40, true}},
             {{11.2, 1}, {27.5, 3}, {43.5, 0.5}}},
        TRun{.name = "NoiseOnly", .seconds = 30, .questions = {{10, false}}, .noise = 0.04},
        // Rises that start 0.5 s and 4.6 s after their question are not its responses.
        TRun{"TooEarlyAndTooLate", 50, {{10, false}, {30, false}}, {{10.5, 2}, {34.6, 2}}},
        // The larger of two rises in the latency window is the response.
        TRun{"TwoRisesInTheWindow", 30, {{10, true}}, {{11, 0.8}, {13.5, 2}}},
        // The second question comes while the first response recovers.
        TRun{"TwoOverlapping", 40, {{10, true}, {17, true, true, true}}, {{12, 2}, {19.5, 1.5}}},
        // Asked 2 s before the end, the last question's latency window never closed.
        TRun{"QuestionAtTheEnd", 40, {{20, true}, {38, false, false}}, {{22, 1}}},
        TRun{"LevelShift", 30, {{10, false}}, {{12, 1, false}}},
        TRun{.name = "PortLostInTheWindow",
             .seconds = 40,
             .questions = {{10, false, false}, {25, true}},
             .responses = {{12, 2}, {27, 2}},
             .lost = std::pair{14.0, 16.0}},
        // 0.15 % is 0.015 µS on 10 µS: detected in µS, not by 0.2 % of the level; at 0.075 Hz
        // the noise weighs more.
        TRun{.name = "SmallInMicrosiemens",
             .seconds = 30,
             .questions = {{10, true}},
             .responses = {{12, 0.15}},
             .wander = 0.2,
             .noise = 0.005,
             .calibrated = true,
             .amplitudeMargin = 0.15,
             .timeMargin = 0.4},
        TRun{.name = "SmallInHertz",
             .seconds = 30,
             .questions = {{10, false}},
             .responses = {{12, 0.15}},
             .wander = 0.2,
             .noise = 0.005}),
    [](const testing::TestParamInfo<TRun>& info) { return info.param.name; });

} // namespace
} // namespace sornafex
