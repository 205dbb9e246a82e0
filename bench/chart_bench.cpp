// The chart's drawing costs: one full Draw of the 256-point history into an image, one sample
// as the UI thread sees it (AddSample and the repaint it causes) on the screen control, without
// and with the run's journal, and the charts of a response window (60 s of the fine frequency)
// and of a session's review (10 hours, whole and zoomed to 10 s). Run with
// QT_QPA_PLATFORM=offscreen for numbers without a display; the journal is written under $TMPDIR
// (default /tmp).

#include "chart/chart_widget.h"
#include "chart/qpainter_canvas.h"
#include "chart/response_graph.h"
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

// The fine frequency as a response wanders: ten values a second, a slow wave with some jitter.
double FineValue(int i) {
    return 70 + 20 * std::sin(i / 95.0) + 3 * std::sin(i * 0.77);
}

// A chart with a time axis below it and a unit on its left axis, like the response window's
// and the review's.
void SetupTimeChart(TCustomChart& chart, TAxisLabelFormatter labels) {
    chart.SetView3D(false);
    chart.SetLegendVisible(false);
    chart.Title().SetVisible(false);
    chart.Foot().SetVisible(false);
    chart.SetBackColor(kClWhite);
    chart.LeftAxis().SetUnit("Hz");
    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetSteps(TAxisSteps::Seconds);
    bottom.SetLabelFormatter(std::move(labels));
}

void DrawInto(TCustomChart& chart, QImage& image, benchmark::State& state) {
    chart.SetClientSize(image.width(), image.height());
    for (auto _ : state) {
        QPainter painter(&image);
        TQPainterCanvas canvas(painter);
        chart.Draw(canvas, {0, 0, image.width(), image.height()});
    }
}

// The response window's frame: its graph takes a new value (the last 60 s before now at ten
// values a second, with a loss of 2 s and three markers in view) and the chart is drawn.
void BM_DrawResponse(benchmark::State& state) {
    TCustomChart chart;
    TResponseGraph graph(chart, SetupResponseChart(chart));
    graph.Begin(TResponseUnit::Hertz);
    graph.Scale().SetSpanIndex(TResponseUnit::Hertz, 5); // 20 %: the wave stays in the span
    int i = 0;
    const auto add = [&] {
        const double t = ++i / 10.0;
        const bool lost = i % 600 >= 300 && i % 600 < 320;
        graph.Add(t, lost ? std::nullopt : std::optional<double>(FineValue(i)));
        if (i % 200 == 0) {
            // Appended, not "Q" + ...: GCC 12 at -O3 misreads the sum as an overlapping copy.
            std::string label(1, 'Q');
            label.append(std::to_string(i / 200));
            graph.AddMarker(t, label);
        }
    };
    while (i < 600)
        add();
    QImage image(1920, 1080, QImage::Format_RGB32);
    chart.SetClientSize(image.width(), image.height());
    for (auto _ : state) {
        add();
        QPainter painter(&image);
        TQPainterCanvas canvas(painter);
        chart.Draw(canvas, {0, 0, image.width(), image.height()});
    }
    state.SetLabel("a new value, then 600 points drawn, 1920x1080");
}
BENCHMARK(BM_DrawResponse)->Unit(benchmark::kMicrosecond);

// A 10-hour session at ten values a second with a loss of 30 s every hour, drawn whole
// (range 0) or zoomed to 10 s in its middle (range 1).
void BM_DrawSession(benchmark::State& state) {
    const bool zoomed = state.range(0) != 0;
    TCustomChart chart;
    const TNumberSeparators seps;
    SetupTimeChart(chart, [seps](double x) { return FormatRunTime(x, seps); });
    TLineSeries& series = chart.AddSeries();
    constexpr int kPoints = 10 * 3600 * 10;
    for (int i = 0; i < kPoints; ++i) {
        const double x = i / 10.0;
        if (i % 36000 > 35700)
            series.AddNullXY(x);
        else
            series.AddXY(x, FineValue(i));
    }
    if (zoomed) {
        TChartAxis& bottom = chart.BottomAxis();
        bottom.SetAutomatic(false);
        bottom.SetMaximum(18010);
        bottom.SetMinimum(18000);
    }
    QImage image(1920, 1080, QImage::Format_RGB32);
    DrawInto(chart, image, state);
    state.SetLabel(zoomed ? "360000 points, 10 s of them, 1920x1080"
                          : "360000 points whole, 1920x1080");
}
BENCHMARK(BM_DrawSession)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

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
