#include "recording/journal_reader.h"

#include "base/uRes.h"
#include "recording/dat_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <deque>
#include <limits>
#include <utility>

namespace sornafex {

EJournalFormat::EJournalFormat(int line)
    : std::runtime_error(res::FormatInt(res::kJournalBadLineFormat, line)), m_line(line) {}

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// ---- CSV records ------------------------------------------------------------------------------

// One CSV record: its fields, the line it starts on, whether a line end closed it.
struct TRecord {
    // Pieces of the bytes read, or of unescaped.
    std::vector<std::string_view> fields;
    // The quoted fields that held a doubled quote, as they read; a deque keeps its strings in
    // place as it grows.
    std::deque<std::string> unescaped;
    int line = 0;
    bool terminated = false;
    bool malformed = false; // a quote where none may stand, or a quoted field never closed
};

// Reads the records without copying a field that the bytes hold as it reads: a record costs no
// allocation once the first ones have sized its arrays.
class TCsvCursor {
public:
    explicit TCsvCursor(std::string_view bytes) : m_bytes(bytes) {}

    bool Next(TRecord& record) {
        if (m_pos >= m_bytes.size())
            return false;
        record.fields.clear();
        record.unescaped.clear();
        record.line = m_line;
        record.terminated = false;
        record.malformed = false;
        for (;;) {
            const bool quoted = m_pos < m_bytes.size() && m_bytes[m_pos] == '"';
            record.fields.push_back(quoted ? Quoted(record) : Plain(record));
            if (m_pos >= m_bytes.size())
                return true;
            const char c = m_bytes[m_pos++];
            if (c == ',')
                continue;
            if (c == '\r' && m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
                ++m_pos;
            ++m_line;
            record.terminated = true;
            return true;
        }
    }

private:
    // Up to the next separator or line end; a quote in it is out of place.
    std::string_view Plain(TRecord& record) {
        const std::size_t start = m_pos;
        for (; m_pos < m_bytes.size(); ++m_pos) {
            const char c = m_bytes[m_pos];
            if (c == ',' || c == '\r' || c == '\n')
                break;
            if (c == '"')
                record.malformed = true;
        }
        return m_bytes.substr(start, m_pos - start);
    }

    // From the opening quote to the closing one; "" is one quote, line ends are kept. Only a
    // separator or a line end may follow the closing quote.
    std::string_view Quoted(TRecord& record) {
        const std::size_t start = ++m_pos;
        std::string* copy = nullptr;
        std::size_t piece = start;
        bool closed = false;
        for (;;) {
            const std::size_t quote = m_bytes.find('"', m_pos);
            const std::size_t end = quote == std::string_view::npos ? m_bytes.size() : quote;
            m_line += int(std::count(m_bytes.begin() + std::ptrdiff_t(m_pos),
                                     m_bytes.begin() + std::ptrdiff_t(end), '\n'));
            m_pos = end;
            if (quote == std::string_view::npos) {
                record.malformed = true;
                break;
            }
            if (quote + 1 < m_bytes.size() && m_bytes[quote + 1] == '"') {
                if (copy == nullptr)
                    copy = &record.unescaped.emplace_back();
                copy->append(m_bytes.substr(piece, quote + 1 - piece));
                m_pos = piece = quote + 2;
                continue;
            }
            ++m_pos;
            closed = true;
            break;
        }
        const std::size_t textEnd = closed ? m_pos - 1 : m_pos;
        std::string_view text = m_bytes.substr(start, textEnd - start);
        if (copy != nullptr) {
            copy->append(m_bytes.substr(piece, textEnd - piece));
            text = *copy;
        }
        if (m_pos < m_bytes.size() && m_bytes[m_pos] != ',' && m_bytes[m_pos] != '\r' &&
            m_bytes[m_pos] != '\n') {
            record.malformed = true;
            Plain(record);
        }
        return text;
    }

    std::string_view m_bytes;
    std::size_t m_pos = 0;
    int m_line = 1;
};

// ---- Values -----------------------------------------------------------------------------------

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::int32_t> WholeNumber(std::string_view text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end)
        return std::nullopt;
    return value;
}

// Digits, with a point and more digits or without.
bool IsDecimal(std::string_view text) {
    const auto point = text.find('.');
    return point == std::string_view::npos
               ? AllDigits(text)
               : AllDigits(text.substr(0, point)) && AllDigits(text.substr(point + 1));
}

// "12.3456" as 12345: decimals past the millisecond are dropped.
std::optional<TJournalMs> Milliseconds(std::string_view text) {
    if (!IsDecimal(text))
        return std::nullopt;
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    TJournalMs seconds = 0;
    const auto [at, error] = std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
    if (error != std::errc() || seconds > std::numeric_limits<TJournalMs>::max() / 1000)
        return std::nullopt;
    TJournalMs ms = seconds * 1000;
    const std::string_view decimals =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    for (std::size_t i = 0, scale = 100; i < 3 && i < decimals.size(); ++i, scale /= 10)
        ms += TJournalMs(decimals[i] - '0') * TJournalMs(scale);
    return ms;
}

// A decimal number with a minus sign or without; no exponent, no "inf".
std::optional<double> Decimal(std::string_view text) {
    const std::string_view unsigned_ = text.starts_with('-') ? text.substr(1) : text;
    double value = 0;
    if (!IsDecimal(unsigned_))
        return std::nullopt;
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || at != text.data() + text.size())
        return std::nullopt;
    return value;
}

