// The examination in the main window: the question list and its dialog, the marks of a run (a
// question's onset, its answer, the free markers' labels, the undo, the list again), the table of
// responses measured as the run goes, in the response window and in its file beside the journal,
// and the session sheet asked at a session's first Start (examination/ holds the logic).

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "app/frmResponse.h"
#include "base/file_io.h"
#include "base/mono_clock.h"
#include "base/uRes.h"
#include "chart/uGraph.h"
#include "examination/examination.h"
#include "examination/live_responses.h"
#include "examination/questions_editor.h"
#include "examination/session_sheet_editor.h"
#include "recording/journal.h"
#include "recording/session_sheet.h"
#include "settings/uPrefs.h"

#include <QAction>
#include <QTimer>
#include <array>
#include <utility>

namespace sornafex {

namespace {

constexpr std::string_view kListIgnoredFormat = "Liste de questions ignorée : %s";
constexpr std::string_view kSettingsIgnoredFormat =
    "Réglages de la mesure des réponses ignorés : %s";
constexpr std::string_view kTableFailedFormat = "Tableau des réponses impossible : %s";
constexpr std::string_view kSheetFailedFormat = "Fiche de la séance impossible : %s";
// After Stop, the files beside the journal wait for its name this often.
constexpr std::chrono::milliseconds kAfterRunPoll{100};

// The journal's milliseconds of a moment of the run (never before its start): its secondes
// column.
TJournalMs JournalMs(TMonoNs at, TMonoNs runStart) {
    return (at - runStart) / kNsPerMs;
}

// The settings' fields and their keys in the preferences, one entry each.
constexpr std::array<
    std::pair<double TResponseSettings::*, std::optional<double> TQuestionPreferences::*>, 6>
    kStoredSettings{{
        {&TResponseSettings::latencyMin, &TQuestionPreferences::latencyMin},
        {&TResponseSettings::latencyMax, &TQuestionPreferences::latencyMax},
        {&TResponseSettings::peakWindow, &TQuestionPreferences::peakWindow},
        {&TResponseSettings::window, &TQuestionPreferences::window},
        {&TResponseSettings::minMicroSiemens, &TQuestionPreferences::minMicroSiemens},
        {&TResponseSettings::minPercent, &TQuestionPreferences::minPercent},
    }};

} // namespace

class TfmMain::TExamArea {
public:
    explicit TExamArea(TfmMain& window) : form(window) {
        afterRun.setInterval(kAfterRunPoll);
        QObject::connect(&afterRun, &QTimer::timeout, &window, [this] {
            WriteFiles();
            // The journal's writer is done: its name is known, or there is no journal.
            if (!FilesPending() || form.Journal().Idle())
                afterRun.stop();
        });
    }

    // What a key did: the journal, the live table, the charts and the status bar hear of it.
    void Apply(const TExamOutcome& outcome, bool undone) {
        form.SetPanelText(kActivityPanel, outcome.status);
        if (outcome.mark) {
            const TExamMark& mark = *outcome.mark;
            if (undone)
                Undo(mark);
            else
                Make(mark);
        }
        ShowQuestions();
    }

    void ShowQuestions() {
        form.ResponseWindow()->ShowQuestions(exam.List(), exam.CurrentInList(), exam.NextInList(),
                                             exam.CurrentText(), exam.NextText());
    }

    void ShowResponses() {
        const TResponseTable& table = live->Table();
        std::vector<std::vector<std::string>> rows;
        for (const TQuestionResponse& row : table.rows)
            rows.push_back(ResponseRowTexts(table, row));
        form.ResponseWindow()->ShowResponses(ResponseColumnTitles(table.calibrated), rows,
                                             ResponseSummaryTexts(table));
        shownRevision = live->Revision();
    }

    // The fine estimate at `at`, as the journal is given it.
    void Estimate(TMonoNs at, std::optional<double> hertz, std::optional<double> microsiemens) {
        if (!live || !hertz)
            return;
        live->Fine(JournalMs(at, runStart), *hertz, microsiemens);
        if (live->Revision() != shownRevision) {
            ShowResponses();
            WriteFiles();
        }
    }

