#pragma once

// The journal of an acquisition run: every sample, marker and port event of the run, one CSV row
// each (UTF-8, RFC 4180 with CR LF line ends), written while the run goes on, and read back into
// the sample history like a recording.
//
//   horodatage,secondes,port,frequence_hz,repere,evenement
//   2026-12-08T10:15:02.123+01:00,1.004,COM1,57,,
//   2026-12-08T10:15:02.611+01:00,1.492,COM1,,1,
//   2026-12-08T10:15:03.127+01:00,2.008,COM1,,,port perdu
//
// The first column is local time with its offset from UTC, the second the seconds since the run
// started. A file is named after the start of its run in local time, 2026-12-08_10-15-02_COM1.csv,
// and is made at the run's first sample: a run that delivers none leaves no journal.
//
// Everything here runs on the UI thread; the counting loop never waits for a journal.

#include "base/file_io.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

// One reading of the clocks a journal row needs.
struct TJournalInstant {
    std::int64_t epochMs = 0;          // wall time: milliseconds since 1970-01-01 UTC
    std::int32_t utcOffsetSeconds = 0; // local time minus UTC at that moment
    std::int64_t monotonicMs = 0;      // a clock that never jumps: the seconds of the run
};
using TJournalClock = std::function<TJournalInstant()>;
// CLOCK_REALTIME with the local zone's offset, and CLOCK_MONOTONIC.
TJournalInstant SystemJournalInstant();

// "2026-12-08T10:15:02.123+01:00": the local time of epochMs, to the millisecond, with its offset.
std::string FormatJournalTime(std::int64_t epochMs, std::int32_t utcOffsetSeconds);
// "2026-12-08_10-15-02_COM1.csv": the local time of epochMs and the port.
std::string JournalFileName(std::int64_t epochMs, std::int32_t utcOffsetSeconds, int port);

inline constexpr std::string_view kJournalHeader =
    "horodatage,secondes,port,frequence_hz,repere,evenement";
inline constexpr std::string_view kJournalPortLost = "port perdu";
inline constexpr std::string_view kJournalPortReopened = "port rouvert";

enum class TJournalEvent { PortLost, PortReopened };

// The journal writer of the main window, one run at a time. A row is made when its event
// happens (Sample, Mark, PortEvent: no more than formatting it, cheap enough for the hand-off of
// a sample) and goes to the file at the next Write, which the window runs right after, once the
// counting loop has been let go.
class TJournal {
public:
    // A row reaches the disk at most this long after it was made (checked at every Write), and
    // everything at the end of the run.
    static constexpr std::chrono::milliseconds kSyncInterval{10000};

    // Receives the French reason ("Disque plein") the first time the journal cannot be written.
    using TFailureHandler = std::function<void(const std::string& reason)>;

    explicit TJournal(TJournalClock clock = SystemJournalInstant,
                      TFileSystem& fs = TFileSystem::Posix());
    // Ends a run still in progress.
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // A run on port begins now; its file will be made in folder (and the folders on the way)
    // once it has a sample to hold. Ends a run still in progress first.
    void BeginRun(std::string folder, int port, TFailureHandler onFailure);
    bool InRun() const { return m_inRun; }

    // The rows. After a failure the run goes on without its journal: no more rows are made and
    // the handler is not called again.
    void Sample(std::int32_t hertz);
    // Marks the moment and returns the marker's number in the run: 1, 2, 3...
    int Mark();
    void PortEvent(TJournalEvent event);

    // Writes the rows made since the last Write, making the file at the first sample, and flushes
    // the file to the disk when its oldest unflushed row is kSyncInterval old.
    void Write();
    // Writes what is left, flushes the file to the disk and closes it. Nothing happens outside a
    // run.
    void EndRun();

    // The file of the current or the last run; empty until a run has made one.
    const std::string& Path() const { return m_path; }

private:
    void Add(std::string_view hertz, std::string_view marker, std::string_view event);
    bool Create();
    void Sync();
    void Fail(int errorNumber);
    void CloseFile();

    TJournalClock m_clock;
    TFileSystem& m_fs;

    bool m_inRun = false;
    bool m_failed = false;
    bool m_sampled = false;
    std::string m_folder;
    int m_port = 0;
    TFailureHandler m_onFailure;
    TJournalInstant m_start;
    int m_markers = 0;

    // Rows made and not yet written; before the first sample there is no file to write them to.
    std::string m_unwritten;
    std::int64_t m_newestMs = 0;
    std::optional<std::int64_t> m_oldestUnsyncedMs;
    std::string m_path;
    int m_fd = -1;
    bool m_folderSynced = false;
};

// What a journal gives the sample history, in the order of the file.
struct TJournalEntry {
    enum class TKind { Sample, Marker };
    TKind kind = TKind::Sample;
    std::int32_t value = 0; // hertz, or the marker's number

    friend bool operator==(const TJournalEntry&, const TJournalEntry&) = default;
};

// A file that is not a journal. what() names the first line that could not be read.
class EJournalFormat : public std::runtime_error {
public:
    explicit EJournalFormat(int line);
    int Line() const noexcept { return m_line; }

private:
    int m_line;
};

// The entries of the journal's last 256 samples: each sample with, just before it, the markers
// made while it was being counted. Markers of samples left out go with them; markers after the
// last sample (the run ended while counting) are put with the last sample; without any sample
// nothing is kept. Port events are read but give no entry.
//
// The first line must be the header (a UTF-8 byte-order mark before it is allowed). Each other
// row needs its six fields, a time, the seconds as a decimal number, a port, and exactly one of
// a sample (a whole number), a marker (a whole number from 1) and an event. Empty lines are
// skipped; quoted fields are read as RFC 4180 says; lines may end in CR LF or LF alone.
//
// Throws EJournalFormat naming the first line that is not so, counting the header as line 1. A
// last line that has no line end and cannot be read is left out instead: it is the row a crash
// or a full disk cut short.
std::vector<TJournalEntry> ParseJournal(std::string_view bytes);

// Reads the journal at path; throws EFileError or EJournalFormat.
std::vector<TJournalEntry> ReadJournalFile(const std::string& path,
                                           TFileSystem& fs = TFileSystem::Posix());

} // namespace sornafex
