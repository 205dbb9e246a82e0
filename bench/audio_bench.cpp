// The tone synthesizer's cost: one second of sound at 48 kHz, rendered in the 10 ms pieces an
// output pulls, with a new value every 100 ms as the response window gives them. The time of
// one iteration is the processor time one second of sound costs the UI thread.

#include "audio/tone_synth.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using sornafex::TToneSynth;

constexpr int kRate = 48000;
constexpr int kPiece = kRate / 100;
constexpr int kPiecesPerValue = 10;

enum class TCase { Steady, Gliding, GlidingWithTicks, Silent };

void BM_SecondOfSound(benchmark::State& state) {
    const auto kind = static_cast<TCase>(state.range(0));
    TToneSynth synth(kRate);
    synth.SetVolume(80);
    synth.SetSpan(40, 90);
    if (kind != TCase::Silent)
        synth.SetValue(65);
    std::vector<std::int16_t> piece(kPiece);
    int value = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            if (i % kPiecesPerValue == 0 && kind != TCase::Steady && kind != TCase::Silent) {
                // A person's slow wander, over most of the span.
                synth.SetValue(65 + 20 * std::sin(++value / 7.0));
                if (kind == TCase::GlidingWithTicks)
                    synth.Tick();
            }
            synth.Render(piece);
            benchmark::DoNotOptimize(piece.data());
        }
    }
    static constexpr const char* kNames[] = {"steady tone", "gliding", "gliding, a tick a value",
                                             "silent"};
    state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_SecondOfSound)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