// ---- Rows -------------------------------------------------------------------------------------

using TColumnSet = std::uint32_t;

constexpr TColumnSet Bit(TJournalColumn column) {
    return TColumnSet(1) << static_cast<std::size_t>(column);
}

// One data row, read.
struct TRow {
    enum class TKind { Sample, Fine, Marker, Event, Question, Answer, Undo, Description };
    TKind kind = TKind::Sample;
    TJournalTime time;
    TJournalMs at = 0;
    std::string_view port;
    std::optional<std::int32_t> hertz; // a sample's: none for "sans mesure"
    std::int32_t number = 0;           // a marker's or a question's
    double fineHertz = 0;
    std::optional<double> microsiemens;
    TJournalEvent event = TJournalEvent::PortLost;
    TQuestionType type = TQuestionType::Unlisted;
    std::string_view text;
    bool yes = false;
    TJournalSession::TUndo::TMark undone = TJournalSession::TUndo::TMark::Marker;
};

using TEventSet = std::uint32_t;

constexpr TEventSet EventBit(TJournalEvent event) {
    return TEventSet(1) << static_cast<std::size_t>(event);
}

// The kinds of row: the columns each fills besides the time, the seconds and the port, of which
// some may be left empty, and the words its evenement column may hold (none when it has none).
struct TRowForm {
    TRow::TKind kind;
    TColumnSet columns;
    TColumnSet optional = 0;
    TEventSet events = 0;
    TJournalSession::TUndo::TMark undone = TJournalSession::TUndo::TMark::Marker;
};
constexpr TColumnSet kEventColumn = Bit(TJournalColumn::Event);
constexpr TColumnSet kQuestionColumn = Bit(TJournalColumn::Question);
constexpr TColumnSet kAnswerColumn = Bit(TJournalColumn::Answer);
constexpr TEventSet kUndone = EventBit(TJournalEvent::Undone);
constexpr TRowForm kRowForms[] = {
    {TRow::TKind::Sample, Bit(TJournalColumn::Hertz)},
    {TRow::TKind::Marker, Bit(TJournalColumn::Marker)},
    // "sans mesure" among them, which is a sample.
    {TRow::TKind::Event, kEventColumn, 0,
     EventBit(TJournalEvent::PortLost) | EventBit(TJournalEvent::PortReopened) |
         EventBit(TJournalEvent::NoMeasurement) | EventBit(TJournalEvent::Recentred)},
    {TRow::TKind::Fine, Bit(TJournalColumn::FineHertz) | Bit(TJournalColumn::Conductance),
     Bit(TJournalColumn::Conductance)},
    {TRow::TKind::Question,
     kEventColumn | kQuestionColumn | Bit(TJournalColumn::QuestionType) |
         Bit(TJournalColumn::QuestionText),
     Bit(TJournalColumn::QuestionText), EventBit(TJournalEvent::Question)},
    {TRow::TKind::Answer, kEventColumn | kQuestionColumn | kAnswerColumn, 0,
     EventBit(TJournalEvent::Answer)},
    {TRow::TKind::Undo, kEventColumn | Bit(TJournalColumn::Marker), 0, kUndone,
     TJournalSession::TUndo::TMark::Marker},
    {TRow::TKind::Undo, kEventColumn | kQuestionColumn, 0, kUndone,
     TJournalSession::TUndo::TMark::Question},
    {TRow::TKind::Undo, kEventColumn | kQuestionColumn | kAnswerColumn, 0, kUndone,
     TJournalSession::TUndo::TMark::Answer},
    {TRow::TKind::Description, kEventColumn | Bit(TJournalColumn::QuestionText), 0,
     EventBit(TJournalEvent::Device) | EventBit(TJournalEvent::Calibration)},
};
constexpr TColumnSet kEveryRow =
    Bit(TJournalColumn::Time) | Bit(TJournalColumn::Seconds) | Bit(TJournalColumn::Port);

