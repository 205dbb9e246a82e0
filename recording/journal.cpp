#include "recording/journal.h"

#include "base/locations.h"
#include "base/uRes.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace sornafex {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Runs started within the same second on the same port get "_2", "_3"... rather than one
// overwriting the other's journal.
constexpr int kMaxSameNameRuns = 100;

constexpr auto Column(TJournalColumn column) {
    return static_cast<std::size_t>(column);
}

constexpr bool ColumnsInOrder() {
    for (std::size_t i = 0; i < kJournalColumns.size(); ++i)
        if (Column(kJournalColumns[i].column) != i)
            return false;
    return true;
}
static_assert(ColumnsInOrder(), "kJournalColumns lists each column at its place");

// Rounds towards minus infinity, so that a moment just before a millisecond is in the one before.
constexpr std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
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

// "50.2371" in text: a point whatever the locale (the toolkit sets the user's, whose decimal
// separator may be a comma). Empty for a value that is not finite or needs more than the room.
using TDecimalText = std::array<char, 32>;
std::string_view FourDecimals(TDecimalText& text, double value) {
    if (!std::isfinite(value))
        return {};
    const auto [end, error] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed, 4);
    return error == std::errc() ? std::string_view(text.data(), std::size_t(end - text.data()))
                                : std::string_view();
}

// Quoted as RFC 4180 says when the field holds a separator, a quote or a line end.
void AppendField(std::string& row, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        row.append(field);
        return;
    }
    row.push_back('"');
    for (const char c : field) {
        if (c == '"')
            row.push_back('"');
        row.push_back(c);
    }
    row.push_back('"');
}

// The digits of text[at, at + count) as a number; -1 when one is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

// ---- The form ---------------------------------------------------------------------------------

const std::string& JournalHeader() {
    static const std::string header = [] {
        std::string text;
        for (const TJournalColumnName& column : kJournalColumns)
            text.append(text.empty() ? "" : ",").append(column.name);
        return text;
    }();
    return header;
}

std::string_view JournalEventWord(TJournalEvent event) {
    for (const TJournalEventWord& entry : kJournalEvents)
        if (entry.event == event)
            return entry.word;
    return {};
}

std::optional<TJournalEvent> JournalEventOf(std::string_view word) {
    for (const TJournalEventWord& entry : kJournalEvents)
        if (entry.word == word)
            return entry.event;
    return std::nullopt;
}

char QuestionTypeLetter(TQuestionType type) {
    for (const TQuestionTypeLetter& entry : kQuestionTypes)
        if (entry.type == type)
            return entry.letter;
    return '\0';
}

std::optional<TQuestionType> QuestionTypeOf(char letter) {
    for (const TQuestionTypeLetter& entry : kQuestionTypes)
        if (entry.letter == letter)
            return entry.type;
    return std::nullopt;
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

std::optional<TJournalTime> ParseJournalTime(std::string_view text) {
    // 2026-12-08T10:15:02.123+01:00, each separator at its place.
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
    if (text.size() != kShape.size())
        return std::nullopt;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        const bool fits = kShape[i] == 'd'   ? digit
                          : kShape[i] == '+' ? text[i] == '+' || text[i] == '-'
                                             : text[i] == kShape[i];
        if (!fits)
            return std::nullopt;
    }
    using namespace std::chrono;
    const year_month_day date{year(Digits(text, 0, 4)), month(unsigned(Digits(text, 5, 2))),
                              day(unsigned(Digits(text, 8, 2)))};
    const int hour = Digits(text, 11, 2);
    const int minute = Digits(text, 14, 2);
    const int second = Digits(text, 17, 2);
    const int offsetHours = Digits(text, 24, 2);
    const int offsetMinutes = Digits(text, 27, 2);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59 || offsetHours > 23 ||
        offsetMinutes > 59)
        return std::nullopt;
    const std::int32_t offset =
        (text[23] == '-' ? -1 : 1) * (offsetHours * 3600 + offsetMinutes * 60);
    const sys_time<milliseconds> local = sys_days(date) + hours(hour) + minutes(minute) +
                                         seconds(second) + milliseconds(Digits(text, 20, 3));
    return TJournalTime{(local - seconds(offset)).time_since_epoch().count(), offset};
}

