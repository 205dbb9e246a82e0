#pragma once

// The table of a run's responses as the run goes: each question's row as soon as its measurement
// window closes, with the answer given to it, and its file beside the journal, rewritten as the
// table changes. It is given what the run's journal is given, at the journal's milliseconds and
// rounded as the journal writes, through the feed MeasureSessionResponses uses: the live table
// and a measurement of the journal read back agree.
//
// A question or an answer undone is taken back as if it had never been given (the journal's
// reader leaves it out too): a row that an undone onset closed is measured again over its whole
// window. An onset can be taken back while the newest fine row is less than
// TExamination::kUndoSpan after it.

#include "analysis/response.h"
#include "base/file_io.h"
#include "examination/response_feed.h"
#include "examination/response_table.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sornafex {

class TLiveResponses {
public:
    TLiveResponses(const TResponseSettings& settings, bool calibrated);

    // A fine estimate with a value, for the moment `at` of the run (the journal's secondes, in
    // ms), later than the ones before.
    void Fine(TJournalMs at, double hertz, std::optional<double> microsiemens);
    // The onset of question number at `at`, later than the onsets before.
    void Question(TJournalMs at, int number, TQuestionType type, std::string text);
    void Answer(int number, bool yes);
    // The last question asked, and the last such answer to number, taken back. False when there
    // is no such mark to take back (the onset too old).
    bool UndoQuestion(int number);
    bool UndoAnswer(int number, bool yes);
    // The run has ended: the windows still open close with what they hold.
    void EndOfRun();

    const TResponseTable& Table() const { return m_table; }
    // Counts the table's changes: a row closed or taken back, an answer changed.
    std::uint64_t Revision() const { return m_revision; }
    // Whether the table holds what its file does not yet.
    bool Unwritten() const { return m_unwritten; }
    // Writes the table beside the journal at journalPath (ResponseTablePathFor) crash-safely,
    // mode 0600 like the journal, when it is unwritten; a run whose first row has not yet closed
    // has no file. Throws EFileError, and stays unwritten.
    void Write(const std::string& journalPath, TFileSystem& fs = TFileSystem::Posix());

private:
    struct TAsked {
        int number;
        TQuestionType type;
        std::string text;
    };
    struct TFineRow {
        TJournalMs at;
        double hertz;
        std::optional<double> microsiemens;
    };
    // The feed as it was just before an onset that may still be taken back.
    struct TBefore {
        TJournalMs onset;
        TResponseFeed feed;
        std::size_t rows;
        std::size_t fine; // m_fine's count of rows then
    };

    void TakeClosed();
    void ShowAnswer(int number);
    void Forget(TJournalMs newest);
    void Changed();

    TResponseFeed m_feed;
    TResponseTable m_table;
    std::vector<TAsked> m_asked; // every question standing, m_table.rows's first
    std::map<int, std::vector<bool>> m_answers;
    std::deque<TBefore> m_undoable;
    // The fine rows since the oldest onset that may be taken back; m_fineCount counts all of them.
    std::deque<TFineRow> m_fine;
    std::size_t m_fineCount = 0;
    std::uint64_t m_revision = 0;
    bool m_unwritten = false;
    bool m_written = false;
};

} // namespace sornafex
