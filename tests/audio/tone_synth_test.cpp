#include "audio/tone_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using TSamples = std::vector<std::int16_t>;
using TScript = std::function<void(TToneSynth&)>;
constexpr int kRate = 48000;
constexpr double kFullScale = 32767.0;

TSamples Render(TToneSynth& synth, double ms) {
    TSamples out(static_cast<std::size_t>(ms * synth.SampleRate() / 1000));
    synth.Render(out);
    return out;
}

// Times in seconds of the rising zero crossings, found between samples by a straight line.
std::vector<double> Crossings(const TSamples& s, int rate) {
    std::vector<double> at;
    for (std::size_t i = 1; i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
            at.push_back((i - 1 + double(s[i - 1]) / (s[i - 1] - s[i])) / rate);
    return at;
}

double MeasuredPitch(const TSamples& s, int rate) {
    const std::vector<double> at = Crossings(s, rate);
    return at.size() < 2 ? 0 : (at.size() - 1) / (at.back() - at.front());
}

int LargestJump(const TSamples& s, std::size_t from = 1) {
    int largest = 0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < s.size(); ++i)
        largest = std::max(largest, std::abs(s[i] - s[i - 1]));
    return largest;
}

// The largest step of a sine of this peak and pitch, with room for the fades and the rounding.
double SineStep(double peak, double hz, int rate) {
    return 1.15 * peak * kFullScale * 2 * std::numbers::pi * hz / rate + 2;
}

// Sounding at full volume over the span [40, 90] (the fine frequency of a person, in hertz).
TToneSynth Sounding(int rate, double value) {
    TToneSynth synth(rate);
    synth.SetVolume(100);
    synth.SetSpan(40, 90);
    synth.SetValue(value);
    return synth;
}

struct TPitchCase {
    std::string name;
    int rate;
    double bottom, top, value, hz;
};

class Pitch : public testing::TestWithParam<TPitchCase> {};

TEST_P(Pitch, FollowsTheValueOverTheSpan) {
    const TPitchCase& c = GetParam();
    TToneSynth synth(c.rate);
    ASSERT_TRUE(synth.SetSpan(c.bottom, c.top));
    synth.SetValue(c.value);
    EXPECT_NEAR(MeasuredPitch(Render(synth, 500), c.rate) / c.hz, 1.0, 0.005);
}

INSTANTIATE_TEST_SUITE_P(Span, Pitch,
                         testing::Values(TPitchCase{"Bottom", kRate, 40, 90, 40, 220},
                                         TPitchCase{"Centre", kRate, 40, 90, 65, 440},
                                         TPitchCase{"Top", kRate, 40, 90, 90, 880},
                                         TPitchCase{"QuarterIsHalfAnOctave", kRate, 40, 90, 52.5,
                                                    311.13},
                                         TPitchCase{"BelowGoesOn", kRate, 40, 90, 27.5, 155.56},
                                         TPitchCase{"AboveGoesOn", 44100, 40, 90, 102.5, 1244.5},
                                         TPitchCase{"FarBelowStops", kRate, 40, 90, -1e9, 110},
                                         TPitchCase{"FarAboveStops", 44100, 40, 90, 1e9, 1760},
                                         TPitchCase{"Microsiemens", kRate, 1.5, 2.5, 2.25, 622.25}),
                         [](const auto& info) { return info.param.name; });

TEST(PitchSpan, RefusesAnEmptyReversedOrInfiniteSpanAndKeepsTheLast) {
    TToneSynth synth = Sounding(kRate, 90);
    for (const auto& [bottom, top] :
         {std::pair{5.0, 5.0}, {6.0, 5.0}, {0.0, NAN}, {-INFINITY, 1.0}})
        EXPECT_FALSE(synth.SetSpan(bottom, top)) << bottom << ".." << top;
    EXPECT_NEAR(MeasuredPitch(Render(synth, 500), kRate) / 880, 1.0, 0.005);
}

struct TBoundaryCase {
    std::string name;
    int rate;
    double value, hz; // hz: the highest pitch heard
    std::vector<std::size_t> sizes;
    bool valueChanges; // the value swings between the span's bottom and top at every boundary
};

class Boundaries : public testing::TestWithParam<TBoundaryCase> {};

