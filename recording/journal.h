#pragma once

// The journal of an acquisition run: every sample, fine estimate, marker, question, answer and
// event of the run, one CSV row each (UTF-8, RFC 4180 with CR LF line ends), written while the
// run goes on.
//
//   horodatage,secondes,port,frequence_hz,repere,evenement,frequence_fine_hz,conductance_us,
//       question,type,texte,reponse                                        (one line in the file)
//   2026-12-08T10:15:02.223+01:00,0.100,COM1,,,,50.2371,,,,,
//   2026-12-08T10:15:03.127+01:00,1.004,COM1,57,,,,,,,,
//   2026-12-08T10:15:03.611+01:00,1.488,COM1,,1,,,,,,,
//   2026-12-08T10:15:04.127+01:00,2.004,COM1,,,sans mesure,,,,,,
//   2026-12-08T10:15:04.131+01:00,2.008,COM1,,,port perdu,,,,,,
//   2026-12-08T10:15:09.502+01:00,7.379,COM1,,,question,,,1,R,"Hier, à Lyon ?",
//   2026-12-08T10:15:11.046+01:00,8.923,COM1,,,réponse,,,1,,,non
//   2026-12-08T10:15:13.310+01:00,11.187,COM1,,,annulé,,,1,,,non
//   2026-12-08T10:15:02.124+01:00,0.001,COM1,,,périphérique,,,,,sim:file:/home/x/p.txt,
//   2026-12-08T10:15:02.124+01:00,0.001,COM1,,,étalonnage,,,,,1000@10;100@100,
//
// The first column is local time with its offset from UTC, the second the seconds since the run
// started, on the monotonic clock. Each row fills the columns of its kind and leaves the others
// empty: a sample (frequence_hz), a sample whose window fell in a loss of the port (evenement
// "sans mesure"), a fine estimate (frequence_fine_hz, and conductance_us when the sensor is
// calibrated), a marker (repere), a question's onset (evenement "question", its number in the
// run, its type and its text, which may be empty), an answer (evenement "réponse", the question's
// number and reponse), the undoing of a mark (evenement "annulé" with what identifies the mark:
// repere for a marker, question for an onset, question and reponse for an answer), what the run
// measured with (evenement "périphérique" or "étalonnage", with the device or the calibration
// points in texte) or another event (evenement). Rows are in the order of their time.
// A file is named after the start of its run in local time, 2026-12-08_10-15-02_COM1.csv, and is
// made at the run's first sample: a run that delivers none leaves no journal.
//
// This header holds the journal's form, which the writer below and the readers
// (journal_reader.h) share, and the writer.

#include "base/file_io.h"
#include "base/mono_clock.h"
#include "base/ui_bridge.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

// ---- The form --------------------------------------------------------------------------------

enum class TJournalColumn : std::size_t {
    Time,
    Seconds,
    Port,
    Hertz,
    Marker,
    Event,
    FineHertz,
    Conductance,
    Question,
    QuestionType,
    QuestionText,
    Answer,
};

struct TJournalColumnName {
    TJournalColumn column;
    std::string_view name;
};

// The columns in the order of the header, one entry each. Every journal has the first six (the
// first journals had no others, the next ones eight); a reader takes the columns by their names.
inline constexpr std::array kJournalColumns{
    TJournalColumnName{TJournalColumn::Time, "horodatage"},
    TJournalColumnName{TJournalColumn::Seconds, "secondes"},
    TJournalColumnName{TJournalColumn::Port, "port"},
    TJournalColumnName{TJournalColumn::Hertz, "frequence_hz"},
    TJournalColumnName{TJournalColumn::Marker, "repere"},
    TJournalColumnName{TJournalColumn::Event, "evenement"},
    TJournalColumnName{TJournalColumn::FineHertz, "frequence_fine_hz"},
    TJournalColumnName{TJournalColumn::Conductance, "conductance_us"},
    TJournalColumnName{TJournalColumn::Question, "question"},
    TJournalColumnName{TJournalColumn::QuestionType, "type"},
    TJournalColumnName{TJournalColumn::QuestionText, "texte"},
    TJournalColumnName{TJournalColumn::Answer, "reponse"},
};
inline constexpr std::size_t kJournalColumnCount = kJournalColumns.size();
inline constexpr std::size_t kJournalFirstColumns = 6;

// The header line's text, without its line end.
const std::string& JournalHeader();

// What the evenement column can say. NoMeasurement is the row of a sample whose window fell, even
// partly, in a loss of the port: it stands for the sample. Question, Answer and Undone are the
// rows of the examination's marks, with columns of their own.
enum class TJournalEvent {
    PortLost,
    PortReopened,
    NoMeasurement,
    Recentred,
    Question,
    Answer,
    Undone,
    Device,
    Calibration,
};