    bool FilesPending() const {
        return (live && live->Unwritten()) || (!sheet.Empty() && !sheetWritten);
    }

    // The table and the sheet beside the journal, once it has its file. A failure is said once
    // a run; the next change tries again.
    void WriteFiles() {
        // The run's journal, or the last one's after Stop; none before its file is made.
        const std::string journal = form.Journal().Path();
        if (journal.empty())
            return;
        if (!sheetWritten && !sheet.Empty()) {
            try {
                WriteSessionSheet(journal, sheet);
                sheetWritten = true;
            } catch (const EFileError& error) {
                Failed(sheetFailureShown, kSheetFailedFormat, error.what());
            }
        }
        if (live && live->Unwritten()) {
            try {
                live->Write(journal);
            } catch (const EFileError& error) {
                Failed(tableFailureShown, kTableFailedFormat, error.what());
            }
        }
    }

    // A question's onset and a marker, at their key press: the sound's tick, while it plays.
    void Cue() { form.SoundTick(); }

    TfmMain& form;
    TExamination exam;
    std::string listFile;
    TResponseSettings settings;
    std::optional<TLiveResponses> live;
    std::uint64_t shownRevision = 0;
    TMonoNs runStart = 0;
    // The session's sheet, asked once a session; written beside each run's journal.
    bool sheetAsked = false;
    TSessionSheet sheet;
    bool sheetWritten = false;
    bool sheetFailureShown = false;
    bool tableFailureShown = false;
    QTimer afterRun;

private:
    void Make(const TExamMark& mark) {
        TJournal& journal = form.Journal();
        switch (mark.kind) {
        case TExamMark::TKind::Question:
            journal.Question(mark.at, mark.number, mark.type, mark.text);
            live->Question(JournalMs(mark.at, runStart), mark.number, mark.type, mark.text);
            form.Graph().AddMarker(mark.label, chart::TChartPen::QuestionLine());
            form.FineMarker(mark.at, mark.label, chart::TChartPen::QuestionLine());
            Cue();
            break;
        case TExamMark::TKind::Answer:
            journal.Answer(mark.at, mark.number, mark.yes);
            live->Answer(mark.number, mark.yes);
            break;
        case TExamMark::TKind::Marker:
            // The journal numbered it already.
            form.Graph().AddMarker(mark.label);
            form.FineMarker(mark.at, mark.label, chart::TChartPen::MarkerLine());
            Cue();
            break;
        }
    }

    void Undo(const TExamMark& mark) {
        TJournal& journal = form.Journal();
        const TMonoNs now = MonotonicNs();
        switch (mark.kind) {
        case TExamMark::TKind::Question:
            journal.UndoQuestion(now, mark.number);
            live->UndoQuestion(mark.number);
            break;
        case TExamMark::TKind::Answer:
            journal.UndoAnswer(now, mark.number, mark.yes);
            live->UndoAnswer(mark.number, mark.yes);
            break;
        case TExamMark::TKind::Marker:
            journal.UndoMarker(now, mark.number);
            break;
        }
        if (!mark.label.empty()) {
            form.Graph().RemoveMarker(mark.label);
            form.FineUnmark(mark.label);
        }
        if (live->Revision() != shownRevision) {
            ShowResponses();
            WriteFiles();
        }
    }