class TRowReader {
public:
    // Reads the header; false when the record is not a journal's.
    bool Header(const TRecord& record) {
        if (record.malformed)
            return false;
        TColumnSet named = 0;
        for (const std::string_view name : record.fields) {
            const auto entry =
                std::find_if(kJournalColumns.begin(), kJournalColumns.end(),
                             [&](const auto& column) { return column.name == name; });
            if (entry == kJournalColumns.end() || (named & Bit(entry->column)) != 0)
                return false;
            named |= Bit(entry->column);
            m_columns.push_back(entry->column);
        }
        for (std::size_t i = 0; i < kJournalFirstColumns; ++i)
            if ((named & Bit(kJournalColumns[i].column)) == 0)
                return false;
        return true;
    }

    // Reads a data row; false when it is not one.
    bool Row(const TRecord& record, TRow& row) const {
        if (record.malformed || record.fields.size() != m_columns.size())
            return false;
        std::array<std::string_view, kJournalColumnCount> value{};
        TColumnSet filled = 0;
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            value[static_cast<std::size_t>(m_columns[i])] = record.fields[i];
            if (!record.fields[i].empty())
                filled |= Bit(m_columns[i]);
        }
        const auto field = [&](TJournalColumn column) {
            return value[static_cast<std::size_t>(column)];
        };
        const auto time = ParseJournalTime(field(TJournalColumn::Time));
        const auto at = Milliseconds(field(TJournalColumn::Seconds));
        if (!time || !at || field(TJournalColumn::Port).empty())
            return false;
        row.time = *time;
        row.at = *at;
        row.port = field(TJournalColumn::Port);

        filled &= ~kEveryRow;
        const auto event = JournalEventOf(field(TJournalColumn::Event));
        const auto form = std::find_if(std::begin(kRowForms), std::end(kRowForms), [&](auto f) {
            return (filled & ~f.columns) == 0 && (f.columns & ~f.optional & ~filled) == 0 &&
                   (f.events == 0 || (event && (f.events & EventBit(*event)) != 0));
        });
        if (form == std::end(kRowForms))
            return false;
        row.kind = form->kind;
        switch (form->kind) {
        case TRow::TKind::Sample:
            row.hertz = WholeNumber(field(TJournalColumn::Hertz));
            return row.hertz.has_value();
        case TRow::TKind::Marker:
            return Number(field(TJournalColumn::Marker), row);
        case TRow::TKind::Event:
            row.event = *event;
            if (row.event == TJournalEvent::NoMeasurement) {
                row.kind = TRow::TKind::Sample;
                row.hertz.reset();
            }
            return true;
        case TRow::TKind::Fine: {
            const auto hertz = Decimal(field(TJournalColumn::FineHertz));
            const std::string_view conductance = field(TJournalColumn::Conductance);
            row.microsiemens.reset();
            if (!conductance.empty()) {
                row.microsiemens = Decimal(conductance);
                if (!row.microsiemens)
                    return false;
            }
            row.fineHertz = hertz.value_or(0);
            return hertz.has_value();
        }
        case TRow::TKind::Question: {
            const std::string_view letter = field(TJournalColumn::QuestionType);
            const auto type = letter.size() == 1 ? QuestionTypeOf(letter[0]) : std::nullopt;
            row.type = type.value_or(TQuestionType::Unlisted);
            row.text = field(TJournalColumn::QuestionText);
            return type && Number(field(TJournalColumn::Question), row);
        }
        case TRow::TKind::Answer:
            return Number(field(TJournalColumn::Question), row) &&
                   Answer(field(TJournalColumn::Answer), row);
        case TRow::TKind::Description:
            row.event = *event;
            row.text = field(TJournalColumn::QuestionText);
            return true;
        case TRow::TKind::Undo:
            row.undone = form->undone;
            if (row.undone == TJournalSession::TUndo::TMark::Marker)
                return Number(field(TJournalColumn::Marker), row);
            return Number(field(TJournalColumn::Question), row) &&
                   (row.undone != TJournalSession::TUndo::TMark::Answer ||
                    Answer(field(TJournalColumn::Answer), row));
        }
        return false;
    }

private:
    // A marker's or a question's number, from 1.
    static bool Number(std::string_view text, TRow& row) {
        const auto number = WholeNumber(text);
        row.number = number.value_or(0);
        return row.number >= 1;
    }
    static bool Answer(std::string_view word, TRow& row) {
        row.yes = word == kAnswerYes;
        return row.yes || word == kAnswerNo;
    }

    // The column of each field, in the header's order.
    std::vector<TJournalColumn> m_columns;
};

// Hands each data row of the journal to sink, in the order of the file; throws EJournalFormat.
template <class Sink> void ReadRows(std::string_view bytes, Sink&& sink) {
    if (bytes.starts_with(kByteOrderMark))
        bytes.remove_prefix(kByteOrderMark.size());
    TCsvCursor cursor(bytes);
    TRecord record;
    TRowReader reader;
    if (!cursor.Next(record) || !reader.Header(record))
        throw EJournalFormat(1);
    TRow row;
    while (cursor.Next(record)) {
        if (record.fields.size() == 1 && record.fields[0].empty() && !record.malformed)
            continue;
        if (!reader.Row(record, row)) {
            if (!record.terminated)
                break;
            throw EJournalFormat(record.line);
        }
        sink(row);
    }
}