struct TJournalEventWord {
    TJournalEvent event;
    std::string_view word;
};

// The words of the evenement column, one entry each.
inline constexpr std::array kJournalEvents{
    TJournalEventWord{TJournalEvent::PortLost, "port perdu"},
    TJournalEventWord{TJournalEvent::PortReopened, "port rouvert"},
    TJournalEventWord{TJournalEvent::NoMeasurement, "sans mesure"},
    TJournalEventWord{TJournalEvent::Recentred, "recentrage"},
    TJournalEventWord{TJournalEvent::Question, "question"},
    TJournalEventWord{TJournalEvent::Answer, "réponse"},
    TJournalEventWord{TJournalEvent::Undone, "annulé"},
    TJournalEventWord{TJournalEvent::Device, "périphérique"},
    TJournalEventWord{TJournalEvent::Calibration, "étalonnage"},
};

std::string_view JournalEventWord(TJournalEvent event);
// nullopt for a word that is none of them.
std::optional<TJournalEvent> JournalEventOf(std::string_view word);

// What a question is in the examination's list: relevant to the matter, a comparison question, a
// neutral one; or asked without a list.
enum class TQuestionType { Relevant, Comparison, Neutral, Unlisted };

struct TQuestionTypeLetter {
    TQuestionType type;
    char letter;
};

// The letters of the type column (and of the examination's lists), one entry each.
inline constexpr std::array kQuestionTypes{
    TQuestionTypeLetter{TQuestionType::Relevant, 'R'},
    TQuestionTypeLetter{TQuestionType::Comparison, 'C'},
    TQuestionTypeLetter{TQuestionType::Neutral, 'N'},
    TQuestionTypeLetter{TQuestionType::Unlisted, '-'},
};

char QuestionTypeLetter(TQuestionType type);
// nullopt for a letter that is none of them.
std::optional<TQuestionType> QuestionTypeOf(char letter);

// The words of the reponse column.
inline constexpr std::string_view kAnswerYes = "oui";
inline constexpr std::string_view kAnswerNo = "non";

// A moment as the first column gives it.
struct TJournalTime {
    std::int64_t epochMs = 0;          // milliseconds since 1970-01-01 UTC
    std::int32_t utcOffsetSeconds = 0; // local time minus UTC at that moment

    friend bool operator==(const TJournalTime&, const TJournalTime&) = default;
};

// The civil date and time of a moment, local time being UTC shifted by the offset.
struct TCivilTime {
    int year, month, day, hour, minute, second, millisecond;
};
TCivilTime CivilTime(std::int64_t epochMs, std::int32_t utcOffsetSeconds);

// "2026-12-08T10:15:02.123+01:00": the local time of epochMs, to the millisecond, with its offset.
std::string FormatJournalTime(std::int64_t epochMs, std::int32_t utcOffsetSeconds);
// The moment FormatJournalTime wrote; nullopt for any other text.
std::optional<TJournalTime> ParseJournalTime(std::string_view text);
// "2026-12-08_10-15-02_COM1.csv": the local time of epochMs and the port.
std::string JournalFileName(std::int64_t epochMs, std::int32_t utcOffsetSeconds, int port);

// ---- The writer -------------------------------------------------------------------------------

// One reading of the clocks a journal row needs.
struct TJournalInstant {
    std::int64_t epochMs = 0;          // wall time: milliseconds since 1970-01-01 UTC
    std::int32_t utcOffsetSeconds = 0; // local time minus UTC at that moment
    TMonoNs monotonicNs = 0;           // the program's monotonic clock: the seconds of the run
};
using TJournalClock = std::function<TJournalInstant()>;
// CLOCK_REALTIME with the local zone's offset, and MonotonicNs().
TJournalInstant SystemJournalInstant();

// The journal writer of the main window, one run at a time. The calls that make rows (Sample,
// Fine, Mark, Question, Answer, the undos, Event) only format them and hand them to a writer thread
// the journal owns, which makes the folder and the file, writes, flushes to the disk and closes: a
// slow disk delays no hand-off of a sample, no paint and no key. Made, used and destroyed on the UI
// thread.
class TJournal {
public:
    // The file is flushed to the disk once its oldest unflushed row is this old (checked at each
    // hand-over), and at the end of the run.
    static constexpr std::chrono::milliseconds kSyncInterval{10000};
    // Fine rows and marks come late: their time is that of their estimate or of their key
    // press, at most this long before the call that makes them (a caller's promise). Rows are
    // held this long before they are written, so that the file keeps the order of the rows'
    // times.
    static constexpr std::chrono::milliseconds kMaxRowDelay{250};

