// The exports of a 10-hour session, as the review window or the command line makes them from a
// session already read (reading it is recording_bench's BM_ReadJournalSession):
//
//   BM_ExportEdf    the EDF+ file: signals, scale, annotations, EDFlib's writing, the
//                   crash-safe replacement
//   BM_ExportBids   the three BIDS files, the physiological one gzipped
//
// The session is made in memory as a calibrated run makes it: ten fine values a second, a
// sample a second, a question every 20 s answered 2 s later, a marker every five minutes, the
// port lost for three seconds every hour. Files go under $TMPDIR (default /tmp).

#include "bench/bench_support.h"
#include "export/bids_export.h"
#include "export/edf_export.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>
#include <string>

namespace {

using namespace sornafex;
using sornafex::bench::TBenchFolder;

const TJournalSession& TenHourSession() {
    static const TJournalSession session = [] {
        constexpr int kTenHours = 10 * 3600;
        TJournalSession s;
        s.start = {1796721302123, 3600};
        s.port = "COM1";
        for (int second = 0; second < kTenHours; ++second) {
            const TJournalMs ms = TJournalMs(second) * 1000;
            const bool lost = second % 3600 >= 1800 && second % 3600 < 1803;
            if (second % 3600 == 1800)
                s.events.push_back({ms, TJournalEvent::PortLost});
            if (second % 3600 == 1803)
                s.events.push_back({ms, TJournalEvent::PortReopened});
            if (second % 20 == 5) {
                const int number = second / 20 + 1;
                s.questions.push_back({ms, number, TQuestionType::Relevant, "Étiez-vous là ?"});
                s.answers.push_back({ms + 2000, number, number % 2 == 0});
            }
            if (second % 300 == 150)
                s.markers.push_back({ms, std::int32_t(second / 300 + 1)});
            s.samples.push_back({ms + 1004, lost ? std::nullopt : std::optional<std::int32_t>(50)});
            for (int tenth = 1; tenth <= 10 && !lost; ++tenth) {
                const double hertz = 50 + 2 * std::sin((ms + tenth * 100) * 1e-4);
                s.fine.push_back({ms + tenth * 100, hertz, 1000 / hertz});
            }
        }
        return s;
    }();
    return session;
}

void BM_ExportEdf(benchmark::State& state) {
    const TJournalSession& session = TenHourSession();
    const TBenchFolder folder;
    const std::string path = folder.Path() + "/seance.edf";
    for (auto _ : state)
        ExportEdf(session, path);
    state.counters["MB"] = double(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExportEdf)->Unit(benchmark::kMillisecond);

void BM_ExportBids(benchmark::State& state) {
    const TJournalSession& session = TenHourSession();
    const TBenchFolder folder;
    for (auto _ : state)
        ExportBids(session, folder.Path(), {"S01", "examen"});
    state.counters["physio_MB"] =
        double(std::filesystem::file_size(folder.Path() + "/sub-S01_task-examen_physio.tsv.gz")) /
        (1024.0 * 1024.0);
}
BENCHMARK(BM_ExportBids)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
