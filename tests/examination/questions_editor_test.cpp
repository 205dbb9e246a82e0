#include "examination/questions_editor.h"
#include "tests/support/test_files.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace sornafex {
namespace {

using Q = TQuestionType;
using S = TQuestionsEditor::TSetting;

// What the user does in the dialog, and what "OK" says: "" when it keeps the list and settings.
TEST(QuestionsEditor, OkKeepsOnlyWhatMakesAListAndAMeasurement) {
    test::TScratchFolder folder;
    const std::string file = folder / "questions.txt";
    test::WriteBytes(folder / "fausse.txt", "R: Hier ?\nHier ?\n");
    struct Row {
        const char* what;
        std::function<void(TQuestionsEditor&)> act;
        std::string error;
        double latencyMin = 1; // kept by OK
    } const rows[] = {
        {"nothing changed", [](auto&) {}, ""},
        {"a decimal comma",
         [](auto& e) {
             e.SetSettingText(S::LatencyMin, "1,5");
             e.SetSettingText(S::LatencyMax, " 5 ");
         },
         "", 1.5},
        {"not a number", [](auto& e) { e.SetSettingText(S::LatencyMin, "un"); },
         "« Latence, début (s) » : un nombre est attendu"},
        {"latency backwards", [](auto& e) { e.SetSettingText(S::LatencyMax, "0,5"); },
         "La fin de la latence doit venir après son début"},
        {"peak before the latency's end", [](auto& e) { e.SetSettingText(S::PeakWindow, "3"); },
         "La fenêtre du pic doit aller au moins jusqu'à la fin de la latence"},
        {"window before the peak's", [](auto& e) { e.SetSettingText(S::Window, "8"); },
         "La fenêtre de mesure doit aller au moins jusqu'à la fin de la fenêtre du pic"},
        {"window too long", [](auto& e) { e.SetSettingText(S::Window, "90"); },
         "La fenêtre de mesure dure au plus 60 s"},
        {"no threshold", [](auto& e) { e.SetSettingText(S::MinPercent, "0"); },
         "Les seuils doivent être plus grands que 0"},
        {"defaults back",
         [](auto& e) {
             e.SetSettingText(S::MinPercent, "0");
             e.RestoreDefaultSettings();
         },
         ""},
        {"a question left without text", [](auto& e) { e.Insert(5); },
         "La question 3 n'a pas de texte"},
        {"a list changed that has no file",
         [&](auto& e) {
             ASSERT_TRUE(e.MoveDown(0));
             std::string error;
             ASSERT_FALSE(e.Open(folder / "fausse.txt", error));
             EXPECT_EQ(error, "liste de questions " + folder / "fausse.txt" +
                                  ", ligne 2 : la ligne ne commence pas par R:, C: ou N:");
             EXPECT_EQ(e.List()[0].text, "Avant ?");
         },
         "Enregistrez la liste (« Enregistrer sous... ») pour la garder"},
        {"a list saved as a file, then changed",
         [&](auto& e) {
             std::string error;
             ASSERT_TRUE(e.SaveAs(file, error)) << error;
             e.SetType(1, Q::Neutral);
         },
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TQuestionsEditor editor({{Q::Relevant, "Hier ?"}, {Q::Comparison, "Avant ?"}}, "", {});
        row.act(editor);
        std::string error;
        EXPECT_EQ(editor.Accept(error), row.error.empty());
        EXPECT_EQ(error, row.error);
        if (row.error.empty()) {
            EXPECT_EQ(editor.Settings().latencyMin, row.latencyMin);
            EXPECT_FALSE(editor.Modified());
        }
    }
    // OK wrote the list changed after its save.
    EXPECT_EQ(ReadQuestionList(file),
              (TQuestionList{{Q::Relevant, "Hier ?"}, {Q::Neutral, "Avant ?"}}));
}

} // namespace
} // namespace sornafex
