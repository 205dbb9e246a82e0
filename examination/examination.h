#pragma once

// The examination of a run, without the toolkit: the questions asked one after the other from the
// list (or numbered without one), the answers given to them, the free markers (F8), and the
// undoing of the last of these marks. Each key's call says in French what it did, for the status
// bar.
//
// - Questions are numbered in the run from 1. Each onset asks the list's next question; without a
//   list, and past its end, a question has no text and the type "-". "Recommencer la liste"
//   makes the list's first question the next one again, in a new pass; the numbering goes on.
// - A question asked before the previous one's measurement window has closed is asked all the
//   same, and flagged.
// - An undo takes away the last mark that still stands when it was made less than kUndoSpan
//   before; the next undo, the one before it. An undone question gives its number and its place
//   in the list back: the next onset asks it again.
// - Labels on the charts: "Q3" for a question, "3" for a marker. From the second run of a history
//   on (a history begins at New, Open and the program's start) the run's number comes first,
//   "2·Q3", "2·3": no label repeats on a chart that shows several runs. Answers are not drawn.
//
// Times are the key presses, on the monotonic clock. UI thread only.

#include "base/mono_clock.h"
#include "examination/question_list.h"
#include "recording/journal.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace sornafex {

struct TExamMark {
    enum class TKind { Marker, Question, Answer };
    TKind kind = TKind::Marker;
    TMonoNs at = 0;
    int number = 0; // a marker's as the journal numbered it; a question's (an answer's) in the run
    TQuestionType type = TQuestionType::Unlisted; // a question's
    std::string text;                             // a question's, may be empty
    bool yes = false;                             // an answer's
    // A question asked before the previous question's measurement window had closed.
    bool overlapsPrevious = false;
    std::string label; // a question's or a marker's, on the charts
};

// What a key did: the mark it made or took away (none when it did nothing), and what the status
// bar says of it.
struct TExamOutcome {
    std::optional<TExamMark> mark;
    std::string status;
};

class TExamination {
public:
    static constexpr TMonoNs kUndoSpan = 10 * kNsPerSecond;

    // No list; the measurement's default window.
    TExamination();

    // The list the questions come from, empty for none; its first question is the next.
    void SetList(TQuestionList list);
    const TQuestionList& List() const { return m_list; }
    // The measurement window after an onset, in seconds (TResponseSettings::window): a question
    // asked sooner after the previous one is flagged.
    void SetWindow(double seconds);

    // A new history: the next run is its first.
    void NewHistory();
    // A run begins: no mark stands, the list's first question is the next, in pass 1.
    void BeginRun();

    // The onset of the next question.
    TExamOutcome Ask(TMonoNs at);
    // The answer to the last question asked; nothing before the first.
    TExamOutcome Answer(TMonoNs at, bool yes);
    // A free marker, numbered by the journal.
    TExamOutcome Marker(TMonoNs at, int number);
    // "Recommencer la liste": makes no mark.
    TExamOutcome RestartList();
    // Takes away the last mark still standing, when it was made less than kUndoSpan before now.
    TExamOutcome Undo(TMonoNs now);

    // The list's place of the question asked last (none when none was asked, or it was not from
    // the list), and of the one asked next (none past the end, or without a list).
    std::optional<std::size_t> CurrentInList() const;
    std::optional<std::size_t> NextInList() const;
    int Pass() const { return m_pass; }
    // "En cours : question 3 (R) : Hier, à Lyon ?", "En cours : aucune question".
    std::string CurrentText() const;
    // "Suivante : question 4 (C) : Avez-vous menti ?", "Suivante : question 4" without a list,
    // "Suivante : question 13, hors liste (fin de la liste)"; the pass from the second on.
    std::string NextText() const;

private:
    struct TStanding {
        TExamMark mark;
        std::optional<std::size_t> listed; // a question's place in the list
        // The list's next place and its pass when the question was asked.
        std::size_t nextBefore = 0;
        int passBefore = 1;
    };
    const TStanding* LastQuestion() const;
    std::string LabelPrefix() const;

    TQuestionList m_list;
    TMonoNs m_window;
    int m_run = 0; // in the history, from 1
    int m_pass = 1;
    std::size_t m_next = 0; // the list's place of the next question
    std::vector<TStanding> m_marks;
};

} // namespace sornafex
