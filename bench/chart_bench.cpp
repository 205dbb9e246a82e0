// The chart's drawing costs: one full Draw of the 256-point history into an image, and one
// sample as the UI thread sees it (AddSample and the repaint it causes) on the screen control.
// Run with QT_QPA_PLATFORM=offscreen for numbers without a display.

#include "chart/chart_widget.h"
#include "chart/qpainter_canvas.h"
#include "chart/uGraph.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

using namespace sornafex::chart;

class TNullHost final : public TGraphHost {
public:
    void SetFrequencyText(const std::string& text) override { benchmark::DoNotOptimize(text); }
    void SetDataModified() override {}
};

// A history that looks like a person's response: a slow wave with some jitter.
std::int32_t Sample(int i) {
    return 60 + static_cast<std::int32_t>(40 * std::sin(i / 10.0)) + (i * 7919) % 13;
}

void BM_DrawFull(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    TCustomChart chart;
    TLineSeries& series = SetupMainChart(chart);
    TNullHost host;
    TGraph graph(chart, series, host);
    graph.InitGraph();
    for (int i = 0; i < kHistoryLength; ++i)
        graph.AddSample(Sample(i));
    chart.SetClientSize(width, height);
    QImage image(width, height, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        TQPainterCanvas canvas(painter);
        chart.Draw(canvas, {0, 0, width, height});
    }
    state.SetLabel(std::to_string(width) + "x" + std::to_string(height));
}
BENCHMARK(BM_DrawFull)->Args({514, 335})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

void BM_AddSampleAndRepaint(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    TChart chart;
    TLineSeries& series = SetupMainChart(chart);
    TNullHost host;
    TGraph graph(chart, series, host);
    graph.InitGraph();
    chart.resize(width, height);
    chart.show();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();

    int i = 0;
    const auto paints = chart.PaintCount();
    const auto draws = chart.DrawCount();
    for (auto _ : state) {
        graph.AddSample(Sample(i++));
        QApplication::processEvents(); // the one deferred repaint
    }
    const double samples = static_cast<double>(state.iterations());
    state.counters["paints/sample"] = double(chart.PaintCount() - paints) / samples;
    state.counters["draws/sample"] = double(chart.DrawCount() - draws) / samples;
    state.SetLabel(std::to_string(width) + "x" + std::to_string(height));
}
BENCHMARK(BM_AddSampleAndRepaint)
    ->Args({514, 335})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMicrosecond);

void BM_AddSampleOnly(benchmark::State& state) {
    TCustomChart chart;
    TLineSeries& series = SetupMainChart(chart);
    TNullHost host;
    TGraph graph(chart, series, host);
    graph.InitGraph();
    int i = 0;
    for (auto _ : state)
        graph.AddSample(Sample(i++));
}
BENCHMARK(BM_AddSampleOnly)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