std::string JournalFileName(std::int64_t epochMs, std::int32_t utcOffsetSeconds, int port) {
    const TCivilTime t = CivilTime(epochMs, utcOffsetSeconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d_", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text + res::PortName(port) + "." + std::string(res::kJournalExt);
}

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

TJournalInstant SystemJournalInstant() {
    timespec wall{};
    ::clock_gettime(CLOCK_REALTIME, &wall);
    const TMonoNs steady = MonotonicNs();
    tm local{};
    const time_t seconds = wall.tv_sec;
    ::localtime_r(&seconds, &local);
    return {std::int64_t(wall.tv_sec) * 1000 + wall.tv_nsec / 1000000,
            static_cast<std::int32_t>(local.tm_gmtoff), steady};
}

// ---- The writer thread ------------------------------------------------------------------------

// What the UI thread and the writer share about a run.
struct TJournal::TRun {
    // Set when the run begins, then only read.
    std::string folder;
    std::string fileName;
    // The UI thread's alone.
    TFailureHandler onFailure;
    bool failed = false;
    // The file, once the writer has made it.
    mutable std::mutex pathMutex;
    std::string path;
};

class TJournal::TWriter {
public:
    // Rows of a run in the order of their times, handed over from the UI thread.
    struct TOrder {
        std::shared_ptr<TRun> run;
        std::string rows;
        TMonoNs oldestAt = 0; // the time of the first of rows
        TMonoNs madeAt = 0;   // the moment they were handed over
        bool last = false;    // the run's end: flush and close its file
    };

    TWriter(TUiBridge& bridge, TFileSystem& fs, std::shared_ptr<bool> alive)
        : m_bridge(bridge), m_fs(fs), m_alive(std::move(alive)), m_thread([this] { Loop(); }) {}

    // Writes everything handed over, then ends the thread.
    ~TWriter() {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    void Hand(TOrder order) {
        {
            std::lock_guard lock(m_mutex);
            m_orders.push_back(std::move(order));
        }
        m_wake.notify_one();
    }

    bool Idle() const {
        std::lock_guard lock(m_mutex);
        return !m_busy && m_orders.empty();
    }

private:
    void Loop() {
        std::vector<TOrder> batch;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_busy = false;
            m_wake.wait(lock, [this] { return m_quit || !m_orders.empty(); });
            if (m_orders.empty())
                return;
            batch.swap(m_orders);
            m_busy = true;
            lock.unlock();
            for (TOrder& order : batch)
                Handle(order);
            batch.clear();
            lock.lock();
        }
    }

    void Handle(TOrder& order) {
        if (order.run != m_run) {
            CloseFiles();
            m_run = order.run;
            m_failed = false;
            m_folderSynced = false;
            m_oldestUnsynced.reset();
        }
        if (!m_failed && !order.rows.empty())
            Write(order);
        if (order.last) {
            if (!m_failed)
                Finish();
            CloseFiles();
            m_run.reset();
        }
    }

    void Write(const TOrder& order) {
        if (m_fd < 0 && !Create())
            return;
        try {
            WriteAll(m_fd, order.rows, m_fs);
        } catch (const EFileError& error) {
            Fail(FileErrorText(error.ErrorNumber()));
            return;
        }
        if (!m_oldestUnsynced)
            m_oldestUnsynced = order.oldestAt;
        if (order.madeAt - *m_oldestUnsynced >= std::chrono::nanoseconds(kSyncInterval).count())
            Sync();
    }

    bool Create() {
        const std::string& folder = m_run->folder;
        if (folder.empty() || !MakeFolder(folder))
            return Fail(FileErrorText(folder.empty() ? ENOENT : errno));
        // The checks are made on the folder that is open, and the file is made in that same
        // folder: a folder swapped for another between the two would change nothing.
        m_folderFd = m_fs.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
        struct stat status {};
        if (m_folderFd < 0 || m_fs.Fstat(m_folderFd, status) != 0)
            return Fail(FileErrorText(errno));
        if (status.st_uid != ::geteuid())
            return Fail(std::string(res::kJournalFolderForeign));
        if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            return Fail(std::string(res::kJournalFolderShared));

        const std::string& name = m_run->fileName;
        const std::string stem = name.substr(0, name.size() - res::kJournalExt.size() - 1);
        std::string candidateName;
        for (int n = 1;; ++n) {
            candidateName =
                n == 1 ? name
                       : stem + "_" + std::to_string(n) + "." + std::string(res::kJournalExt);
            m_fd = m_fs.OpenAt(m_folderFd, candidateName,
                               O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
            if (m_fd >= 0)
                break;
            if (errno != EEXIST || n == kMaxSameNameRuns)
                return Fail(FileErrorText(errno));
        }
        // The umask can only take permissions away, and may take the owner's own.
        if (m_fs.Fchmod(m_fd, 0600) != 0)
            return Fail(FileErrorText(errno));
        {
            std::lock_guard lock(m_run->pathMutex);
            m_run->path = folder + "/" + candidateName;
        }
        try {
            WriteAll(m_fd, JournalHeader() + std::string(kLineEnd), m_fs);
        } catch (const EFileError& error) {
            return Fail(FileErrorText(error.ErrorNumber()));
        }
        return true;
    }

    void Sync() {
        if (m_fs.Fsync(m_fd) != 0) {
            Fail(FileErrorText(errno));
            return;
        }
        m_oldestUnsynced.reset();
        // The new file's name must reach the disk too, or a crash may keep its rows but lose
        // it. Some file systems cannot flush a folder; the rows are safe all the same.
        if (!m_folderSynced) {
            m_fs.Fsync(m_folderFd);
            m_folderSynced = true;
        }
    }

    void Finish() {
        if (m_fd < 0)
            return;
        Sync();
        if (m_fd >= 0 && m_fs.Close(std::exchange(m_fd, -1)) != 0)
            Fail(FileErrorText(errno));
    }

    // Closes the run's files and says why, once, on the UI thread. Returns false.
    bool Fail(std::string reason) {
        CloseFiles();
        m_failed = true;
        m_bridge.Post([alive = m_alive, run = m_run, reason = std::move(reason)] {
            if (!*alive || run->failed)
                return;
            run->failed = true;
            if (run->onFailure)
                run->onFailure(reason);
        });
        return false;
    }

    void CloseFiles() {
        if (m_fd >= 0)
            m_fs.Close(std::exchange(m_fd, -1));
        if (m_folderFd >= 0)
            m_fs.Close(std::exchange(m_folderFd, -1));
    }

    TUiBridge& m_bridge;
    TFileSystem& m_fs;
    const std::shared_ptr<bool> m_alive;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<TOrder> m_orders;
    bool m_busy = false;
    bool m_quit = false;

    // The writer thread's alone: the run being written and its files.
    std::shared_ptr<TRun> m_run;
    int m_folderFd = -1;
    int m_fd = -1;
    bool m_failed = false;
    bool m_folderSynced = false;
    std::optional<TMonoNs> m_oldestUnsynced;

    // Last: the thread starts once everything it uses is ready.
    std::thread m_thread;
};

// ---- The UI thread's side ---------------------------------------------------------------------

TJournal::TJournal(TUiBridge& bridge, TJournalClock clock, TFileSystem& fs)
    : m_bridge(bridge), m_clock(std::move(clock)), m_fs(fs), m_alive(std::make_shared<bool>(true)) {
}

TJournal::~TJournal() {
    EndRun();
    *m_alive = false;
    m_writer.reset();
}

void TJournal::BeginRun(std::string folder, int port, TFailureHandler onFailure) {
    EndRun();
    if (!m_writer)
        m_writer = std::make_unique<TWriter>(m_bridge, m_fs, m_alive);
    m_start = m_clock();
    m_portName = res::PortName(port);
    m_run = std::make_shared<TRun>();
    m_run->folder = std::move(folder);
    m_run->fileName = JournalFileName(m_start.epochMs, m_start.utcOffsetSeconds, port);
    m_run->onFailure = std::move(onFailure);
    m_markers = 0;
    m_sampled = false;
    m_pending.clear();
}

bool TJournal::Writing() const {
    return m_run != nullptr && !m_run->failed;
}

void TJournal::Sample(std::int32_t hertz, bool measured) {
    if (!Writing())
        return;
    m_sampled = true;
    const TJournalInstant now = m_clock();
    const std::string number = std::to_string(hertz);
    TRowFields fields{};
    if (measured)
        fields[Column(TJournalColumn::Hertz)] = number;
    else
        fields[Column(TJournalColumn::Event)] = JournalEventWord(TJournalEvent::NoMeasurement);
    Add(now.monotonicNs, now, fields);
}

void TJournal::Fine(TMonoNs at, double hertz, std::optional<double> microsiemens) {
    TDecimalText fine;
    TDecimalText conductance;
    TRowFields fields{};
    fields[Column(TJournalColumn::FineHertz)] = FourDecimals(fine, hertz);
    if (microsiemens)
        fields[Column(TJournalColumn::Conductance)] = FourDecimals(conductance, *microsiemens);
    if (Writing() && !fields[Column(TJournalColumn::FineHertz)].empty())
        Add(at, m_clock(), fields);
}

int TJournal::Mark(TMonoNs at) {
    ++m_markers;
    const std::string number = std::to_string(m_markers);
    TRowFields fields{};
    fields[Column(TJournalColumn::Marker)] = number;
    AddAt(at, fields);
    return m_markers;
}

int TJournal::Mark() {
    return Mark(m_clock().monotonicNs);
}

void TJournal::Question(TMonoNs at, int number, TQuestionType type, std::string_view text) {
    const std::string question = std::to_string(number);
    const char letter = QuestionTypeLetter(type);
    TRowFields fields{};
    fields[Column(TJournalColumn::Event)] = JournalEventWord(TJournalEvent::Question);
    fields[Column(TJournalColumn::Question)] = question;
    fields[Column(TJournalColumn::QuestionType)] = std::string_view(&letter, 1);
    fields[Column(TJournalColumn::QuestionText)] = text;
    AddAt(at, fields);
}

void TJournal::Answer(TMonoNs at, int number, bool yes) {
    const std::string question = std::to_string(number);
    TRowFields fields{};
    fields[Column(TJournalColumn::Event)] = JournalEventWord(TJournalEvent::Answer);
    fields[Column(TJournalColumn::Question)] = question;
    fields[Column(TJournalColumn::Answer)] = yes ? kAnswerYes : kAnswerNo;
    AddAt(at, fields);
}

void TJournal::UndoMarker(TMonoNs at, int number) {
    const std::string marker = std::to_string(number);
    TRowFields fields{};
    fields[Column(TJournalColumn::Event)] = JournalEventWord(TJournalEvent::Undone);
    fields[Column(TJournalColumn::Marker)] = marker;
    AddAt(at, fields);
}

void TJournal::UndoQuestion(TMonoNs at, int number) {
    const std::string question = std::to_string(number);
    TRowFields fields{};
    fields[Column(TJournalColumn::Event)] = JournalEventWord(TJournalEvent::Undone);
    fields[Column(TJournalColumn::Question)] = question;
    AddAt(at, fields);
}

void TJournal::UndoAnswer(TMonoNs at, int number, bool yes) {
    const std::string question = std::to_string(number);
    TRowFields fields{};
    fields[Column(TJournalColumn::Event)] = JournalEventWord(TJournalEvent::Undone);
    fields[Column(TJournalColumn::Question)] = question;
    fields[Column(TJournalColumn::Answer)] = yes ? kAnswerYes : kAnswerNo;
    AddAt(at, fields);
}

void TJournal::Describe(std::string_view device, std::string_view calibration) {
    const TMonoNs now = m_clock().monotonicNs;
    for (const auto& [event, text] : {std::pair{TJournalEvent::Device, device},
                                      std::pair{TJournalEvent::Calibration, calibration}}) {
        if (text.empty())
            continue;
        TRowFields fields{};
        fields[Column(TJournalColumn::Event)] = JournalEventWord(event);
        fields[Column(TJournalColumn::QuestionText)] = text;
        AddAt(now, fields);
    }
}

void TJournal::Event(TJournalEvent event) {
    switch (event) {
    case TJournalEvent::NoMeasurement:
        Sample(0, false);
        return;
    case TJournalEvent::Question:
    case TJournalEvent::Answer:
    case TJournalEvent::Undone:
    case TJournalEvent::Device:
    case TJournalEvent::Calibration:
        return;
    case TJournalEvent::PortLost:
    case TJournalEvent::PortReopened:
    case TJournalEvent::Recentred:
        break;
    }
    TRowFields fields{};
    fields[Column(TJournalColumn::Event)] = JournalEventWord(event);
    AddAt(m_clock().monotonicNs, fields);
}

void TJournal::AddAt(TMonoNs at, TRowFields& fields) {
    if (Writing())
        Add(at, m_clock(), fields);
}

void TJournal::Add(TMonoNs at, const TJournalInstant& now, TRowFields& fields) {
    const std::string time = FormatJournalTime(
        now.epochMs + FloorDiv(at - now.monotonicNs, kNsPerMs), now.utcOffsetSeconds);
    const std::string seconds = Seconds(FloorDiv(at - m_start.monotonicNs, kNsPerMs));
    fields[Column(TJournalColumn::Time)] = time;
    fields[Column(TJournalColumn::Seconds)] = seconds;
    fields[Column(TJournalColumn::Port)] = m_portName;
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text.push_back(',');
        AppendField(text, fields[i]);
    }
    text.append(kLineEnd);

    // Rows of the same time keep the order in which they were made.
    auto place = m_pending.end();
    while (place != m_pending.begin() && std::prev(place)->at > at)
        --place;
    m_pending.insert(place, TPendingRow{at, std::move(text)});
    Release(now.monotonicNs - std::chrono::nanoseconds(kMaxRowDelay).count(), now.monotonicNs,
            false);
}

void TJournal::Release(TMonoNs horizon, TMonoNs now, bool last) {
    if (!m_sampled)
        return;
    auto end = m_pending.begin();
    std::string rows;
    for (; end != m_pending.end() && end->at <= horizon; ++end)
        rows.append(end->text);
    if (rows.empty() && !last)
        return;
    const TMonoNs oldestAt = m_pending.empty() ? now : m_pending.front().at;
    m_pending.erase(m_pending.begin(), end);
    m_writer->Hand({m_run, std::move(rows), oldestAt, now, last});
}

void TJournal::EndRun() {
    if (!m_run)
        return;
    if (Writing())
        Release(std::numeric_limits<TMonoNs>::max(), m_clock().monotonicNs, true);
    m_lastRun = std::exchange(m_run, nullptr);
    m_pending.clear();
}

std::string TJournal::Path() const {
    const std::shared_ptr<TRun>& run = m_run ? m_run : m_lastRun;
    if (!run)
        return {};
    std::lock_guard lock(run->pathMutex);
    return run->path;
}

bool TJournal::Idle() const {
    return !m_writer || m_writer->Idle();
}

} // namespace sornafex
