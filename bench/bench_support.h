#pragma once

// What the benchmarks share: a scratch folder, the process's memory, and a 10-hour journal as a
// run writes it. Header-only; files go under $TMPDIR (default /tmp).

#include "recording/journal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace sornafex::bench {

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
    TBenchFolder(const TBenchFolder&) = delete;
    TBenchFolder& operator=(const TBenchFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The process's resident memory, or its peak since ResetPeakMemory, in MB (Linux's VmRSS and
// VmHWM).
inline double ResidentMB(std::string_view field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field))
            return std::stod(line.substr(field.size())) / 1024.0;
    return 0;
}
inline void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

[[noreturn]] inline void JournalFailed(const std::string& reason) {
    std::fprintf(stderr, "journal: %s\n", reason.c_str());
    std::abort();
}

// Lets the writer finish, then delivers what it posted: a failure ends the benchmark.
inline void Settle(TQueuedUiBridge& bridge, const TJournal& journal) {
    bridge.PumpUntil([&] { return journal.Idle(); }, 600000);
    bridge.ProcessMessages();
}

// Writes, by the journal itself, ten hours of a calibrated run into folder and returns the
// file's path: a sample a second, ten fine estimates a second made 150 ms after their time, a
// marker every five minutes, the port lost for a few seconds every hour; with questions, one
// every 20 s answered 2 s later.
inline std::string WriteTenHourJournal(const std::string& folder, bool questions) {
    constexpr int kTenHours = 10 * 3600;
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
        const TMonoNs now = start + ms * kNsPerMs;
        if (questions && s % 20 == 5)
            journal.Question(now, s / 20 + 1, TQuestionType::Relevant, "Étiez-vous là ?");
        if (questions && s % 20 == 7)
            journal.Answer(now, s / 20 + 1, s % 40 == 7);
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

} // namespace sornafex::bench
