#include "recording/journal.h"

#include "base/locations.h"
#include "base/mono_clock.h"
#include "base/uRes.h"
#include "recording/dat_format.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <utility>

namespace sornafex {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kFieldCount = 6;
// Runs started within the same second on the same port get "_2", "_3"... rather than one
// overwriting the other's journal.
constexpr int kMaxSameNameRuns = 100;

// The civil date and time of a moment, local time being UTC shifted by the offset.
struct TCivilTime {
    int year, month, day, hour, minute, second, millisecond;
};

TCivilTime CivilTime(std::int64_t epochMs, std::int32_t utcOffsetSeconds) {
    using namespace std::chrono;
    const sys_time<milliseconds> local{milliseconds(epochMs) + seconds(utcOffsetSeconds)};
    const sys_days day = floor<days>(local);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{local - day};
    return {int(date.year()),
            int(unsigned(date.month())),
            int(unsigned(date.day())),
            int(time.hours().count()),
            int(time.minutes().count()),
            int(time.seconds().count()),
            int(time.subseconds().count())};
}

// "12.345" for 12345 ms; the run's clock never goes back, but a negative difference still reads.
std::string Seconds(std::int64_t ms) {
    char text[32];
    const char* sign = ms < 0 ? "-" : "";
    const std::uint64_t magnitude = ms < 0 ? 0 - std::uint64_t(ms) : std::uint64_t(ms);
    std::snprintf(text, sizeof text, "%s%llu.%03llu", sign,
                  static_cast<unsigned long long>(magnitude / 1000),
                  static_cast<unsigned long long>(magnitude % 1000));
    return text;
}

} // namespace

TJournalInstant SystemJournalInstant() {
    timespec wall{};
    ::clock_gettime(CLOCK_REALTIME, &wall);
    const TMonoNs steady = MonotonicNs();
    tm local{};
    const time_t seconds = wall.tv_sec;
    ::localtime_r(&seconds, &local);
    return {std::int64_t(wall.tv_sec) * 1000 + wall.tv_nsec / 1000000,
            static_cast<std::int32_t>(local.tm_gmtoff), steady / kNsPerMs};
}

