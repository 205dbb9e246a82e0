// The examination in the real main window, offscreen, on simulated sensors: the keys reach the
// journal, the status bar and the charts, the table of responses appears beside the journal and
// measures a profile's responses of known size and timing, the questions dialog and the session
// sheet reach the runs.

#include "app/frmMain.h"
#include "app/frmResponse.h"
#include "app/qt_ui_bridge.h"
#include "base/mono_clock.h"
#include "chart/chart_widget.h"
#include "chart/uGraph.h"
#include "examination/questions_editor.h"
#include "examination/response_table.h"
#include "examination/session_sheet_editor.h"
#include "recording/journal.h"
#include "recording/journal_reader.h"
#include "recording/session_sheet.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"

#include <QAction>
#include <QDir>
#include <QTableWidget>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace sornafex {
namespace {

constexpr int kPatienceMs = 30000;
// The sensor's level, in hertz: its levels last 25 ms, longer than this shared machine keeps the
// counting loop waiting now and then, so that the fine signal has few gaps.
constexpr double kLevel = 20;
using M = TJournalSession::TUndo::TMark;

class ExamWindowTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        bridge = std::make_unique<TQtUiBridge>();
        test::WriteBytes(list, "R: Hier ?\nC: Avant ?\nN: Jean ?\n");
    }
    void TearDown() override {
        if (window && window->Acquiring)
            window->ActCaptureStop->trigger();
        window.reset();
    }

    // COM1 is the sensor; the ports after it have no device. Returns the moment the sensor's
    // port opened, within the start-up's few milliseconds.
    TMonoNs StartWith(const std::string& device, const std::string& more) {
        std::string ini = "[Com]\nDevice1=" + device + "\n";
        for (int n = 2; n <= 50; ++n)
            ini += "Device" + std::to_string(n) + "=/nonexistent/sornafex-test/port" +
                   std::to_string(n) + "\n";
        test::WriteBytes(folder / "sornafex.ini",
                         ini + more + "[Journal]\nFolder=" + folder / "journaux" + "\n");
        window = std::make_unique<TfmMain>(ui, *bridge);
        window->show();
        const TMonoNs before = MonotonicNs();
        window->StartUp(folder / "sornafex");
        const TMonoNs opened = (before + MonotonicNs()) / 2;
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return opened;
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window.get(), Qt::Key(key), modifiers);
    }
    void WaitUntil(TMonoNs at) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return MonotonicNs() >= at; }, kPatienceMs));
    }
    void WaitForASample() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->PanelText(1) != "0 Hz"; }, kPatienceMs));
    }
    std::string Panel() const { return window->PanelText(2); }
    // The journals of the test's runs, oldest first, once their writer is done.
    std::vector<std::string> Journals() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->Journal().Idle(); }, kPatienceMs));
        std::vector<std::string> paths;
        for (const QString& name :
             QDir(QString::fromStdString(folder / "journaux"))
                 .entryList({QStringLiteral("*COM1.csv")}, QDir::Files, QDir::Name))
            paths.push_back(folder / "journaux/" + name.toStdString());
        return paths;
    }

    test::TScratchFolder folder;
    const std::string list = folder / "questions.txt";
    test::TScriptedUiServices ui;
    std::unique_ptr<TQtUiBridge> bridge;
    std::unique_ptr<TfmMain> window;
};

// A response of `percent` of the level that starts at `start` (seconds since the port's open): a 1
// s rise, then a 4 s decay.
double Response(double t, double start, double percent) {
    if (t < start)
        return 0;
    if (t < start + 1)
        return percent * (1 - std::cos(M_PI * (t - start))) / 2;
    return percent * std::exp(-(t - start - 1) / 4);
}

