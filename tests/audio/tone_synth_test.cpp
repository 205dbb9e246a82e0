#include "audio/tone_synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using TSamples = std::vector<std::int16_t>;
using TScript = std::function<void(TToneSynth&)>;
constexpr int kRate = 48000;

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

// The largest step of a sine of this peak (a fraction of full scale) and pitch, with room for the
// fades and the rounding.
double SineStep(double peak, double hz, int rate = kRate) {
    return 1.15 * peak * 32767 * 2 * std::numbers::pi * hz / rate + 2;
}

// At full volume over the span [40, 90] (a person's fine frequency, in hertz).
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
    EXPECT_FALSE(synth.SetSpan(c.top, c.bottom)); // refused: the span before stays
    synth.SetValue(c.value);
    const std::vector<double> at = Crossings(Render(synth, 500), c.rate);
    ASSERT_GE(at.size(), 2u);
    EXPECT_NEAR((at.size() - 1) / (at.back() - at.front()) / c.hz, 1.0, 0.005);
}

INSTANTIATE_TEST_SUITE_P(Span, Pitch,
                         testing::Values(TPitchCase{"Bottom", kRate, 40, 90, 40, 220},
                                         TPitchCase{"Centre", kRate, 40, 90, 65, 440},
                                         TPitchCase{"Top", kRate, 40, 90, 90, 880},
                                         TPitchCase{"Quarter", kRate, 40, 90, 52.5, 311.13},
                                         TPitchCase{"AboveGoesOn", 44100, 40, 90, 102.5, 1244.5},
                                         TPitchCase{"FarBelowStops", kRate, 40, 90, -1e9, 110},
                                         TPitchCase{"FarAboveStops", 44100, 40, 90, 1e9, 1760},
                                         TPitchCase{"Microsiemens", kRate, 1.5, 2.5, 2.25, 622.25}),
                         [](const auto& info) { return info.param.name; });

struct TBoundaryCase {
    std::string name;
    int rate;
    double value, hz; // hz: the highest pitch heard
    std::vector<std::size_t> sizes;
    bool swings; // the value swings between the span's bottom and top at every boundary
};

class Boundaries : public testing::TestWithParam<TBoundaryCase> {};

