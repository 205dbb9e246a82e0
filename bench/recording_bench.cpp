// The run journal's costs:
//
//   BM_JournalRowMade/<kind>   one row as the UI thread makes it, with the system's clocks:
//                              formatting and the hand-over to the writer thread, which writes
//                              and flushes on the other core meanwhile
//   BM_ReadJournalSession      a 10-hour journal read whole, as the review window reads it:
//                              its rows, its bytes, the session's arrays and the memory the
//                              read holds at its peak
//   BM_ReadJournalLastSamples  the same file read for "Ouvrir..." (its last 256 samples)
//
// The 10-hour journal is written once, by the journal itself, as a run makes it (without
// questions: bench/bench_support.h). Files go under $TMPDIR (default /tmp).

#include "bench/bench_support.h"
#include "recording/journal_reader.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>

namespace {

using namespace sornafex;
using namespace sornafex::bench;

const std::string& TenHourJournal() {
    static const TBenchFolder folder;
    static const std::string path = WriteTenHourJournal(folder.Path(), false);
    return path;
}

void BM_JournalRowMade(benchmark::State& state) {
    const bool fine = state.range(0) != 0;
    const TBenchFolder folder;
    TQueuedUiBridge bridge;
    TJournal journal(bridge);
    journal.BeginRun(folder.Path(), 1, JournalFailed);
    journal.Sample(50, true);
    int i = 0;
    for (auto _ : state) {
        if (fine)
            journal.Fine(MonotonicNs(), 50 + (i++ % 1000) * 1e-3, 3.1416);
        else
            journal.Sample(50 + i++ % 13, true);
    }
    journal.EndRun();
    Settle(bridge, journal);
    state.SetLabel(fine ? "fine" : "sample");
}
// A bounded count: the writer is left behind by a loop that makes nothing but rows.
BENCHMARK(BM_JournalRowMade)->Arg(0)->Arg(1)->Iterations(100000)->Unit(benchmark::kMicrosecond);

template <class T> double ArrayBytes(const std::vector<T>& values) {
    return double(values.capacity() * sizeof(T));
}

// What a first read holds at its peak (the file's bytes and the growing arrays), before the
// reads that follow find their room already there: MB above the resident memory before it.
double FirstReadPeakMB(const std::string& path) {
    static const double peak = [&] {
        ResetPeakMemory();
        const double before = ResidentMB("VmRSS:");
        benchmark::DoNotOptimize(ReadJournalSession(path));
        return ResidentMB("VmHWM:") - before;
    }();
    return peak;
}

void BM_ReadJournalSession(benchmark::State& state) {
    const std::string& path = TenHourJournal();
    const double peak = FirstReadPeakMB(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadJournalSession(path));

    const TJournalSession session = ReadJournalSession(path);
    constexpr double kMB = 1024.0 * 1024.0;
    state.counters["read_peak_MB"] = peak;
    state.counters["session_MB"] = (ArrayBytes(session.samples) + ArrayBytes(session.fine) +
                                    ArrayBytes(session.markers) + ArrayBytes(session.events)) /
                                   kMB;
    state.counters["file_MB"] = double(std::filesystem::file_size(path)) / kMB;
    state.counters["rows"] = double(session.samples.size() + session.fine.size() +
                                    session.markers.size() + session.events.size());
}
BENCHMARK(BM_ReadJournalSession)->Unit(benchmark::kMillisecond);

void BM_ReadJournalLastSamples(benchmark::State& state) {
    const std::string& path = TenHourJournal();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadJournalFile(path));
}
BENCHMARK(BM_ReadJournalLastSamples)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
