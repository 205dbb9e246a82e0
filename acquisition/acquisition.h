#pragma once

// The acquisition area of the main window without its toolkit: the run (Start, Stop, the worker
// that counts DCD changes, the run flags, the enable rules) and the port selection (probe at
// start-up, switching between COM1 and COM2, the start-up port rule). The window reaches it
// through TAcquisitionView; everything here runs on the UI thread except the worker's loop.

#include "acquisition/capture_loop.h"
#include "acquisition/change_ring.h"
#include "acquisition/uCom.h"
#include "acquisition/worker_thread.h"
#include "serial/ComPort.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace sornafex {

class TUiBridge;
class TUiServices;

// The actions that the enable rules set, in the order the rules set them.
enum class TCaptureAction {
    CaptureStop,
    CaptureStart,
    AppClose,
    AppHelpIndex,
    New,
    Open,
    Save,
    SaveAs,
    GraphPrint,
    GraphExportBitmap,
    GraphExportMetafile,
    GraphSetXAuto,
    ComSetComNum1,
    ComSetComNum2,
    CaptureMark,
    GraphExportPng,
    GraphExportSvg,
    ComChooseDevice,
    ComCalibrate,
    ReviewSession,
    FileReport,
    ExamAsk,
    ExamAnswerYes,
    ExamAnswerNo,
    ExamUndo,
    ExamRestartList,
    ExamQuestions,
};
inline constexpr std::size_t kCaptureActionCount = 27;

using TCaptureEnableRules = std::array<std::pair<TCaptureAction, bool>, kCaptureActionCount>;

// Which actions are enabled: Stop, Mark and the examination's marks (a question, its answer, the
// undo, the list again) during a run; Start, quitting, help, the file, print, export and
// optimum-scale commands while idle; each port command while idle and when its port was found;
// the device, calibration and questions dialogs, the review of a session and the report while
// idle.
TCaptureEnableRules CaptureEnableRules(bool acquiring, bool com1Present, bool com2Present);

// The port the start-up rule switches to (1 or 2), or 0 for none: port 2 when both were found and
// the preference says 2, port 1 when COM1 was found, none without COM1.
int StartupPortChoice(bool com1Present, bool com2Present, std::int32_t portNumberPreference);

// Status-bar panels.
inline constexpr int kPortPanel = 0;
inline constexpr int kFrequencyPanel = 1;
inline constexpr int kActivityPanel = 2;

// Stop waits at most this long for the worker's end, in milliseconds.
inline constexpr std::uint32_t kStopWaitMs = 1000;
// A port switch keeps the port closed at least this long, in milliseconds.
inline constexpr std::uint32_t kPortSwitchPauseMs = 500;

// What the acquisition area needs of the main window. UI thread only.
class TAcquisitionView {
public:
    virtual ~TAcquisitionView() = default;
    virtual void SetPanelText(int panel, const std::string& text) = 0;
    virtual std::string PanelText(int panel) const = 0;
    virtual void SetPanelToolTip(int panel, const std::string& text) = 0;
    // Remembers the current cursor and shows the hourglass; RestoreCursor brings it back.
    virtual void ShowWaitCursor() = 0;
    virtual void RestoreCursor() = 0;
    virtual void SetActionEnabled(TCaptureAction action, bool enabled) = 0;
    // The check mark of the "Port" menu: on port's command, off the other one's.
    virtual void SetPortChecked(int port) = 0;
    // Hides the chart's no-data title and repaints the chart before returning.
    virtual void HideNoDataTitle() = 0;
    // The sample history's per-sample routine: readout, chart, no-data title, unsaved flag.
    virtual void AddSample(TSample sample) = 0;
    // The port's device was lost, or came back, at `at` on the monotonic clock (see
    // TAcquisition::kLossLead); the status bar already says so.
    virtual void PortEvent(TPortEvent, TMonoNs /*at*/) {}
};

// Raised when the worker component started no thread although nothing was running.
class ECaptureNotStarted : public std::runtime_error {
public:
    ECaptureNotStarted();
};

