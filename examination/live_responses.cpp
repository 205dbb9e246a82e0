#include "examination/live_responses.h"

#include "examination/examination.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sys/stat.h>

namespace sornafex {

namespace {

// An onset is kept undoable a little longer than the examination allows: the rows come late,
// never early, so the newest one is never ahead of the key that may take the onset back.
constexpr TJournalMs kUndoableMs = (TExamination::kUndoSpan + kNsPerSecond) / kNsPerMs;

// The value as the journal writes it, to four decimals, and its reader reads it back; none for
// one the journal writes no row for.
std::optional<double> AsTheJournalHolds(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    char text[32];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
    double back = 0;
    if (error != std::errc() || std::from_chars(text, end, back).ec != std::errc())
        return std::nullopt;
    return back;
}

} // namespace

TLiveResponses::TLiveResponses(const TResponseSettings& settings, bool calibrated)
    : m_feed(settings, calibrated) {
    m_table.calibrated = calibrated;
}

void TLiveResponses::Fine(TJournalMs at, double hertz, std::optional<double> microsiemens) {
    const auto held = AsTheJournalHolds(hertz);
    if (!held)
        return;
    const auto conductance = microsiemens ? AsTheJournalHolds(*microsiemens) : std::nullopt;
    m_feed.Fine(at, *held, conductance);
    ++m_fineCount;
    if (!m_undoable.empty())
        m_fine.push_back({at, *held, conductance});
    Forget(at);
    TakeClosed();
}

void TLiveResponses::Question(TJournalMs at, int number, TQuestionType type, std::string text) {
    m_undoable.push_back({at, m_feed, m_table.rows.size(), m_fineCount});
    m_feed.Onset(at);
    m_asked.push_back({number, type, std::move(text)});
}

void TLiveResponses::Answer(int number, bool yes) {
    m_answers[number].push_back(yes);
    ShowAnswer(number);
}

bool TLiveResponses::UndoQuestion(int number) {
    if (m_undoable.empty() || m_asked.empty() || m_asked.back().number != number)
        return false;
    TBefore before = std::move(m_undoable.back());
    m_undoable.pop_back();
    m_asked.pop_back();
    // The feed as it was before the onset, given again every row since: the rows it closed
    // early are measured again over their whole windows.
    m_feed = std::move(before.feed);
    if (m_table.rows.size() > before.rows) {
        m_table.rows.resize(before.rows);
        Changed();
    }
    const std::size_t first = m_fineCount - m_fine.size();
    for (std::size_t i = before.fine - first; i < m_fine.size(); ++i)
        m_feed.Fine(m_fine[i].at, m_fine[i].hertz, m_fine[i].microsiemens);
    Forget(m_fine.empty() ? before.onset : m_fine.back().at);
    TakeClosed();
    return true;
}

bool TLiveResponses::UndoAnswer(int number, bool yes) {
    std::vector<bool>& given = m_answers[number];
    const auto last = std::find(given.rbegin(), given.rend(), yes);
    if (last == given.rend())
        return false;
    given.erase(std::next(last).base());
    ShowAnswer(number);
    return true;
}

void TLiveResponses::EndOfRun() {
    m_feed.End();
    TakeClosed();
    m_undoable.clear();
    m_fine.clear();
}

void TLiveResponses::Write(const std::string& journalPath, TFileSystem& fs) {
    if (!m_unwritten)
        return;
    if (m_table.rows.empty() && !m_written) {
        m_unwritten = false;
        return;
    }
    WriteFileAtomically(ResponseTablePathFor(journalPath), ResponseTableCsv(m_table),
                        S_IRUSR | S_IWUSR, fs);
    m_unwritten = false;
    m_written = true;
}

void TLiveResponses::TakeClosed() {
    std::vector<TResponse> closed;
    m_feed.TakeClosed(closed);
    for (TResponse& response : closed) {
        const TAsked& asked = m_asked.at(m_table.rows.size());
        m_table.rows.push_back({asked.number, asked.type, asked.text, std::nullopt, response});
        ShowAnswer(asked.number);
        Changed();
    }
}

void TLiveResponses::ShowAnswer(int number) {
    // The last answer given stands, as the journal's reader keeps it.
    const std::vector<bool>& given = m_answers[number];
    const std::optional<bool> answer = given.empty() ? std::nullopt : std::optional(given.back());
    for (TQuestionResponse& row : m_table.rows)
        if (row.number == number && row.answer != answer) {
            row.answer = answer;
            Changed();
        }
}

void TLiveResponses::Changed() {
    ++m_revision;
    m_unwritten = true;
}

void TLiveResponses::Forget(TJournalMs newest) {
    while (!m_undoable.empty() && newest - m_undoable.front().onset >= kUndoableMs)
        m_undoable.pop_front();
    const std::size_t keepFrom = m_undoable.empty() ? m_fineCount : m_undoable.front().fine;
    for (std::size_t first = m_fineCount - m_fine.size(); first < keepFrom; ++first)
        m_fine.pop_front();
}

} // namespace sornafex