TEST_P(Boundaries, CarryThePhase) {
    const TBoundaryCase& c = GetParam();
    TToneSynth cut = Sounding(c.rate, c.value);
    TSamples whole(c.rate / 2);
    int largest = 0;
    for (std::size_t at = 0, i = 0; at < whole.size(); ++i) {
        const std::size_t size = std::min(c.sizes[i % c.sizes.size()], whole.size() - at);
        cut.Render({whole.data() + at, size});
        if (at > 0)
            largest = std::max(largest, std::abs(whole[at] - whole[at - 1]));
        at += size;
        if (c.swings)
            cut.SetValue(i % 2 ? 40 : 90);
    }
    EXPECT_LE(largest, SineStep(TToneSynth::kToneLevel, c.hz, c.rate));
    if (!c.swings) {
        TToneSynth once = Sounding(c.rate, c.value);
        EXPECT_EQ(Render(once, 500), whole);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Boundaries,
    testing::Values(TBoundaryCase{"OneSample", kRate, 65, 440, {1}, false},
                    TBoundaryCase{"Primes", kRate, 90, 880, {2, 3, 7, 13, 441}, false},
                    TBoundaryCase{"PowersOfTwo", 44100, 1e9, 1760, {64, 1024, 4096}, false},
                    TBoundaryCase{"Uneven", kRate, 1e9, 1760, {1, 999, 4000}, false},
                    TBoundaryCase{"SwingingSmall", kRate, 65, 880, {1, 5, 17}, true},
                    TBoundaryCase{"SwingingLarge", 44100, 65, 880, {1920, 441, 4410}, true}),
    [](const auto& info) { return info.param.name; });

struct TGlideCase {
    std::string name;
    int rate;
    double value;
    TScript change;
    double fromHz, toHz;
};

class Glide : public testing::TestWithParam<TGlideCase> {};

// Read from the rendered pitch: the time at which 63.2 % of the step in octaves is heard.
TEST_P(Glide, HasItsTimeConstant) {
    const TGlideCase& c = GetParam();
    TToneSynth synth = Sounding(c.rate, c.value);
    Render(synth, 100);
    c.change(synth);
    const std::vector<double> at = Crossings(Render(synth, 200), c.rate);
    ASSERT_GE(at.size(), 3u);
    const double goal = std::log2(c.fromHz) + 0.632 * std::log2(c.toHz / c.fromHz);
    const auto octaves = [&](std::size_t i) {
        return std::log2(1 / (at[i] - at[i - 1]));
    };
    std::size_t i = 1;
    while (i + 2 < at.size() && (octaves(i + 1) - goal) * (octaves(i) - goal) > 0)
        ++i;
    // Each period's pitch belongs to its middle; between two middles, a straight line.
    const double reached = (at[i - 1] + at[i]) / 2 + (goal - octaves(i)) /
                                                         (octaves(i + 1) - octaves(i)) *
                                                         (at[i + 1] - at[i - 1]) / 2;
    EXPECT_NEAR(reached, TToneSynth::kGlideSeconds, 0.002);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Glide,
    testing::Values(
        TGlideCase{"Up", kRate, 40, [](TToneSynth& s) { s.SetValue(90); }, 220, 880},
        TGlideCase{"Down", 44100, 90, [](TToneSynth& s) { s.SetValue(40); }, 880, 220},
        TGlideCase{"ToTheStop", kRate, 65, [](TToneSynth& s) { s.SetValue(1e6); }, 440, 1760},
        TGlideCase{"Recentring", kRate, 65, [](TToneSynth& s) { s.SetSpan(15, 65); }, 440, 880}),
    [](const auto& info) { return info.param.name; });

// What a silence test does to its synth.
struct Do {
    static void Span(TToneSynth& s) { s.SetSpan(40, 90); }
    static void Value(TToneSynth& s) { s.SetValue(65); }
    static void Loss(TToneSynth& s) { s.SetValue(std::nullopt); }
    static void NotFinite(TToneSynth& s) { s.SetValue(NAN); }
    static void Mute(TToneSynth& s) { s.SetVolume(0); }
    static void Stop(TToneSynth& s) { s.Silence(); }
    static void Tick(TToneSynth& s) { s.Tick(); }
};
using TActs = std::vector<void (*)(TToneSynth&)>;

struct TSilenceCase {
    std::string name;
    TActs before, event; // 50 ms are rendered between them
    double silentFromMs; // after the event, and not long before; < 0: sounding at the end
    bool quietOnset;     // the sound after the event swells from silence
    double largestStep;
};

class Silence : public testing::TestWithParam<TSilenceCase> {};

TEST_P(Silence, FallsAndComesBackWithoutAClick) {
    const TSilenceCase& c = GetParam();
    TToneSynth synth(kRate);
    synth.SetVolume(100);
    for (const auto act : c.before)
        act(synth);
    TSamples all = Render(synth, 50);
    for (const auto act : c.event)
        act(synth);
    const TSamples after = Render(synth, 100);
    all.insert(all.end(), after.begin(), after.end());
    const auto peak = [&](double fromMs, double toMs) {
        return std::abs(*std::max_element(after.begin() + fromMs * kRate / 1000,
                                          after.begin() + toMs * kRate / 1000,
                                          [](int a, int b) { return std::abs(a) < std::abs(b); }));
    };
    EXPECT_TRUE(!c.quietOnset || peak(0, 0.5) < 0.05 * TToneSynth::kToneLevel * 32767);
    EXPECT_TRUE(c.silentFromMs < 0 || peak(c.silentFromMs, 100) == 0);
    EXPECT_TRUE(c.silentFromMs <= 0 || peak(c.silentFromMs - 0.5, c.silentFromMs) > 0);
    int largest = 0;
    for (std::size_t i = 1; i < all.size(); ++i)
        largest = std::max(largest, std::abs(all[i] - all[i - 1]));
    EXPECT_LE(largest, c.largestStep);
}

const double kToneStep = SineStep(TToneSynth::kToneLevel, 440);
const double kTickStep = SineStep(TToneSynth::kTickLevel, 3000);

INSTANTIATE_TEST_SUITE_P(
    States, Silence,
    testing::Values(
        TSilenceCase{"NoSpan", {Do::Value}, {}, 0, false, 0},
        TSilenceCase{"NoValue", {Do::Span}, {}, 0, false, 0},
        TSilenceCase{"VolumeZero", {Do::Span, Do::Value, Do::Mute}, {}, 0, false, kToneStep},
        TSilenceCase{"Loss", {Do::Span, Do::Value}, {Do::Loss}, 5.05, false, kToneStep},
        TSilenceCase{"NotFinite", {Do::Span, Do::Value}, {Do::NotFinite}, 5.05, false, kToneStep},
        TSilenceCase{"Stop", {Do::Span, Do::Value}, {Do::Stop}, 5.05, false, kToneStep},
        TSilenceCase{"Back", {Do::Span, Do::Value, Do::Loss}, {Do::Value}, -1, true, kToneStep},
        // The tick sounds 15 ms, over silence too.
        TSilenceCase{"Tick", {}, {Do::Tick}, 15.05, true, kTickStep},
        TSilenceCase{"StopCutsATick", {}, {Do::Tick, Do::Stop}, 5.05, true, kTickStep}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace sornafex