class TAcquisition {
public:
    // acquiring is the window's Acquiring flag (its close query reads it). bridge, ui and view
    // must outlive this object. tickCount: the millisecond clock of the waits (the counting loop
    // keeps to the monotonic clock it paces its polls with).
    TAcquisition(TUiBridge& bridge, TUiServices& ui, TAcquisitionView& view, bool& acquiring,
                 TTickSource tickCount = TickCount);
    // Asks a worker still running to stop and waits for its end (UI messages keep being
    // processed); samples arriving meanwhile are no longer shown.
    ~TAcquisition();
    TAcquisition(const TAcquisition&) = delete;
    TAcquisition& operator=(const TAcquisition&) = delete;

    // The form's serial port component, port number 1 until a switch.
    TComPort& ComPort1() { return m_comPort1; }
    // The form's worker thread component.
    TWorkerThread& ThreadCapture() { return m_threadCapture; }

    // ---- The run ----------------------------------------------------------------------------
    // Start: refuses with a message when the port is closed or a port switch is under way
    // (EAbort); otherwise marks the run, applies the enable rules, shows "0 Hz" and "Acquisition
    // démarrée...", lets a worker of an earlier run finish ending, and launches a new worker. A
    // launch that fails is shown in the error box and leaves the window idle. Does nothing while a
    // run is in progress.
    void ActCaptureStart();
    // Stop: asks the worker to stop, processes UI messages until its end was reported or for at
    // most 1000 ms, then shows "Acquisition arrêtée" and applies the enable rules. A sample the
    // worker hands over after that is dropped.
    void ActCaptureStop();
    // The enable rules, then panel 1 "-" and the no-data title hidden with an immediate repaint.
    void ApplyCaptureState();
    // The window may close exactly when no run is in progress.
    bool CloseQuery() const { return !m_acquiring; }
    // Whether Start would start a run now rather than refuse: idle, the port open and no switch
    // under way.
    bool CanStart() const { return !m_acquiring && m_comPort1.Open() && m_switchingTo == 0; }

    // The counting loop of the next run: false (the default) reads the driver's count of DCD
    // changes and sleeps until each change where the port's device has them, and elsewhere paces
    // its polls, sleeping through most of each level; true polls without pause, as fast as the
    // line can be read.
    void SetFullSpeedPoll(bool on) { m_fullSpeedPoll.store(on, std::memory_order_relaxed); }
    bool FullSpeedPoll() const { return m_fullSpeedPoll.load(std::memory_order_relaxed); }
    // The change times of the window whose sample the view is being given, from the start of
    // its AddSample on; for a finer frequency than the sample's hertz. UI thread only.
    const TCaptureWindow& LastWindow() const { return m_lastWindow; }
    // Whether that window lay wholly outside the port's losses: a window that fell, even partly,
    // in a loss counted a line that was not there, and its sample measures nothing.
    bool LastWindowMeasured() const { return m_lastWindowMeasured; }

    // Every change the worker finds, in order, for the UI thread to drain (see TChangeRing). It
    // is emptied when a run or a measurement starts, and then numbers its changes from 0.
    TChangeRing& Changes() { return m_changes; }

    // A loss is noticed on a dispatcher thread and reaches the UI thread a little later, while
    // the worker already reads a line that is gone: a loss is taken to have begun this much
    // before the UI thread heard of it.
    static constexpr TMonoNs kLossLead = 100 * kNsPerMs;

    // The changes of the open port over duration, for a measurement outside a run (the
    // calibration's): the worker counts as in a run but hands no sample to the view, while UI
    // messages keep being processed; the ring is drained as the measurement goes, so that none
    // is dropped. Refused like Start when the port is closed (EAbort after the message) and
    // empty during a run.
    struct TMeasuredChanges {
        TMonoNs from = 0; // the worker's launch: no change before it
        TMonoNs to = 0;
        std::vector<TChangeStamp> changes;
    };
    TMeasuredChanges MeasureChanges(std::chrono::milliseconds duration);
    bool Measuring() const { return m_measuring; }

