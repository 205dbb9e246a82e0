// The report of a long examination printed into a PDF file, as "Rapport..." prints it once the
// session is read (reading it is recording_bench's BM_ReadJournalSession):
//
//   BM_MeasureResponses   the table of the responses of the session
//   BM_PrintReport        the layout, a chart for each question, the table, the PDF written
//
// The session is made in memory as a calibrated run makes it: ten fine values a second, a
// question every 20 s answered 2 s later and met by a response, a marker every five minutes.
// The argument is the session's length in hours. Files go under $TMPDIR (default /tmp).

#include "report/report_printer.h"

#include <QPrinter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace {

using namespace sornafex;

const TJournalSession& Session(int hours) {
    static std::map<int, TJournalSession> sessions;
    auto [found, made] = sessions.try_emplace(hours);
    TJournalSession& s = found->second;
    if (!made)
        return s;
    s.start = {1796721302123, 3600};
    s.port = "COM1";
    s.device = "sim:file:/home/x/profil_examen.txt";
    s.calibration = "1000@10;100@100";
    for (int second = 0; second < hours * 3600; ++second) {
        const TJournalMs ms = TJournalMs(second) * 1000;
        if (second % 20 == 5) {
            const int number = second / 20 + 1;
            s.questions.push_back({ms, number, TQuestionType(number % 3), "Étiez-vous là ?"});
            s.answers.push_back({ms + 2000, number, number % 2 == 0});
        }
        if (second % 300 == 150)
            s.markers.push_back({ms, std::int32_t(second / 300 + 1)});
        for (int tenth = 1; tenth <= 10; ++tenth) {
            // A response of 1 % two seconds after each question, on a slow drift.
            const double t = (ms + tenth * 100) / 1000.0 - 0.24;
            const double since = std::fmod(t - 5 + 20, 20) - 2;
            const double response = since < 0 ? 0 : since * std::exp(1 - since / 1.5) / 1.5;
            const double hertz = (50 + std::sin(t * 1e-3)) * (1 + 0.01 * response);
            s.fine.push_back({ms + tenth * 100, hertz, hertz / 10});
        }
    }
    return s;
}

void BM_MeasureResponses(benchmark::State& state) {
    const TJournalSession& session = Session(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasureSessionResponses(session));
    state.counters["questions"] = double(session.questions.size());
}

void BM_PrintReport(benchmark::State& state) {
    TSessionReport report;
    report.journalPath = "/home/x/2026-12-08_10-15-02_COM1.csv";
    report.session = Session(int(state.range(0)));
    report.sheet = {"Jean Dupont", "Marie Martin", "Première séance."};
    report.table = MeasureSessionResponses(report.session);
    const char* tmp = std::getenv("TMPDIR");
    const std::string pdf = std::string(tmp != nullptr ? tmp : "/tmp") + "/sornafex-bench-" +
                            std::to_string(::getpid()) + ".pdf";
    int pages = 0;
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        PrepareReportPrinter(printer, report);
        pages = PrintSessionReport(report, printer);
    }
    state.counters["questions"] = double(report.table.rows.size());
    state.counters["MB"] = double(std::filesystem::file_size(pdf)) / 1e6;
    state.counters["pages"] = pages;
    std::filesystem::remove(pdf);
}

} // namespace

BENCHMARK(BM_MeasureResponses)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintReport)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);
