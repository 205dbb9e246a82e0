// The review of a 10-hour session, as its window makes it:
//
//   BM_OpenReview          "Revoir une séance..." on the journal: reading it, the measurement of
//                          its 1800 questions, the chart's and the strip's series, the list,
//                          until both charts have painted once; and the process's memory at its
//                          peak (Linux's VmHWM), in all and above what it held before
//   BM_RedrawReview/<s>    one redraw of the review at 1920×1080 as a scroll makes it: the chart
//                          (1920×1016) and the strip (1920×64), s seconds in view (the whole
//                          session, an hour, 10 s)
//   BM_ScrollReview/<s>    Page Down then Page Up as the window runs them: each the range and the
//                          left axis fitted to the values in view, without the drawing
//
// The journal is written once, by the journal itself, as a calibrated run with questions makes
// it (bench/bench_support.h). Run with QT_QPA_PLATFORM=offscreen for numbers without a display.

#include "app/frmReview.h"
#include "app/qt_ui_services.h"
#include "bench/bench_support.h"
#include "chart/chart_widget.h"
#include "chart/qpainter_canvas.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

using namespace sornafex;
using namespace sornafex::bench;

const std::string& TenHourJournal() {
    static const TBenchFolder folder;
    static const std::string path = WriteTenHourJournal(folder.Path(), true);
    return path;
}

// The review, shown and painted once.
std::unique_ptr<TfmReview> OpenReview(TUiServices& ui) {
    std::unique_ptr<TfmReview> review(TfmReview::Open(TenHourJournal(), ui, nullptr));
    review->resize(1920, 1080);
    review->show();
    while (review->Chart()->PaintCount() == 0 || review->Overview()->PaintCount() == 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return review;
}

void BM_OpenReview(benchmark::State& state) {
    TQtUiServices ui("Sornafex");
    TenHourJournal();
    QApplication::processEvents();
    const double before = ResidentMB("VmRSS:");
    ResetPeakMemory();
    double peak = 0;
    for (auto _ : state) {
        auto review = OpenReview(ui);
        state.PauseTiming();
        peak = std::max(peak, ResidentMB("VmHWM:"));
        state.counters["points"] = review->Chart()->Series(0).Count();
        review.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peak;
    state.counters["above_MB"] = peak - before;
}
BENCHMARK(BM_OpenReview)->Iterations(3)->Unit(benchmark::kMillisecond);

void ShowSpan(chart::TSessionView& view, double seconds) {
    const double middle = view.End() / 2;
    view.ShowRange(middle - seconds / 2, middle + seconds / 2);
}

void BM_RedrawReview(benchmark::State& state) {
    TQtUiServices ui("Sornafex");
    auto review = OpenReview(ui);
    ShowSpan(review->View(), double(state.range(0)));
    chart::TChart& chart = *review->Chart();
    chart::TChart& overview = *review->Overview();
    QImage chartImage(1920, 1016, QImage::Format_RGB32);
    QImage overviewImage(1920, 64, QImage::Format_RGB32);
    chart.SetClientSize(chartImage.width(), chartImage.height());
    overview.SetClientSize(overviewImage.width(), overviewImage.height());
    for (auto _ : state) {
        for (auto [part, image] : {std::pair{&chart, &chartImage}, {&overview, &overviewImage}}) {
            QPainter painter(image);
            chart::TQPainterCanvas canvas(painter);
            part->Draw(canvas, {0, 0, image->width(), image->height()});
        }
    }
}
BENCHMARK(BM_RedrawReview)->Arg(36000)->Arg(3600)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_ScrollReview(benchmark::State& state) {
    TQtUiServices ui("Sornafex");
    auto review = OpenReview(ui);
    chart::TSessionView& view = review->View();
    ShowSpan(view, double(state.range(0)));
    for (auto _ : state) {
        view.Press(chart::TReviewKey::PageDown);
        view.Press(chart::TReviewKey::PageUp);
    }
}
BENCHMARK(BM_ScrollReview)->Arg(36000)->Arg(3600)->Arg(10)->Unit(benchmark::kMicrosecond);

} // namespace
