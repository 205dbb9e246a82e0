#include "examination/examination.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace sornafex {
namespace {

// Two runs of a history on a list of two questions, then a new history without a list. Each
// step is a key at a moment of its run; the status bar's text, the label of the mark made or
// undone, and what the list says of the next question after it.
TEST(Examination, NumbersLabelsFlagsAndUndoesTheMarksOfARun) {
    struct Step {
        char key; // B: a run begins, H: a new history and its run, L: no list, 5 6 7 8 R Z: keys
        double at;
        const char* status;
        const char* label = "";
        const char* next = "";
        int marker = 0;
    } const steps[] = {
        {'B', 0, ""},
        {'5', 0, "Question 1 (R) : Hier ?", "Q1", "Suivante : question 2 (C) : Avant ?"},
        {'6', 2, "Question 1 : réponse oui"},
        {'5', 10, "Question 2 (C) : Avant ? — pendant la mesure de la question 1", "Q2"},
        {'Z', 19.9, "Annulé : question 2", "Q2", "Suivante : question 2 (C) : Avant ?"},
        {'Z', 19.95, "Rien à annuler : la dernière marque date de plus de 10 s"},
        {'5', 25, "Question 2 (C) : Avant ?", "Q2",
         "Suivante : question 3, hors liste (fin de la liste)"},
        {'5', 40, "Question 3, hors liste", "Q3"},
        {'R', 41, "Liste recommencée : passage 2", "",
         "Suivante : question 4 (R) : Hier ? — passage 2"},
        {'R', 42, "La liste en est déjà à sa première question"},
        {'5', 60, "Question 4 (R) : Hier ?", "Q4"},
        {'8', 61, "Repère 1", "1", "", 1},
        {'Z', 62, "Annulé : repère 1", "1"},
        {'Z', 63, "Annulé : question 4", "Q4", "Suivante : question 4 (R) : Hier ? — passage 2"},
        {'7', 63.5, "Question 3 : réponse non"},
        {'B', 0, ""},
        {'7', 1, "Aucune question posée : la réponse n'est pas notée"},
        {'Z', 1, "Rien à annuler"},
        {'5', 2, "Question 1 (R) : Hier ?", "2·Q1"},
        {'8', 3, "Repère 3", "2·3", "", 3},
        {'H', 0, ""},
        {'L', 0, "", "", "Suivante : question 1"},
        {'5', 1, "Question 1", "Q1", "Suivante : question 2"},
        {'R', 2, "Aucune liste de questions"},
    };
    TExamination exam;
    exam.SetList({{TQuestionType::Relevant, "Hier ?"}, {TQuestionType::Comparison, "Avant ?"}});
    exam.SetWindow(15);
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(1, step.key) + " at " + std::to_string(step.at));
        const TMonoNs at = std::llround(step.at * 1e9);
        TExamOutcome outcome;
        switch (step.key) {
        case 'H':
            exam.NewHistory();
            [[fallthrough]];
        case 'B':
            exam.BeginRun();
            break;
        case 'L':
            exam.SetList({});
            break;
        case '5':
            outcome = exam.Ask(at);
            break;
        case '6':
        case '7':
            outcome = exam.Answer(at, step.key == '6');
            break;
        case '8':
            outcome = exam.Marker(at, step.marker);
            break;
        case 'R':
            outcome = exam.RestartList();
            break;
        case 'Z':
            outcome = exam.Undo(at);
            break;
        }
        EXPECT_EQ(outcome.status, step.status);
        EXPECT_EQ(outcome.mark ? outcome.mark->label : "", step.label);
        if (*step.next) {
            EXPECT_EQ(exam.NextText(), step.next);
        }
    }
}

} // namespace
} // namespace sornafex
