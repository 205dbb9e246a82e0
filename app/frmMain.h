#pragma once

// The main window: every command, the menus, the toolbar, the chart area and the status bar.
// Each area's commands are defined in their own source file (frmMain_<area>.cpp); this file and
// frmMain.cpp hold the shell: layout, the command guard, start-up and closing.

#include "base/mono_clock.h"
#include "base/paths.h"
#include "base/ui_services.h"

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPrinter;
class QToolBar;

namespace sornafex {

class TAcquisition;
class TDocument;
class TfmResponse;
class TfmReview;
struct TQuestionPreferences;
struct TResponsePreferences;
struct TSoundPreferences;
enum class TPortEvent;
class TJournal;
enum class TJournalEvent;
class TUiBridge;
class TUiServices;

namespace chart {
class TChart;
struct TChartPen;
class TGraph;
class TGraphHost;
} // namespace chart

class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    // The services and the bridge outlive the window.
    TfmMain(TUiServices& ui, TUiBridge& bridge, QWidget* parent = nullptr);
    ~TfmMain() override;

    // The start-up routine: paths, dialogs' folder, port probe, preferences, writability test,
    // New. executablePath is the program's full path.
    void StartUp(const std::string& executablePath);
    // Step one of the start-up routine alone: the executable folder, preferences and readme paths
    // and the dialogs' folder, for a portable copy or an installed program (base/locations.h).
    void InitPaths(const std::string& executablePath);

    TUiServices& Ui() const { return m_ui; }
    TUiBridge& Bridge() const { return m_bridge; }
    const TAppPaths& Paths() const { return m_paths; }

    // Runs a command inside the application-wide guard: an escaping error is shown in the error
    // box, EAbort ends it silently, and nothing reaches the event loop.
    void RunGuarded(const std::function<void()>& command);

    // Status bar panels 0 to 2.
    void SetPanelText(int panel, const std::string& text);
    std::string PanelText(int panel) const;
    void SetPanelToolTip(int panel, const std::string& text);
    QLabel* Panel(int panel) const;

    // Caption "%s - [%s]": the title and the file-name part of fileName.
    void UpdateCaption(const std::string& fileName);

    // True between Start and Stop; the window refuses to close meanwhile.
    bool Acquiring = false;

    // The commands, in the order of the action list.
    QAction* ActNew = nullptr;
    QAction* ActOpen = nullptr;
    QAction* ActSave = nullptr;
    QAction* ActSaveAs = nullptr;
    QAction* ActCaptureStart = nullptr;
    QAction* ActCaptureStop = nullptr;
    QAction* ActAppClose = nullptr;
    QAction* ActGraphExportBitmap = nullptr;
    QAction* ActGraphExportMetafile = nullptr;
    QAction* ActGraphCopyToClipboardBitmap = nullptr;
    QAction* ActGraphCopyToClipboardMetafile = nullptr;
    QAction* ActGraphPrint = nullptr;
    QAction* ActAppAbout = nullptr;
    QAction* ActAppHelpIndex = nullptr;
    QAction* ActComSetComNum1 = nullptr;
    QAction* ActComSetComNum2 = nullptr;
    QAction* ActComChooseDevice = nullptr;
    QAction* ActGraphSetXMin = nullptr;
    QAction* ActGraphSetXMax = nullptr;
    QAction* ActGraphSetXAuto = nullptr;
    QAction* ActGraphSetXDefault = nullptr;
    QAction* ActShowNoData = nullptr;
    QAction* ActAppReadme = nullptr;
    QAction* ActCaptureMark = nullptr;
    QAction* ActGraphExportPng = nullptr;
    QAction* ActGraphExportSvg = nullptr;
    QAction* ActJournalOpenFolder = nullptr;
    QAction* ActGraphResponse = nullptr;
    QAction* ActComCalibrate = nullptr;
    QAction* ActReviewSession = nullptr;
    QAction* ActFileReport = nullptr;
    QAction* ActGraphSound = nullptr;
    QAction* ActGraphSoundVolume = nullptr;
    QAction* ActExamAsk = nullptr;
    QAction* ActExamAnswerYes = nullptr;
    QAction* ActExamAnswerNo = nullptr;
    QAction* ActExamUndo = nullptr;
    QAction* ActExamRestartList = nullptr;
    QAction* ActExamQuestions = nullptr;

    QToolBar* ToolBar1 = nullptr;
    chart::TChart* Chart1 = nullptr;

