// The chart's drawing costs: one full Draw of the 256-point history into an image, and one
// sample as the UI thread sees it (AddSample and the repaint it causes) on the screen control,
// without and with the run's journal. Run with QT_QPA_PLATFORM=offscreen for numbers without a
// display; the journal is written under $TMPDIR (default /tmp).

#include "chart/chart_widget.h"
#include "chart/qpainter_canvas.h"
#include "chart/uGraph.h"
#include "recording/journal.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using namespace sornafex::chart;
using sornafex::TJournal;
using sornafex::TJournalInstant;

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

// A journal in a folder of its own under the temporary folder, whose run clock moves one second
// per row as at one sample a second: its writer thread flushes to the disk every tenth row, as in
// a real run.
class TBenchJournal {
public:
    TBenchJournal() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/sornafex-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            m_folder = pattern;
        journal.BeginRun(m_folder, 1, [](const std::string& reason) {
            std::fprintf(stderr, "journal: %s\n", reason.c_str());
            std::abort();
        });
    }
    ~TBenchJournal() {
        journal.EndRun();
        // A failure reaches the handler through the bridge.
        bridge.PumpUntil([this] { return journal.Idle(); }, 60000);
        bridge.ProcessMessages();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    sornafex::TQueuedUiBridge bridge;
    TJournal journal{
        bridge, [this] {
            m_ms += 1000;
            return TJournalInstant{1796721302123 + m_ms, 3600, m_ms * sornafex::kNsPerMs};
        }};

private:
    std::string m_folder;
    std::int64_t m_ms = 0;
};

void BM_AddSampleAndRepaint(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const bool journaled = state.range(2) != 0;
    TBenchJournal journal;
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
        const std::int32_t sample = Sample(i++);
        graph.AddSample(sample);
        if (journaled)
            journal.journal.Sample(sample, true);
        QApplication::processEvents(); // the one deferred repaint
    }
    const double samples = static_cast<double>(state.iterations());
    state.counters["paints/sample"] = double(chart.PaintCount() - paints) / samples;
    state.counters["draws/sample"] = double(chart.DrawCount() - draws) / samples;
    state.SetLabel(std::to_string(width) + "x" + std::to_string(height) +
                   (journaled ? " with journal" : ""));
}
BENCHMARK(BM_AddSampleAndRepaint)
    ->Args({514, 335, 0})
    ->Args({514, 335, 1})
    ->Args({1920, 1080, 0})
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
