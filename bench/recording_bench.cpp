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
// The 10-hour journal is written once, by the journal itself, as a run makes it: a sample a
// second, ten fine estimates a second made 150 ms after their time, a marker every five minutes,
// the port lost for a few seconds every hour. Files go under $TMPDIR (default /tmp).

#include "recording/journal.h"
#include "recording/journal_reader.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace sornafex;

// A folder of its own under the temporary folder, removed with what it holds.
class TBenchFolder {
public:
    TBenchFolder() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/sornafex-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        m_path = pattern;
    }
    ~TBenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

[[noreturn]] void JournalFailed(const TJournal::TFailure& failure) {
    std::fprintf(stderr, "journal: %s\n", failure.reason.c_str());
    std::abort();
}

// Lets the writer finish, then delivers what it posted: a failure ends the benchmark.
void Settle(TQueuedUiBridge& bridge, const TJournal& journal) {
    bridge.PumpUntil([&] { return journal.Idle(); }, 600000);
    bridge.ProcessMessages();
}

constexpr int kTenHours = 10 * 3600;

std::string WriteTenHourJournal(const std::string& folder) {
    TQueuedUiBridge bridge;
    std::int64_t ms = 0;
    TJournal journal(bridge, [&] {
        return TJournalInstant{1796721302123 + ms, 3600, 7'000'000'000 + ms * kNsPerMs};
    });
    journal.BeginRun(folder, 1, JournalFailed);
    const TMonoNs start = journal.RunStartNs();
    for (int s = 0; s < kTenHours; ++s) {
        const bool lost = s % 3600 >= 1800 && s % 3600 < 1805;
        if (s % 3600 == 1800)
            journal.Event(TJournalEvent::PortLost);
        if (s % 3600 == 1804)
            journal.Event(TJournalEvent::PortReopened);
        for (int tenth = 1; tenth <= 10; ++tenth) {
            if (tenth == 9) {
                ms = s * 1000LL + 1004;
                journal.Sample(60 + s % 40, !lost);
            }
            const std::int64_t at = s * 1000LL + tenth * 100;
            ms = at + 150;
            const double hertz = 60 + 20 * std::sin(double(at) / 30000);
            if (!lost)
                journal.Fine(start + at * kNsPerMs, hertz, 1000 / hertz);
        }
        if (s % 300 == 299)
            journal.Mark();
        // The writer is left behind by a loop that does nothing but make rows: an hour at a
        // time, it catches up.
        if (s % 3600 == 3599)
            Settle(bridge, journal);
    }
    journal.EndRun();
    Settle(bridge, journal);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        return entry.path().string();
    std::abort();
}

const std::string& TenHourJournal() {
    static const TBenchFolder folder;
    static const std::string path = WriteTenHourJournal(folder.Path());
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

// The process's resident memory, or its peak since ResetPeakMemory, in MB (Linux's VmRSS and
// VmHWM).
double ResidentMB(std::string_view field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field))
            return std::stod(line.substr(field.size())) / 1024.0;
    return 0;
}
void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
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