std::string FormatJournalTime(std::int64_t epochMs, std::int32_t utcOffsetSeconds) {
    const TCivilTime t = CivilTime(epochMs, utcOffsetSeconds);
    const int offsetMinutes = utcOffsetSeconds / 60;
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, t.millisecond,
                  offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

std::string JournalFileName(std::int64_t epochMs, std::int32_t utcOffsetSeconds, int port) {
    const TCivilTime t = CivilTime(epochMs, utcOffsetSeconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d_", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text + res::PortName(port) + "." + std::string(res::kJournalExt);
}

// ---- Writing ----------------------------------------------------------------------------------

TJournal::TJournal(TJournalClock clock, TFileSystem& fs) : m_clock(std::move(clock)), m_fs(fs) {}

TJournal::~TJournal() {
    EndRun();
}

void TJournal::BeginRun(std::string folder, int port, TFailureHandler onFailure) {
    EndRun();
    m_inRun = true;
    m_failed = false;
    m_sampled = false;
    m_folder = std::move(folder);
    m_port = port;
    m_onFailure = std::move(onFailure);
    m_start = m_clock();
    m_markers = 0;
    m_unwritten.clear();
    m_oldestUnsyncedMs.reset();
    m_path.clear();
    m_folderSynced = false;
}

void TJournal::Sample(std::int32_t hertz) {
    if (!m_inRun || m_failed)
        return;
    m_sampled = true;
    Add(std::to_string(hertz), {}, {});
}

int TJournal::Mark() {
    ++m_markers;
    if (m_inRun && !m_failed)
        Add({}, std::to_string(m_markers), {});
    return m_markers;
}

void TJournal::PortEvent(TJournalEvent event) {
    if (!m_inRun || m_failed)
        return;
    Add({}, {}, event == TJournalEvent::PortLost ? kJournalPortLost : kJournalPortReopened);
}

void TJournal::Add(std::string_view hertz, std::string_view marker, std::string_view event) {
    const TJournalInstant now = m_clock();
    m_unwritten.append(FormatJournalTime(now.epochMs, now.utcOffsetSeconds))
        .append(",")
        .append(Seconds(now.monotonicMs - m_start.monotonicMs))
        .append(",")
        .append(res::PortName(m_port))
        .append(",")
        .append(hertz)
        .append(",")
        .append(marker)
        .append(",")
        .append(event)
        .append(kLineEnd);
    m_newestMs = now.monotonicMs;
    if (!m_oldestUnsyncedMs)
        m_oldestUnsyncedMs = now.monotonicMs;
}

void TJournal::Write() {
    if (!m_inRun || m_failed || !m_sampled || m_unwritten.empty())
        return;
    if (m_fd < 0 && !Create())
        return;
    try {
        WriteAll(m_fd, m_unwritten, m_fs);
    } catch (const EFileError& error) {
        Fail(error.ErrorNumber());
        return;
    }
    m_unwritten.clear();
    if (m_oldestUnsyncedMs && m_newestMs - *m_oldestUnsyncedMs >= kSyncInterval.count())
        Sync();
}

bool TJournal::Create() {
    const std::string name = JournalFileName(m_start.epochMs, m_start.utcOffsetSeconds, m_port);
    const std::string stem = name.substr(0, name.size() - res::kJournalExt.size() - 1);
    if (m_folder.empty() || !MakeFolderFor(m_folder + "/" + name)) {
        Fail(m_folder.empty() ? ENOENT : errno);
        return false;
    }
    for (int n = 1;; ++n) {
        const std::string path =
            m_folder + "/" +
            (n == 1 ? name : stem + "_" + std::to_string(n) + "." + std::string(res::kJournalExt));
        m_fd = m_fs.Open(path, O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_path = path;
            break;
        }
        if (errno != EEXIST || n == kMaxSameNameRuns) {
            Fail(errno);
            return false;
        }
    }
    try {
        WriteAll(m_fd, std::string(kJournalHeader).append(kLineEnd), m_fs);
    } catch (const EFileError& error) {
        Fail(error.ErrorNumber());
        return false;
    }
    return true;
}

void TJournal::Sync() {
    if (m_fs.Fsync(m_fd) != 0) {
        Fail(errno);
        return;
    }
    m_oldestUnsyncedMs.reset();
    // The new file's name must reach the disk too, or a crash may keep its rows but lose it.
    if (!m_folderSynced) {
        const int folder = m_fs.Open(m_folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
        if (folder >= 0) {
            m_fs.Fsync(folder);
            m_fs.Close(folder);
        }
        m_folderSynced = true;
    }
}

void TJournal::Fail(int errorNumber) {
    CloseFile();
    m_failed = true;
    m_unwritten.clear();
    if (m_onFailure)
        m_onFailure(FileErrorText(errorNumber));
}

void TJournal::CloseFile() {
    if (m_fd >= 0)
        m_fs.Close(std::exchange(m_fd, -1));
}

void TJournal::EndRun() {
    if (!m_inRun)
        return;
    Write();
    if (m_fd >= 0 && !m_failed) {
        Sync();
        if (m_fd >= 0 && m_fs.Close(std::exchange(m_fd, -1)) != 0)
            Fail(errno);
    }
    CloseFile();
    m_inRun = false;
    m_unwritten.clear();
    m_onFailure = nullptr;
}

// ---- Reading ----------------------------------------------------------------------------------

EJournalFormat::EJournalFormat(int line)
    : std::runtime_error(res::FormatInt(res::kJournalBadLineFormat, line)), m_line(line) {}

namespace {

// One CSV record: its fields, the line it starts on, whether a line end closed it.
struct TRecord {
    std::vector<std::string> fields;
    int line = 0;
    bool terminated = false;
    bool malformed = false; // a quote where none may stand, or a quoted field never closed
};

class TCsvCursor {
public:
    explicit TCsvCursor(std::string_view bytes) : m_bytes(bytes) {}

    bool Next(TRecord& record) {
        if (m_pos >= m_bytes.size())
            return false;
        record = TRecord{{std::string()}, m_line, false, false};
        m_quotedBefore = false;
        while (m_pos < m_bytes.size()) {
            const char c = m_bytes[m_pos++];
            if (c == ',') {
                record.fields.emplace_back();
            } else if (c == '\r' || c == '\n') {
                if (c == '\r' && m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
                    ++m_pos;
                ++m_line;
                record.terminated = true;
                return true;
            } else if (c == '"' && record.fields.back().empty() && !m_quotedBefore) {
                Quoted(record);
                m_quotedBefore = true;
                continue;
            } else {
                if (m_quotedBefore || c == '"')
                    record.malformed = true;
                record.fields.back().push_back(c);
            }
            m_quotedBefore = false;
        }
        return true;
    }

private:
    // The rest of a quoted field, up to its closing quote; "" is one quote, line ends are kept.
    void Quoted(TRecord& record) {
        std::string& field = record.fields.back();
        while (m_pos < m_bytes.size()) {
            const char c = m_bytes[m_pos++];
            if (c == '"') {
                if (m_pos < m_bytes.size() && m_bytes[m_pos] == '"') {
                    field.push_back('"');
                    ++m_pos;
                    continue;
                }
                return;
            }
            if (c == '\n')
                ++m_line;
            field.push_back(c);
        }
        record.malformed = true;
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    int m_line = 1;
    // The field being read was quoted and has closed: only a separator or a line end may follow.
    bool m_quotedBefore = false;
};

std::optional<std::int32_t> WholeNumber(std::string_view text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end)
        return std::nullopt;
    return value;
}

bool IsDecimal(std::string_view text) {
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    const auto point = text.find('.');
    return point == std::string_view::npos
               ? digits(text)
               : digits(text.substr(0, point)) && digits(text.substr(point + 1));
}

// The entry of one data row, nullopt for a port event; throws nothing, false when unreadable.
bool ReadRow(const TRecord& record, std::optional<TJournalEntry>& entry) {
    const auto& f = record.fields;
    if (record.malformed || f.size() != kFieldCount || f[0].empty() || !IsDecimal(f[1]) ||
        f[2].empty())
        return false;
    const int filled = int(!f[3].empty()) + int(!f[4].empty()) + int(!f[5].empty());
    if (filled != 1)
        return false;
    entry.reset();
    if (!f[3].empty()) {
        const auto hertz = WholeNumber(f[3]);
        if (!hertz)
            return false;
        entry = TJournalEntry{TJournalEntry::TKind::Sample, *hertz};
    } else if (!f[4].empty()) {
        const auto number = WholeNumber(f[4]);
        if (!number || *number < 1)
            return false;
        entry = TJournalEntry{TJournalEntry::TKind::Marker, *number};
    }
    return true;
}

bool IsHeader(const TRecord& record) {
    std::string joined;
    for (std::size_t i = 0; i < record.fields.size(); ++i)
        joined.append(i == 0 ? "" : ",").append(record.fields[i]);
    return !record.malformed && record.fields.size() == kFieldCount && joined == kJournalHeader;
}

} // namespace

std::vector<TJournalEntry> ParseJournal(std::string_view bytes) {
    if (bytes.starts_with(kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    TCsvCursor cursor(bytes);
    TRecord record;
    if (!cursor.Next(record) || !IsHeader(record))
        throw EJournalFormat(1);

    // Only what the history can hold is kept: a journal of a day's run costs no more than one
    // of a few minutes.
    std::deque<TJournalEntry> kept;
    std::size_t samples = 0;
    while (cursor.Next(record)) {
        if (record.fields.size() == 1 && record.fields[0].empty() && !record.malformed)
            continue;
        std::optional<TJournalEntry> entry;
        if (!ReadRow(record, entry)) {
            if (!record.terminated)
                break;
            throw EJournalFormat(record.line);
        }
        if (!entry)
            continue;
        kept.push_back(*entry);
        if (entry->kind != TJournalEntry::TKind::Sample || ++samples <= kHistorySize)
            continue;
        // The oldest sample leaves, and the markers that were waiting for it with it.
        while (kept.front().kind != TJournalEntry::TKind::Sample)
            kept.pop_front();
        kept.pop_front();
        --samples;
    }

    // Markers after the last sample go with it.
    std::vector<TJournalEntry> entries(kept.begin(), kept.end());
    std::size_t lastSample = entries.size();
    while (lastSample > 0 && entries[lastSample - 1].kind != TJournalEntry::TKind::Sample)
        --lastSample;
    if (lastSample == 0)
        return {};
    std::rotate(entries.begin() + std::ptrdiff_t(lastSample) - 1,
                entries.begin() + std::ptrdiff_t(lastSample), entries.end());
    return entries;
}

std::vector<TJournalEntry> ReadJournalFile(const std::string& path, TFileSystem& fs) {
    return ParseJournal(ReadWholeFile(path, fs));
}

} // namespace sornafex