TEST_P(Boundaries, CarryThePhase) {
    const TBoundaryCase& c = GetParam();
    TToneSynth cut = Sounding(c.rate, c.value);
    TSamples whole(c.rate / 2);
    std::vector<std::size_t> boundaries;
    for (std::size_t at = 0, i = 0; at < whole.size(); ++i) {
        const std::size_t size = std::min(c.sizes[i % c.sizes.size()], whole.size() - at);
        cut.Render({whole.data() + at, size});
        at += size;
        boundaries.push_back(at);
        if (c.valueChanges)
            cut.SetValue(i % 2 ? 40 : 90);
    }
    int largest = 0;
    for (const std::size_t at : boundaries)
        if (at < whole.size())
            largest = std::max(largest, std::abs(whole[at] - whole[at - 1]));
    EXPECT_LE(largest, SineStep(TToneSynth::kToneLevel, c.hz, c.rate));
    if (!c.valueChanges) {
        TToneSynth once = Sounding(c.rate, c.value);
        EXPECT_EQ(Render(once, 500), whole);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Boundaries,
    testing::Values(TBoundaryCase{"OneSample", kRate, 65, 440, {1}, false},
                    TBoundaryCase{"Primes", kRate, 90, 880, {2, 3, 7, 13, 441}, false},
                    TBoundaryCase{"PowersOfTwo", 44100, 1e9, 1760, {64, 1024, 4096}, false},
                    TBoundaryCase{"UnevenAtTheStop", kRate, 1e9, 1760, {1, 999, 4000}, false},
                    TBoundaryCase{"GlidingSmall", kRate, 65, 880, {1, 5, 17}, true},
                    TBoundaryCase{"GlidingPeriods", 44100, 65, 880, {1920, 441, 4410}, true}),
    [](const auto& info) { return info.param.name; });

struct TGlideCase {
    std::string name;
    int rate;
    double fromValue;
    TScript change;
    double fromHz, toHz;
};

class Glide : public testing::TestWithParam<TGlideCase> {};

// The time constant, read from the rendered pitch: when 63.2 % of the step in octaves is heard.
TEST_P(Glide, HasItsTimeConstant) {
    const TGlideCase& c = GetParam();
    TToneSynth synth = Sounding(c.rate, c.fromValue);
    Render(synth, 100);
    c.change(synth);
    const std::vector<double> at = Crossings(Render(synth, 200), c.rate);
    const double goal = std::log2(c.fromHz) + 0.632 * std::log2(c.toHz / c.fromHz);
    std::optional<double> reached;
    for (std::size_t i = 1; i + 1 < at.size() && !reached; ++i) {
        const double before = std::log2(1 / (at[i] - at[i - 1]));
        const double after = std::log2(1 / (at[i + 1] - at[i]));
        if ((after - goal) * (before - goal) <= 0) // between the middles of two periods
            reached = (at[i - 1] + at[i]) / 2 +
                      (goal - before) / (after - before) * (at[i + 1] - at[i - 1]) / 2;
    }
    ASSERT_TRUE(reached);
    EXPECT_NEAR(*reached, TToneSynth::kGlideSeconds, 0.002);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Glide,
    testing::Values(
        TGlideCase{"Up", kRate, 40, [](TToneSynth& s) { s.SetValue(90); }, 220, 880},
        TGlideCase{"Down", 44100, 90, [](TToneSynth& s) { s.SetValue(40); }, 880, 220},
        TGlideCase{"ToTheStop", kRate, 65, [](TToneSynth& s) { s.SetValue(1e6); }, 440, 1760},
        TGlideCase{"Recentring", kRate, 65, [](TToneSynth& s) { s.SetSpan(15, 65); }, 440, 880}),
    [](const auto& info) { return info.param.name; });

struct TSilenceCase {
    std::string name;
    TScript before; // renders what comes before the event
    TScript event;
    double fromMs, toMs; // where the transition after the event ends; none: silent throughout
};

class Silence : public testing::TestWithParam<TSilenceCase> {};

TEST_P(Silence, FallsAndComesBackWithoutAClick) {
    const TSilenceCase& c = GetParam();
    TToneSynth synth(kRate);
    synth.SetVolume(100);
    c.before(synth);
    TSamples before = Render(synth, 50);
    c.event(synth);
    const TSamples after = Render(synth, 100);
    const auto ms = [](std::size_t i) {
        return i * 1000.0 / kRate;
    };
    std::optional<double> endMs;
    if (c.fromMs < 0) {
        EXPECT_EQ(std::count(after.begin(), after.end(), 0), std::ssize(after));
    } else if (before.back() != 0 || before.end()[-2] != 0) { // fading out: the last sound
        const auto last = std::find_if(after.rbegin(), after.rend(), [](int s) { return s; });
        endMs = ms(after.rend() - last);
    } else { // fading in: the first sample at nine tenths of the tone's peak
        const auto full = std::find_if(after.begin(), after.end(), [](int s) {
            return std::abs(s) >= 0.9 * TToneSynth::kToneLevel * kFullScale;
        });
        endMs = ms(full - after.begin());
    }
    if (endMs) {
        EXPECT_GE(*endMs, c.fromMs);
        EXPECT_LE(*endMs, c.toMs);
    }
    before.insert(before.end(), after.begin(), after.end());
    EXPECT_LE(LargestJump(before), SineStep(TToneSynth::kToneLevel, 440, kRate));
}

const TScript kNothing = [](TToneSynth&) {
};
const TScript kTone = [](TToneSynth& s) {
    s.SetSpan(40, 90);
    s.SetValue(65);
};

INSTANTIATE_TEST_SUITE_P(
    States, Silence,
    testing::Values(
        TSilenceCase{"NoSpan", [](TToneSynth& s) { s.SetValue(65); }, kNothing, -1, 0},
        TSilenceCase{"NoValue", [](TToneSynth& s) { s.SetSpan(40, 90); }, kNothing, -1, 0},
        TSilenceCase{"VolumeZero",
                     [](TToneSynth& s) {
                         kTone(s);
                         s.SetVolume(0);
                     },
                     kNothing, -1, 0},
        TSilenceCase{"Loss", kTone, [](TToneSynth& s) { s.SetValue(std::nullopt); }, 4.5, 5.05},
        TSilenceCase{"NotFinite", kTone, [](TToneSynth& s) { s.SetValue(NAN); }, 4.5, 5.05},
        TSilenceCase{"Stop", kTone, [](TToneSynth& s) { s.Silence(); }, 4.5, 5.05},
        TSilenceCase{"BackAfterALoss",
                     [](TToneSynth& s) {
                         kTone(s);
                         Render(s, 20);
                         s.SetValue(std::nullopt);
                     },
                     [](TToneSynth& s) { s.SetValue(65); }, 3, 6.5}),
    [](const auto& info) { return info.param.name; });

struct TTickCase {
    std::string name;
    TScript before;
    bool stop, tickAgain; // 5 ms into the tick
    double lastMs;        // the tick's last sound
};

class Tick : public testing::TestWithParam<TTickCase> {};

// The tick is what a render with it adds to the same render without it.
TEST_P(Tick, IsAShortHigherTone) {
    const TTickCase& c = GetParam();
    TToneSynth plain(kRate), ticked(kRate);
    TSamples tick;
    for (TToneSynth* synth : {&plain, &ticked}) {
        synth->SetVolume(100);
        c.before(*synth);
        if (synth == &ticked)
            synth->Tick();
        TSamples out = Render(*synth, 5);
        if (c.stop)
            synth->Silence();
        if (c.tickAgain && synth == &ticked)
            synth->Tick();
        const TSamples rest = Render(*synth, 45);
        out.insert(out.end(), rest.begin(), rest.end());
        for (std::size_t i = 0; i < tick.size(); ++i)
            tick[i] = static_cast<std::int16_t>(out[i] - tick[i]);
        if (tick.empty())
            tick = out;
    }
    const auto last = std::find_if(tick.rbegin(), tick.rend(), [](int s) { return s; });
    const std::size_t length = tick.rend() - last;
    EXPECT_NEAR(length * 1000.0 / kRate, c.lastMs, 0.1);
    // It swells and dies away: its first and last millisecond are a fifth of its peak at most.
    const auto peak = [&](std::size_t from, std::size_t to) {
        return std::abs(*std::max_element(tick.begin() + from, tick.begin() + to,
                                          [](int a, int b) { return std::abs(a) < std::abs(b); }));
    };
    constexpr std::size_t kMs = kRate / 1000;
    EXPECT_LT(peak(0, kMs), peak(0, length) / 5);
    EXPECT_LT(peak(length - kMs, length), peak(0, length) / 5);
    EXPECT_NEAR(MeasuredPitch(tick, kRate), 3000, 15);
    EXPECT_LE(LargestJump(tick), SineStep(TToneSynth::kTickLevel, 3000, kRate));
}

INSTANTIATE_TEST_SUITE_P(Markers, Tick,
                         testing::Values(TTickCase{"OverSilence", kNothing, false, false, 15},
                                         TTickCase{"OverTheTone", kTone, false, false, 15},
                                         TTickCase{"SecondOneMerges", kTone, false, true, 15},
                                         TTickCase{"StopCutsIt", kTone, true, false, 10}),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace sornafex
