// The fine frequency against the true change times of a simulated sensor.
//
//   BM_FineAccuracy/<jitter>  62 s of a 50 Hz sensor (TSimSpec{50, 50}), every change time moved
//                             by a seeded jitter: none, ±20 µs, a USB adapter's 0..1 ms, ±1 ms;
//                             median and worst relative error of the estimates from 2 s on
//   BM_FineStep               a +1 % step at 100 phases of the estimates' 100 ms grid: the worst
//                             time from the step to the first estimate at 90 % of it
//   BM_FineRamp               a 2 %/s ramp: how far behind the estimates are, mean and spread
//   BM_FineCost/<hertz>       processor time per change, the estimates ten times a second
//                             included, at 50 Hz, 1 kHz and 10 kHz

#include "analysis/fine_frequency.h"
#include "serial/sim_com_device.h"
#include "serial/sim_profile.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace sornafex {
namespace {

constexpr TMonoNs kRunStart = 1000 * kNsPerSecond;

// The time in seconds of the n-th change (n ≥ 1) since the run's start.
using TChangeTimes = std::function<double(std::uint64_t)>;

// The simulated sensor following a frequency profile, as sim:file: makes it: its exact change
// times are SimTransitionTime's.
TChangeTimes ProfileTimes(std::vector<TProfilePoint> points) {
    auto profile = std::make_shared<const TSimProfile>(std::move(points));
    const TSimSpec sensor{profile->Lowest(), profile->Highest(), profile};
    return [sensor](std::uint64_t n) {
        return SimTransitionTime(sensor, n);
    };
}

// A step from f0 to f0 · (1 + step) at `at` (within a microsecond), and a ramp from f0 by
// f0 · rate a second from `at` on.
TChangeTimes StepTimes(double f0, double step, double at) {
    return ProfileTimes({{0, f0}, {at, f0}, {at + 1e-6, f0 * (1 + step)}});
}

TChangeTimes RampTimes(double f0, double rate, double at) {
    return ProfileTimes({{0, f0}, {at, f0}, {at + 100, f0 * (1 + rate * 100)}});
}

TChangeTimes SimTimes(double hertz) {
    return [hertz](std::uint64_t n) {
        return SimTransitionTime(TSimSpec{hertz, hertz}, n);
    };
}

// The changes until `seconds`, each time moved by jitter(random) and never before the one
// before it.
std::vector<TMonoNs> Changes(const TChangeTimes& timeOf, double seconds,
                             const std::function<double(std::mt19937_64&)>& jitter) {
    std::mt19937_64 random(42);
    std::vector<TMonoNs> times;
    for (std::uint64_t n = 1;; ++n) {
        const double t = timeOf(n);
        if (t > seconds)
            return times;
        const TMonoNs at = kRunStart + std::llround((t + jitter(random)) * 1e9);
        times.push_back(times.empty() ? at : std::max(at, times.back()));
    }
}

// The estimator fed as the UI thread feeds it: the changes, and the estimates every 100 ms.
std::vector<TFineEstimate> Estimate(const std::vector<TMonoNs>& times, double seconds) {
    TFineFrequency fine(kRunStart);
    std::vector<TFineEstimate> estimates;
    TMonoNs next = kRunStart + TFineFrequency::kInterval;
    for (std::size_t i = 0; i < times.size(); ++i) {
        for (; next < times[i]; next += TFineFrequency::kInterval)
            fine.EstimatesUntil(next, estimates);
        fine.AddChange(i, times[i]);
    }
    fine.EstimatesUntil(kRunStart + std::llround(seconds * 1e9), estimates);
    return estimates;
}

double Seconds(TMonoNs at) {
    return static_cast<double>(at - kRunStart) * 1e-9;
}

const std::function<double(std::mt19937_64&)> kJitters[] = {
    [](std::mt19937_64&) { return 0.0; },
    [](std::mt19937_64& r) { return std::uniform_real_distribution<double>(-20e-6, 20e-6)(r); },
    [](std::mt19937_64& r) { return std::uniform_real_distribution<double>(0, 1e-3)(r); },
    [](std::mt19937_64& r) { return std::uniform_real_distribution<double>(-1e-3, 1e-3)(r); },
};
const char* const kJitterNames[] = {"none", "±20 µs", "0..1 ms", "±1 ms"};

void BM_FineAccuracy(benchmark::State& state) {
    constexpr double kSeconds = 62;
    const auto jitter = static_cast<std::size_t>(state.range(0));
    state.SetLabel(kJitterNames[jitter]);
    const std::vector<TMonoNs> times = Changes(SimTimes(50), kSeconds, kJitters[jitter]);
    std::vector<TFineEstimate> estimates;
    for (auto _ : state)
        estimates = Estimate(times, kSeconds);
    std::vector<double> errors;
    std::size_t missing = 0;
    for (const TFineEstimate& e : estimates)
        if (Seconds(e.at) >= 2) {
            if (e.hertz)
                errors.push_back(std::abs(*e.hertz / 50 - 1) * 100);
            else
                ++missing;
        }
    std::sort(errors.begin(), errors.end());
    state.counters["estimates"] = static_cast<double>(errors.size());
    state.counters["missing"] = static_cast<double>(missing);
    state.counters["median_pct"] = errors[errors.size() / 2];
    state.counters["worst_pct"] = errors.back();
}
BENCHMARK(BM_FineAccuracy)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FineStep(benchmark::State& state) {
    double worst = 0;
    for (auto _ : state)
        for (int phase = 0; phase < 100; ++phase) {
            const double at = 10 + phase * 0.001;
            const std::vector<TFineEstimate> estimates =
                Estimate(Changes(StepTimes(50, 0.01, at), at + 2, kJitters[0]), at + 2);
            const auto reached = std::find_if(estimates.begin(), estimates.end(), [&](auto& e) {
                return Seconds(e.at) > at && e.hertz && *e.hertz >= 50 * 1.009;
            });
            worst = std::max(worst, Seconds(reached->at) - at);
        }
    state.counters["worst_90pct_s"] = worst;
}
BENCHMARK(BM_FineStep)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FineRamp(benchmark::State& state) {
    constexpr double kRate = 0.02;
    std::vector<double> lags;
    for (auto _ : state) {
        const std::vector<TFineEstimate> estimates =
            Estimate(Changes(RampTimes(50, kRate, 10), 20, kJitters[0]), 20);
        for (const TFineEstimate& e : estimates)
            if (Seconds(e.at) >= 11)
                lags.push_back((50 * (1 + kRate * (Seconds(e.at) - 10)) - *e.hertz) / (50 * kRate));
    }
    const auto [least, most] = std::minmax_element(lags.begin(), lags.end());
    double sum = 0;
    for (const double lag : lags)
        sum += lag;
    state.counters["lag_s"] = sum / static_cast<double>(lags.size());
    state.counters["lag_spread_s"] = *most - *least;
    state.counters["delay_s"] = static_cast<double>(TFineFrequency::kDelay) * 1e-9;
}
BENCHMARK(BM_FineRamp)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FineCost(benchmark::State& state) {
    const double hertz = static_cast<double>(state.range(0));
    const double seconds = 200'000 / (2 * hertz);
    const std::vector<TMonoNs> times = Changes(SimTimes(hertz), seconds, kJitters[1]);
    for (auto _ : state)
        benchmark::DoNotOptimize(Estimate(times, seconds));
    state.counters["per_change"] = benchmark::Counter(
        static_cast<double>(times.size()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FineCost)->Arg(50)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace sornafex

BENCHMARK_MAIN();