    // Receives the French reason ("Disque plein") the first time a run's journal cannot be
    // written, on the UI thread through the bridge; never once the journal is gone.
    using TFailureHandler = std::function<void(const std::string& reason)>;

    // bridge must outlive the journal.
    explicit TJournal(TUiBridge& bridge, TJournalClock clock = SystemJournalInstant,
                      TFileSystem& fs = TFileSystem::Posix());
    // Ends a run still in progress and waits until the writer has written everything.
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // A run on port begins now; its file will be made in folder (and the folders on the way,
    // mode 0700) once it has a sample to hold, mode 0600. A folder that belongs to another
    // account or that others may write is refused, as a failure. Ends a run still in progress
    // first.
    void BeginRun(std::string folder, int port, TFailureHandler onFailure);
    bool InRun() const { return m_run != nullptr; }
    // The run's start on the monotonic clock: the origin of the secondes column.
    TMonoNs RunStartNs() const { return m_start.monotonicNs; }

    // The rows, each stamped with the time of the call unless said otherwise. After a failure
    // the run goes on without its journal: no more rows are made. Outside a run nothing happens.
    //
    // The sample of a counting window; a window that fell, even partly, in a loss of the port
    // is not measured.
    void Sample(std::int32_t hertz, bool measured);
    // The fine frequency estimated for the moment at (monotonic, at most kMaxRowDelay ago), and
    // the conductance when the sensor is calibrated. A frequency that is not finite (or has
    // more than 26 digits) makes no row; such a conductance is left out.
    void Fine(TMonoNs at, double hertz, std::optional<double> microsiemens);
    // A marker at the moment at (the key press, monotonic, at most kMaxRowDelay ago), or now;
    // returns its number in the run: 1, 2, 3... An undone marker keeps its number: the next one
    // has the next.
    int Mark(TMonoNs at);
    int Mark();
    // The onset of question number (from 1, the caller's count in the run) at the moment at (a
    // key press, as Mark's, and so are the times below), with its text (any UTF-8, may be empty).
    void Question(TMonoNs at, int number, TQuestionType type, std::string_view text);
    // The answer to question number, given at the moment at.
    void Answer(TMonoNs at, int number, bool yes);
    // The undoing, at the moment at, of a marker, of a question's onset or of an answer: the row
    // repeats what identifies the mark it cancels.
    void UndoMarker(TMonoNs at, int number);
    void UndoQuestion(TMonoNs at, int number);
    void UndoAnswer(TMonoNs at, int number, bool yes);
    // What the run measures with, stamped now: the device (its value, as the preferences map
    // the port), and its calibration points when it has any ("" for none: no row).
    void Describe(std::string_view device, std::string_view calibration);
    // PortLost, PortReopened, Recentred, stamped now; NoMeasurement is Sample(hertz, false).
    // Question, Answer, Undone, Device and Calibration make no row here: they are the calls
    // above.
    void Event(TJournalEvent event);

    // Hands what is left of the run to the writer, which writes it, flushes the file to the disk
    // and closes it; returns at once. Nothing happens outside a run.
    void EndRun();

    // True once the writer has done all it was handed: the rows written, the files of ended runs
    // flushed and closed, the failures posted.
    bool Idle() const;
    // The file of the run in progress, or of the last one, once the writer has made it (at the
    // run's first sample, a moment later); empty before.
    std::string Path() const;

private:
    struct TRun;
    struct TPendingRow {
        TMonoNs at;
        std::string text;
    };
    class TWriter;

    using TRowFields = std::array<std::string_view, kJournalColumnCount>;
    bool Writing() const;
    // A row at the moment at (at most kMaxRowDelay ago), while the journal is written.
    void AddAt(TMonoNs at, TRowFields& fields);
    void Add(TMonoNs at, const TJournalInstant& now, TRowFields& fields);
    void Release(TMonoNs horizon, TMonoNs now, bool last);

    TUiBridge& m_bridge;
    TJournalClock m_clock;
    TFileSystem& m_fs;
    // Cleared by the destructor: failures posted for its runs are no longer delivered.
    std::shared_ptr<bool> m_alive;
    std::unique_ptr<TWriter> m_writer;

    std::shared_ptr<TRun> m_run;
    std::shared_ptr<TRun> m_lastRun;
    TJournalInstant m_start;
    std::string m_portName;
    int m_markers = 0;
    bool m_sampled = false;
    // Rows made and not yet handed over, in the order of their times. Before the first sample
    // there is no file for them.
    std::vector<TPendingRow> m_pending;
};

} // namespace sornafex