    // The sample history of Chart1's Series1, with the scale commands and the no-data and
    // vertical-range preferences (frmMain_graph.cpp).
    chart::TGraph& Graph() const { return *m_graph; }
    // The acquisition run and the port selection: ComPort1, ThreadCapture, the run flags
    // (frmMain_capture.cpp).
    TAcquisition& Acquisition() const;
    // The start-up port rule, run when the preferences are applied, with their port number.
    void ApplyStartupPort(std::int32_t portNumber);
    // The port number to save: the last port a switch opened, or the loaded value.
    std::int32_t PortNumberPreference() const;

    // Called by every sample that enters the history: the document marks its data unsaved.
    void SetDataModifiedHandler(std::function<void()> handler);

    // The save dialog's settings, shared by the document commands and the chart exports: each
    // command sets its filter, extension and proposed name; the folder is kept.
    TFileDialogOptions SaveDialog1;
    // The open dialog's settings: the folder and the name last chosen are kept.
    TFileDialogOptions OpenDialog1;

    // The document: current file name and unsaved-data flag (frmMain_documents.cpp).
    TDocument& Document() const;
    // The result of the writability test of the preferences file, run at start-up.
    bool PreferencesWritable() const;

    // The run journals (frmMain_journal.cpp): where they go, the journal of the run, and the
    // serial layer's port events, which go into it.
    const std::string& JournalFolder() const;
    TJournal& Journal() const;
    void JournalPortEvent(TJournalEvent event);

    // The fine measurement and the response window (frmMain_fine.cpp): the window, its
    // preferences, and the port events and markers it hears of.
    TfmResponse* ResponseWindow() const;
    TResponsePreferences ResponsePreferences() const;
    void ApplyResponsePreferences(const TResponsePreferences& prefs);
    TSoundPreferences SoundPreferences() const;
    void ApplySoundPreferences(const TSoundPreferences& prefs);
    // The tone's tick, at each question onset and each marker of a run.
    void SoundTick();
    void FinePortEvent(TPortEvent event, TMonoNs at);

    // The review of the session in the journal at path, in a window of its own that the main
    // window owns and that closing deletes (frmMain_review.cpp). A journal that cannot be read
    // gets the error box with the words of "Ouvrir...", and no window: nullptr.
    TfmReview* ReviewJournal(const std::string& path);
    // The examination (frmMain_exam.cpp): its question list's file and the settings of the
    // measurement of responses, as the preferences keep them.
    TQuestionPreferences QuestionPreferences() const;
    void ApplyQuestionPreferences(const TQuestionPreferences& prefs);

    // None: the toolkit's own menu, which hides the toolbar, is no part of this program.
    QMenu* createPopupMenu() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    QAction* MakeAction(const char* name, const QString& caption, const QString& hint,
                        const QKeySequence& shortcut, int image, void (TfmMain::*execute)());

    // Closing: false when the close must not happen.
    bool CloseQuery();

    // Shell commands.
    void ActAppCloseExecute();
    void ActAppReadmeExecute();

    // Area: capture and ports (frmMain_capture.cpp).
    void CreateCapture();
    void ApplyCaptureState();
    void DetectComPortsAtStartUp();
    // Runs the start-up port rule with the default port number unless the preferences ran it.
    void ApplyPendingStartupPort();
    void ActCaptureStartExecute();
    void ActCaptureStopExecute();
    void ActComSetComNum1Execute();
    void ActComSetComNum2Execute();
    // The device dialog of the selected port (frmMain_device.cpp).
    void ActComChooseDeviceExecute();

    // Area: chart, history and scale (frmMain_graph.cpp).
    void CreateGraph();
    void ActGraphSetXMinExecute();
    void ActGraphSetXMaxExecute();
    void ActGraphSetXAutoExecute();
    void ActGraphSetXDefaultExecute();
    void ActShowNoDataExecute();

    // Area: documents and preferences (frmMain_documents.cpp).
    void CreateDocuments();
    void PointDialogsAtDocumentsFolder();
    void LoadAndApplyPreferences();
    void TestPreferencesWritable();
    bool CloseQueryDocument();
    void SavePreferencesAtClose();
    void ActNewExecute();
    void ActOpenExecute();
    void ActSaveExecute();
    void ActSaveAsExecute();

    // Area: chart output and about box (frmMain_output.cpp).
    void ActGraphExportBitmapExecute();
    void ActGraphExportMetafileExecute();
    void ActGraphCopyToClipboardBitmapExecute();
    void ActGraphCopyToClipboardMetafileExecute();
    void ActGraphPrintExecute();
    void ActAppAboutExecute();
    void ActGraphExportPngExecute();
    void ActGraphExportSvgExecute();