TEST_F(ExamWindowTest, KeysMarkTheRunAndItsTableMeasuresTheResponses) {
    // Each question, when F5 asks it (seconds since the port's open), and the response the
    // sensor gives to it: its start and its size, none for the comparison question.
    struct Asked {
        double at;
        double start;
        double percent;
        const char* panel;
    } const asked[] = {
        {2, 3.5, 1, "Question 1 (R) : Hier ?"},
        {8, 0, 0, "Question 2 (C) : Avant ? — pendant la mesure de la question 1"},
        {14, 16.2, 2, "Question 3 (N) : Jean ? — pendant la mesure de la question 2"},
    };
    std::string profile;
    for (int tenth = 0; tenth <= 400; ++tenth) {
        const double t = tenth / 10.0;
        double percent = 0;
        for (const Asked& question : asked)
            percent += Response(t, question.start, question.percent);
        profile += std::to_string(t) + " " + std::to_string(kLevel * (1 + percent / 100)) + "\n";
    }
    test::WriteBytes(folder / "profil.txt", profile);
    const TMonoNs opened =
        StartWith("sim:file:" + folder / "profil.txt", "[Questions]\nFile=" + list + "\n");
    const auto portTime = [&](double seconds) {
        return opened + std::llround(seconds * 1e9);
    };

    ui.ExpectDialog<TSessionSheetEditor>([](TSessionSheetEditor& sheet) {
        sheet.Sheet().person = "Jean Dupont";
        return true;
    });
    Key(Qt::Key_F9);
    ASSERT_TRUE(window->Acquiring);
    WaitUntil(portTime(asked[0].at));
    Key(Qt::Key_F5);
    EXPECT_EQ(Panel(), asked[0].panel);
    Key(Qt::Key_F6);
    EXPECT_EQ(Panel(), "Question 1 : réponse oui");
    WaitUntil(portTime(asked[1].at));
    Key(Qt::Key_F5);
    EXPECT_EQ(Panel(), asked[1].panel);
    Key(Qt::Key_F6);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Panel(), "Annulé : réponse oui à la question 2");
    Key(Qt::Key_F7);
    Key(Qt::Key_F8);
    EXPECT_EQ(Panel(), "Repère 1");
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Panel(), "Annulé : repère 1");
    WaitUntil(portTime(asked[2].at));
    Key(Qt::Key_F5);
    EXPECT_EQ(Panel(), asked[2].panel);
    // Each question's line on both charts, in its own pen; the undone marker on neither.
    for (const auto* markers :
         {&window->Graph().Markers(), &window->ResponseWindow()->Chart()->Markers()}) {
        ASSERT_EQ(markers->size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ((*markers)[i].label, "Q" + std::to_string(i + 1));
            EXPECT_EQ((*markers)[i].pen, chart::TChartPen::QuestionLine());
        }
    }
    // The second window closed at this onset: its row appears once the signal has reached it.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->ResponseWindow()->ResponseTable()->rowCount() == 2; }, 1000));
    WaitUntil(portTime(22));
    Key(Qt::Key_F10);

    const std::vector<std::string> journals = Journals();
    ASSERT_EQ(journals.size(), 1u);
    const TJournalSession session = ReadJournalSession(journals[0]);
    ASSERT_EQ(session.questions.size(), 3u);
    EXPECT_EQ(session.questions[1].type, TQuestionType::Comparison);
    EXPECT_EQ(session.questions[1].text, "Avant ?");
    ASSERT_EQ(session.answers.size(), 2u);
    EXPECT_FALSE(session.answers[1].yes);
    ASSERT_EQ(session.undos.size(), 2u);
    EXPECT_EQ(session.undos[0].mark, M::Answer);
    EXPECT_EQ(session.undos[1].mark, M::Marker);
    EXPECT_TRUE(session.markers.empty());
    EXPECT_EQ(ReadSessionSheet(journals[0])->person, "Jean Dupont");

    // The file the run wrote is the table the journal gives when it is measured again.
    const TResponseTable table = MeasureSessionResponses(session);
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::Exists(ResponseTablePathFor(journals[0])); },
                                kPatienceMs));
    EXPECT_EQ(test::ReadBytes(ResponseTablePathFor(journals[0])), ResponseTableCsv(table));
    EXPECT_EQ(window->ResponseWindow()->ResponseTable()->rowCount(), 3);
    ASSERT_EQ(table.rows.size(), 3u);
    const double runStart = static_cast<double>(window->Journal().RunStartNs() - opened) * 1e-9;
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const TResponse& response = table.rows[i].response;
        EXPECT_TRUE(response.measured);
        EXPECT_EQ(response.detected, asked[i].percent > 0);
        if (asked[i].percent == 0)
            continue;
        ASSERT_TRUE(response.rise);
        EXPECT_NEAR(response.rise->amplitudePercent, asked[i].percent, 0.05 * asked[i].percent);
        EXPECT_NEAR(*response.Latency(), asked[i].start - (runStart + response.onset), 0.3);
    }
}

// The questions dialog gives the list to the runs; the session's sheet, asked at its first
// Start, goes beside each run's journal; a second run of the history tells its labels apart.
TEST_F(ExamWindowTest, TheListTheSheetAndTheLabelsOfASessionsRuns) {
    StartWith("sim:50.25", "");
    ui.ExpectDialog<TQuestionsEditor>([&](TQuestionsEditor& editor) {
        EXPECT_TRUE(editor.List().empty());
        std::string error;
        EXPECT_TRUE(editor.Open(list, error)) << error;
        return editor.Accept(error);
    });
    window->ActExamQuestions->trigger();
    EXPECT_FALSE(window->ActExamAsk->isEnabled());
    ui.ExpectDialog<TSessionSheetEditor>([](TSessionSheetEditor& sheet) {
        sheet.Sheet().examiner = "Marie Martin";
        return true;
    });
    for (const char* label : {"Q1", "2·Q1"}) {
        window->ActCaptureStart->trigger();
        EXPECT_FALSE(window->ActExamQuestions->isEnabled());
        WaitForASample();
        window->ActExamAsk->trigger();
        EXPECT_EQ(Panel(), "Question 1 (R) : Hier ?");
        EXPECT_EQ(window->Graph().Markers().back().label, label);
        window->ActCaptureStop->trigger();
    }
    const std::vector<std::string> journals = Journals();
    ASSERT_EQ(journals.size(), 2u);
    for (const std::string& journal : journals) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return ReadSessionSheet(journal).has_value(); }, kPatienceMs));
        EXPECT_EQ(ReadSessionSheet(journal)->examiner, "Marie Martin");
    }
    ui.ExpectConfirm(TConfirmResult::No);
    EXPECT_TRUE(window->close());
    EXPECT_NE(test::ReadBytes(folder / "sornafex.ini").find("[Questions]\nFile=" + list + "\n"),
              std::string::npos);
}

} // namespace
} // namespace sornafex