// Takes away the latest mark the undoing names; rows come in the order of their times, so every
// mark read so far was made before it.
void Undo(TJournalSession& session, const TJournalSession::TUndo& undo) {
    using M = TJournalSession::TUndo::TMark;
    const auto eraseLast = [](auto& marks, auto named) {
        const auto mark = std::find_if(marks.rbegin(), marks.rend(), named);
        if (mark != marks.rend())
            marks.erase(std::next(mark).base());
    };
    switch (undo.mark) {
    case M::Marker:
        eraseLast(session.markers, [&](const auto& m) { return m.number == undo.number; });
        break;
    case M::Question:
        eraseLast(session.questions, [&](const auto& q) { return q.number == undo.number; });
        break;
    case M::Answer:
        eraseLast(session.answers,
                  [&](const auto& a) { return a.number == undo.number && a.yes == undo.yes; });
        break;
    }
}

} // namespace

std::vector<TJournalEntry> ParseJournal(std::string_view bytes) {
    using E = TJournalEntry;
    using K = TJournalEntry::TKind;
    // Only what the history can hold is kept: a journal of a day's run costs no more than one
    // of a few minutes.
    std::deque<TJournalEntry> kept;
    std::size_t samples = 0;
    ReadRows(bytes, [&](const TRow& row) {
        if (row.kind == TRow::TKind::Marker) {
            kept.push_back({K::Marker, row.number});
            return;
        }
        if (row.kind == TRow::TKind::Undo && row.undone == TJournalSession::TUndo::TMark::Marker) {
            const auto marker = std::find(kept.rbegin(), kept.rend(), E{K::Marker, row.number});
            if (marker != kept.rend())
                kept.erase(std::next(marker).base());
            return;
        }
        if (row.kind != TRow::TKind::Sample)
            return;
        kept.push_back({K::Sample, row.hertz.value_or(0)});
        if (++samples <= kHistorySize)
            return;
        // The oldest sample leaves, and the markers that were waiting for it with it.
        while (kept.front().kind != K::Sample)
            kept.pop_front();
        kept.pop_front();
        --samples;
    });

    // Markers after the last sample go with it.
    std::vector<TJournalEntry> entries(kept.begin(), kept.end());
    std::size_t lastSample = entries.size();
    while (lastSample > 0 && entries[lastSample - 1].kind != K::Sample)
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

TJournalSession ParseJournalSession(std::string_view bytes) {
    TJournalSession session;
    bool first = true;
    ReadRows(bytes, [&](const TRow& row) {
        if (std::exchange(first, false)) {
            session.start = {row.time.epochMs - row.at, row.time.utcOffsetSeconds};
            session.port = row.port;
        }
        switch (row.kind) {
        case TRow::TKind::Sample:
            session.samples.push_back({row.at, row.hertz});
            break;
        case TRow::TKind::Fine:
            session.fine.push_back({row.at, row.fineHertz, row.microsiemens});
            break;
        case TRow::TKind::Marker:
            session.markers.push_back({row.at, row.number});
            break;
        case TRow::TKind::Event:
            session.events.push_back({row.at, row.event});
            break;
        case TRow::TKind::Question:
            session.questions.push_back({row.at, row.number, row.type, std::string(row.text)});
            break;
        case TRow::TKind::Answer:
            session.answers.push_back({row.at, row.number, row.yes});
            break;
        case TRow::TKind::Undo:
            session.undos.push_back({row.at, row.undone, row.number, row.yes});
            Undo(session, session.undos.back());
            break;
        case TRow::TKind::Description:
            (row.event == TJournalEvent::Device ? session.device : session.calibration) = row.text;
            break;
        }
    });
    // A long session would otherwise keep up to twice its rows' room.
    session.samples.shrink_to_fit();
    session.fine.shrink_to_fit();
    session.markers.shrink_to_fit();
    session.events.shrink_to_fit();
    return session;
}

TJournalSession ReadJournalSession(const std::string& path, TFileSystem& fs) {
    return ParseJournalSession(ReadWholeFile(path, fs));
}

TJournalMs SessionEnd(const TJournalSession& session) {
    TJournalMs end = 0;
    const auto later = [&](const auto& rows) {
        if (!rows.empty())
            end = std::max(end, rows.back().at);
    };
    later(session.samples);
    later(session.fine);
    later(session.markers);
    later(session.questions);
    later(session.answers);
    later(session.events);
    later(session.undos);
    return end;
}

} // namespace sornafex