    // Area: run journals and markers (frmMain_journal.cpp).
    void CreateJournal();
    // The folder from the preferences, or the desktop's data folder; read at start-up.
    void LocateJournalFolder();
    // A run began or ended (after Start and Stop have done their part); every sample of a run.
    void BeginJournal();
    void EndJournal();
    void JournalSample(std::int32_t sample);
    // A failure of the journal of run number `run` (1 for the first since start-up): the red
    // mark and panel 2's tooltip while it runs, Stop's words once it has ended.
    void JournalFailed(int run, const std::string& reason, bool incomplete);
    void ShowJournalMark(const std::string& mark, const std::string& why);
    void ActCaptureMarkExecute();
    void ActJournalOpenFolderExecute();

    // Area: fine measurement, calibration and the response window (frmMain_fine.cpp).
    void CreateFine();
    // A run began (after its journal) or ended (before its journal).
    void BeginFine();
    void EndFine();
    // A mark's line in the response window, at its key press; and an undone one's taken away.
    void FineMarker(TMonoNs at, const std::string& label, const chart::TChartPen& pen);
    void FineUnmark(const std::string& label);
    bool FineCalibrated() const;
    // Every fine estimate of a run, in order, with or without a value.
    void FineEstimate(TMonoNs at, std::optional<double> hertz, std::optional<double> microsiemens);
    void ActGraphResponseExecute();
    void ActComCalibrateExecute();
    void ActGraphSoundExecute();
    void ActGraphSoundVolumeExecute();

    // Area: the review of a session (frmMain_review.cpp). Its dialog starts in the journals'
    // folder, then where the last journal reviewed was.
    void ActReviewSessionExecute();
    TFileDialogOptions m_reviewDialog;

    // Area: the examination's report (frmMain_report.cpp). Its session is the journal
    // "Ouvrir..." read last, until a run begins (an empty path), and then that run's.
    void SetReportJournal(std::string path);
    void ActFileReportExecute();
    std::string m_reportJournal;
    // The report's own printer, set to A4 portrait for it, made on the first report.
    std::shared_ptr<QPrinter> m_reportPrinter;

    class TFineArea;
    struct TFineAreaDeleter {
        void operator()(TFineArea* area) const;
    };
    std::unique_ptr<TFineArea, TFineAreaDeleter> m_fine;
    // Area: the examination (frmMain_exam.cpp).
    void CreateExam();
    // Start asks for the session's sheet first, once a session: after New, Open and the
    // program's start.
    void AskSessionSheet();
    // A run began (after the fine measurement) or ended (after it, before the journal).
    void BeginExam();
    void EndExam();
    // A new history in the chart: its next run is its first, and a new session.
    void ExamNewHistory();
    // A sample of the run reached the journal: the files beside it are written once it exists.
    void ExamSample();
    // An F8 marker the journal numbered at the key press at.
    void ExamMarker(TMonoNs at, int number);
    void ActExamAskExecute();
    void ActExamAnswerYesExecute();
    void ActExamAnswerNoExecute();
    void ActExamUndoExecute();
    void ActExamRestartListExecute();
    void ActExamQuestionsExecute();
    class TExamArea;
    struct TExamAreaDeleter {
        void operator()(TExamArea* area) const;
    };
    std::unique_ptr<TExamArea, TExamAreaDeleter> m_exam;
    class TJournalArea;
    struct TJournalAreaDeleter {
        void operator()(TJournalArea* area) const;
    };
    std::unique_ptr<TJournalArea, TJournalAreaDeleter> m_journal;
    // The printer PrintDialog1 configures, kept from one print to the next; made on the first
    // print (looking printers up is slow). Shared so that this header needs no QPrinter.
    std::shared_ptr<QPrinter> m_printer;

    class TDocumentsArea;
    struct TDocumentsAreaDeleter {
        void operator()(TDocumentsArea* area) const;
    };
    // Before the history: every sample that enters it reaches the document.
    std::unique_ptr<TDocumentsArea, TDocumentsAreaDeleter> m_documents;

    std::unique_ptr<chart::TGraphHost> m_graphHost;
    std::unique_ptr<chart::TGraph> m_graph;
    std::function<void()> m_dataModified;

    TUiServices& m_ui;
    TUiBridge& m_bridge;
    TAppPaths m_paths;
    QLabel* m_panels[3] = {};
    // Right of the panels, red, hidden while the run's journal is written.
    QLabel* m_journalMark = nullptr;
    bool m_sizedToFrame = false;

    struct TCaptureArea;
    struct TCaptureAreaDeleter {
        void operator()(TCaptureArea* area) const;
    };
    // Declared last, so destroyed first: a worker still ending when the window goes away may
    // need the window's other members until it has ended.
    std::unique_ptr<TCaptureArea, TCaptureAreaDeleter> m_capture;
};

} // namespace sornafex
