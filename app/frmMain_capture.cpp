// Acquisition run and port selection commands of the main window: the toolkit's side of
// TAcquisition, which holds ComPort1, ThreadCapture and the run flags.

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "base/mono_clock.h"
#include "chart/chart_widget.h"
#include "chart/uGraph.h"
#include "recording/journal.h"
#include "serial/port_device_map.h"
#include "settings/uPrefs.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>

namespace sornafex {

// The window as the acquisition area sees it, and the area itself.
struct TfmMain::TCaptureArea final : TAcquisitionView {
    explicit TCaptureArea(TfmMain& window)
        : form(window), acquisition(window.Bridge(), window.Ui(), *this, window.Acquiring) {}

    void SetPanelText(int panel, const std::string& text) override {
        form.SetPanelText(panel, text);
    }
    std::string PanelText(int panel) const override { return form.PanelText(panel); }
    void SetPanelToolTip(int panel, const std::string& text) override {
        form.SetPanelToolTip(panel, text);
    }
    void ShowWaitCursor() override { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    void RestoreCursor() override { QGuiApplication::restoreOverrideCursor(); }
    void SetActionEnabled(TCaptureAction action, bool enabled) override {
        Action(action)->setEnabled(enabled);
    }
    void SetPortChecked(int port) override {
        form.ActComSetComNum1->setChecked(port == 1);
        form.ActComSetComNum2->setChecked(port == 2);
    }
    void HideNoDataTitle() override {
        form.Chart1->Title().SetVisible(false);
        form.Chart1->Refresh();
    }
    void AddSample(TSample sample) override {
        form.Graph().AddSample(sample);
        form.JournalSample(sample);
    }
    void PortEvent(TPortEvent event, TMonoNs at) override {
        switch (event) {
        case TPortEvent::Lost:
            form.FinePortEvent(event, at);
            form.JournalPortEvent(TJournalEvent::PortLost);
            break;
        case TPortEvent::Reopened:
            form.FinePortEvent(event, at);
            form.JournalPortEvent(TJournalEvent::PortReopened);
            break;
        case TPortEvent::Refused:
            break; // still lost, as the journal already says
        }
    }

    QAction* Action(TCaptureAction action) const {
        switch (action) {
        case TCaptureAction::CaptureStop:
            return form.ActCaptureStop;
        case TCaptureAction::CaptureStart:
            return form.ActCaptureStart;
        case TCaptureAction::AppClose:
            return form.ActAppClose;
        case TCaptureAction::AppHelpIndex:
            return form.ActAppHelpIndex;
        case TCaptureAction::New:
            return form.ActNew;
        case TCaptureAction::Open:
            return form.ActOpen;
        case TCaptureAction::Save:
            return form.ActSave;
        case TCaptureAction::SaveAs:
            return form.ActSaveAs;
        case TCaptureAction::GraphPrint:
            return form.ActGraphPrint;
        case TCaptureAction::GraphExportBitmap:
            return form.ActGraphExportBitmap;
        case TCaptureAction::GraphExportMetafile:
            return form.ActGraphExportMetafile;
        case TCaptureAction::GraphSetXAuto:
            return form.ActGraphSetXAuto;
        case TCaptureAction::ComSetComNum1:
            return form.ActComSetComNum1;
        case TCaptureAction::ComSetComNum2:
            return form.ActComSetComNum2;
        case TCaptureAction::CaptureMark:
            return form.ActCaptureMark;
        case TCaptureAction::GraphExportPng:
            return form.ActGraphExportPng;
        case TCaptureAction::GraphExportSvg:
            return form.ActGraphExportSvg;
        case TCaptureAction::ComChooseDevice:
            return form.ActComChooseDevice;
        case TCaptureAction::ComCalibrate:
            return form.ActComCalibrate;
        case TCaptureAction::ReviewSession:
            return form.ActReviewSession;
        case TCaptureAction::FileReport:
            return form.ActFileReport;
        case TCaptureAction::ExamAsk:
            return form.ActExamAsk;
        case TCaptureAction::ExamAnswerYes:
            return form.ActExamAnswerYes;
        case TCaptureAction::ExamAnswerNo:
            return form.ActExamAnswerNo;
        case TCaptureAction::ExamUndo:
            return form.ActExamUndo;
        case TCaptureAction::ExamRestartList:
            return form.ActExamRestartList;
        case TCaptureAction::ExamQuestions:
            return form.ActExamQuestions;
        }
        return form.ActCaptureStop;
    }

    TfmMain& form;
    TAcquisition acquisition;
    // Set by the probe at start-up, cleared once the start-up port rule has run.
    bool startupPortPending = false;
};

void TfmMain::TCaptureAreaDeleter::operator()(TCaptureArea* area) const {
    delete area;
}

void TfmMain::CreateCapture() {
    m_capture.reset(new TCaptureArea(*this));
}

TAcquisition& TfmMain::Acquisition() const {
    return m_capture->acquisition;
}

void TfmMain::ApplyCaptureState() {
    m_capture->acquisition.ApplyCaptureState();
}

void TfmMain::DetectComPortsAtStartUp() {
    // The preferences may put any device behind a port number; that map must be known before
    // the probe looks at the ports.
    TPortDeviceMap devices;
    for (const auto& [port, device] : ReadPortDevices(m_paths.preferencesPath))
        devices.Set(port, device);
    TAcquisition& acquisition = m_capture->acquisition;
    acquisition.ComPort1().SetDeviceMap(devices);
    acquisition.DetectComPorts();
    m_capture->startupPortPending = true;
}

void TfmMain::ApplyStartupPort(std::int32_t portNumber) {
    m_capture->startupPortPending = false;
    m_capture->acquisition.ApplyStartupPort(portNumber);
}

void TfmMain::ApplyPendingStartupPort() {
    if (!m_capture->startupPortPending)
        return;
    ApplyStartupPort(TPreferences{}.comNumber);
    ApplyCaptureState();
}

std::int32_t TfmMain::PortNumberPreference() const {
    return m_capture->acquisition.PortNumberPreference();
}

void TfmMain::ActCaptureStartExecute() {
    AskSessionSheet();
    m_capture->acquisition.ActCaptureStart();
    // The worker's first sample and change reach this thread only once the command has returned.
    if (Acquiring) {
        BeginJournal();
        BeginFine();
        // The report is of this run from now on, not of a journal opened before it.
        SetReportJournal({});
        BeginExam();
    }
}

void TfmMain::ActCaptureStopExecute() {
    m_capture->acquisition.ActCaptureStop();
    // The run's last estimates go into its journal and its table before they end.
    EndFine();
    EndExam();
    EndJournal();
}

void TfmMain::ActComSetComNum1Execute() {
    m_capture->acquisition.ActComSetComNum1();
}

void TfmMain::ActComSetComNum2Execute() {
    m_capture->acquisition.ActComSetComNum2();
}

} // namespace sornafex