    void Failed(bool& shown, std::string_view format, const char* reason) {
        if (std::exchange(shown, true))
            return;
        form.SetPanelText(kActivityPanel, res::FormatStr(format, reason));
    }
};

void TfmMain::TExamAreaDeleter::operator()(TExamArea* area) const {
    delete area;
}

void TfmMain::CreateExam() {
    m_exam.reset(new TExamArea(*this));
    m_exam->ShowQuestions();
}

TQuestionPreferences TfmMain::QuestionPreferences() const {
    TQuestionPreferences prefs;
    prefs.file = m_exam->listFile;
    for (const auto& [setting, stored] : kStoredSettings)
        prefs.*stored = m_exam->settings.*setting;
    return prefs;
}

void TfmMain::ApplyQuestionPreferences(const TQuestionPreferences& prefs) {
    TExamArea& area = *m_exam;
    TResponseSettings settings;
    for (const auto& [setting, stored] : kStoredSettings)
        if (const auto& value = prefs.*stored)
            settings.*setting = *value;
    if (const std::string problem = ResponseSettingsProblem(settings); problem.empty())
        area.settings = settings;
    else
        SetPanelText(kActivityPanel, res::FormatStr(kSettingsIgnoredFormat, problem));
    area.exam.SetWindow(area.settings.window);
    // A list that cannot be read now stays remembered: its file may be back at the next start.
    area.listFile = prefs.file;
    if (!prefs.file.empty()) {
        try {
            area.exam.SetList(ReadQuestionList(prefs.file));
        } catch (const EQuestionList& error) {
            SetPanelText(kActivityPanel, res::FormatStr(kListIgnoredFormat, error.what()));
        }
    }
    area.ShowQuestions();
}

void TfmMain::AskSessionSheet() {
    TExamArea& area = *m_exam;
    // A Start that will be refused asks nothing.
    if (area.sheetAsked || !Acquisition().CanStart())
        return;
    TSessionSheetEditor editor(area.sheet);
    area.sheet = m_ui.EditInDialog(editor) ? editor.Sheet() : TSessionSheet{};
    area.sheetAsked = true;
}

void TfmMain::BeginExam() {
    TExamArea& area = *m_exam;
    area.afterRun.stop();
    area.exam.BeginRun();
    area.runStart = Journal().RunStartNs();
    area.live.emplace(area.settings, FineCalibrated());
    area.sheetWritten = false;
    area.sheetFailureShown = false;
    area.tableFailureShown = false;
    area.ShowQuestions();
    area.ShowResponses();
}

void TfmMain::EndExam() {
    TExamArea& area = *m_exam;
    if (!area.live)
        return;
    area.live->EndOfRun();
    area.ShowResponses();
    area.WriteFiles();
    if (area.FilesPending())
        area.afterRun.start();
}

void TfmMain::ExamNewHistory() {
    TExamArea& area = *m_exam;
    area.exam.NewHistory();
    area.sheetAsked = false;
    area.sheet = {};
}

void TfmMain::ExamSample() {
    m_exam->WriteFiles();
}

void TfmMain::FineEstimate(TMonoNs at, std::optional<double> hertz,
                           std::optional<double> microsiemens) {
    m_exam->Estimate(at, hertz, microsiemens);
}

void TfmMain::ExamMarker(TMonoNs at, int number) {
    m_exam->Apply(m_exam->exam.Marker(at, number), false);
}

void TfmMain::ActExamAskExecute() {
    // The key press is the mark's moment, whatever its handling costs.
    const TMonoNs at = MonotonicNs();
    if (Acquiring)
        m_exam->Apply(m_exam->exam.Ask(at), false);
}

void TfmMain::ActExamAnswerYesExecute() {
    const TMonoNs at = MonotonicNs();
    if (Acquiring)
        m_exam->Apply(m_exam->exam.Answer(at, true), false);
}

void TfmMain::ActExamAnswerNoExecute() {
    const TMonoNs at = MonotonicNs();
    if (Acquiring)
        m_exam->Apply(m_exam->exam.Answer(at, false), false);
}

void TfmMain::ActExamUndoExecute() {
    const TMonoNs at = MonotonicNs();
    if (Acquiring)
        m_exam->Apply(m_exam->exam.Undo(at), true);
}

void TfmMain::ActExamRestartListExecute() {
    if (Acquiring)
        m_exam->Apply(m_exam->exam.RestartList(), false);
}

void TfmMain::ActExamQuestionsExecute() {
    if (Acquiring)
        return;
    TExamArea& area = *m_exam;
    TQuestionsEditor editor(area.exam.List(), area.listFile, area.settings,
                            m_paths.documentsFolder);
    if (!m_ui.EditInDialog(editor))
        return;
    area.exam.SetList(editor.List());
    area.listFile = editor.File();
    area.settings = editor.Settings();
    area.exam.SetWindow(area.settings.window);
    area.ShowQuestions();
}

} // namespace sornafex