    bool Acquiring() const { return m_acquiring; }
    // What the run says in panel 2 (and the switch, and what the window adds to Stop's words):
    // shown at once, or once a lost port is back.
    void SetActivityText(const std::string& text);
    bool StopRequested() const { return m_stopRequested.load(std::memory_order_acquire); }
    // The worker has been launched and has not yet reported its end.
    bool CaptureThreadRunning() const { return m_captureThreadRunning; }

    // ---- Port selection ---------------------------------------------------------------------
    // Probes COM1 to COM50 through the port's device map and factory; sets Com1Present and
    // Com2Present. Called once at start-up, after the device map was set and before the
    // preferences are applied.
    void DetectComPorts();
    bool Com1Present() const { return m_com1Present; }
    bool Com2Present() const { return m_com2Present; }

    // Closes the port, gives it number n, waits 500 ms processing messages when it closed an open
    // port, and opens it, with the hourglass and "Paramétrage du port com..." meanwhile. Panel 0
    // ends as "Com n - Ouvert" (the port number preference becomes n) or "Com n - Fermé" (the
    // preference is kept); its tooltip names the device and, when closed, why. Never raises.
    void SelectComPort(int n);
    // The port commands: the switch, then the check mark. A port command chosen during the pause
    // of a switch is held back and runs when that switch has ended.
    void ActComSetComNum1() { SwitchToPort(1); }
    void ActComSetComNum2() { SwitchToPort(2); }
    // The start-up port rule, applied with the loaded preference (which becomes the port number
    // preference): see StartupPortChoice.
    void ApplyStartupPort(std::int32_t portNumberPreference);
    // The number of the last port a switch opened, or the loaded value until one has.
    std::int32_t PortNumberPreference() const { return m_portNumberPreference; }

    // The device dialog's choice: device goes behind port n, which counts as found when the
    // probe finds device; when n is the port's number, the port is switched to it again, as by
    // its command, and a failed open is shown in the error box. UI thread, while idle.
    void SetPortDevice(int n, const std::string& device);

private:
    // Sets the stop flag and wakes a worker that waits for the line.
    void RequestStop();
    void CaptureWorker();
    void HandOff(TSample sample, const TCaptureWindow& window);
    // Launches the worker for a run or a measurement, the ring emptied first; false when the
    // component started none.
    bool LaunchWorker();
    // Whether [from, to] meets a loss of the current run (the one in progress included).
    bool InLoss(TMonoNs from, TMonoNs to) const;
    void SwitchToPort(int n);
    std::string OpenFailureReason(const std::exception* error) const;
    // Panel 0 and its tooltip after the port lost its device, was refused it or got it back;
    // panel 2 says the loss until the port is back.
    void OnPortEvent(TPortEvent event);

    TUiBridge& m_bridge;
    TUiServices& m_ui;
    TAcquisitionView& m_view;
    bool& m_acquiring;
    const TTickSource m_tickCount;

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_fullSpeedPoll{false};
    TCaptureWindow m_lastWindow;
    bool m_lastWindowMeasured = true;
    TChangeRing m_changes;
    // The port's losses since the run began, as [from, to]; the one still going on has no end.
    struct TLoss {
        TMonoNs from = 0;
        std::optional<TMonoNs> to;
    };
    std::vector<TLoss> m_losses;
    bool m_measuring = false;
    bool m_captureThreadRunning = false;
    // Whether a sample handed over now belongs to the run in progress and is shown: from the
    // launch of its worker to the end of Stop.
    bool m_showSamples = false;

    bool m_com1Present = false;
    bool m_com2Present = false;
    std::int32_t m_portNumberPreference = 1;
    bool m_switching = false;
    int m_heldBackSwitch = 0;
    // The port number SelectComPort is switching to, 0 outside a switch.
    int m_switchingTo = 0;
    // Panel 2 says that the port is lost; m_activityText is what it says once the port is back.
    bool m_lossShown = false;
    std::string m_activityText;

    // Declared last: the worker reads the port, so it ends before the port closes.
    TComPort m_comPort1;
    TWorkerThread m_threadCapture;
};

} // namespace sornafex
