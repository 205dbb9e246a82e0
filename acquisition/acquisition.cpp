#include "acquisition/acquisition.h"

#include "acquisition/capture_pacing.h"
#include "base/errors.h"
#include "base/uRes.h"
#include "base/ui_bridge.h"
#include "base/ui_services.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace sornafex {

namespace {

std::string HzText(std::string_view value) {
    return std::string(value).append(res::Text(res::TMsg::sHzSuffix));
}

} // namespace

ECaptureNotStarted::ECaptureNotStarted()
    : std::runtime_error("Le thread d'acquisition n'a pas pu être lancé") {}

TCaptureEnableRules CaptureEnableRules(bool acquiring, bool com1Present, bool com2Present) {
    const bool idle = !acquiring;
    using A = TCaptureAction;
    return {{
        {A::CaptureStop, acquiring},
        {A::CaptureStart, idle},
        {A::AppClose, idle},
        {A::AppHelpIndex, idle},
        {A::New, idle},
        {A::Open, idle},
        {A::Save, idle},
        {A::SaveAs, idle},
        {A::GraphPrint, idle},
        {A::GraphExportBitmap, idle},
        {A::GraphExportMetafile, idle},
        {A::GraphSetXAuto, idle},
        {A::ComSetComNum1, idle && com1Present},
        {A::ComSetComNum2, idle && com2Present},
        {A::CaptureMark, acquiring},
        {A::GraphExportPng, idle},
        {A::GraphExportSvg, idle},
        {A::ComChooseDevice, idle},
        {A::ComCalibrate, idle},
        {A::ReviewSession, idle},
        {A::FileReport, idle},
        {A::ExamAsk, acquiring},
        {A::ExamAnswerYes, acquiring},
        {A::ExamAnswerNo, acquiring},
        {A::ExamUndo, acquiring},
        {A::ExamRestartList, acquiring},
        {A::ExamQuestions, idle},
    }};
}

int StartupPortChoice(bool com1Present, bool com2Present, std::int32_t portNumberPreference) {
    if (!com1Present)
        return 0;
    return com2Present && portNumberPreference == 2 ? 2 : 1;
}

TAcquisition::TAcquisition(TUiBridge& bridge, TUiServices& ui, TAcquisitionView& view,
                           bool& acquiring, TTickSource tickCount)
    : m_bridge(bridge), m_ui(ui), m_view(view), m_acquiring(acquiring),
      m_tickCount(std::move(tickCount)),
      m_comPort1(
          TComPortContext{.bridge = &bridge, .services = &ui, .devices = {}, .deviceFactory = {}}),
      m_threadCapture(bridge, ui) {
    m_comPort1.SetComNumber(1);
    m_threadCapture.SetExclusive(true);
    m_threadCapture.SetRunOnCreate(true);
    m_threadCapture.SetFreeOnTerminate(true);
    m_threadCapture.SetOnExecute([this](TWorkerThread*, void*) { CaptureWorker(); });
    m_threadCapture.SetOnFinish([this](void*) { m_captureThreadRunning = false; });
    m_comPort1.SetOnPortEvent([this](TPortEvent event) { OnPortEvent(event); });
}

TAcquisition::~TAcquisition() {
    // The window is going away: a worker still counting must end, and what it still hands over
    // has nowhere to go. The worker component's destruction then waits for its end.
    m_showSamples = false;
    RequestStop();
}

// ---- The run ----------------------------------------------------------------------------------

void TAcquisition::ActCaptureStart() {
    // Start is disabled during a run; this keeps a re-entrant call from a message-processing
    // wait from starting a second run over the first.
    if (m_acquiring)
        return;
    // A port switch lets commands run while it closes the port (which stays open until its
    // threads have ended) and reopens it: a worker started then would read a port going away.
    CheckPortOpen(m_comPort1, m_ui, m_switchingTo);

    const std::string activityBefore = m_view.PanelText(kActivityPanel);
    m_acquiring = true;
    ApplyCaptureState();
    m_view.SetPanelText(kFrequencyPanel, HzText(res::kZeroFrequency));
    SetActivityText(std::string(res::Text(res::TMsg::sCaptureStarted)));

    // A worker of the previous run may still be ending (Stop gave up waiting for it). Clearing
    // the stop flag now could keep it counting for a run it no longer serves, and the exclusive
    // component would refuse the new worker: let it end first. The wait keeps the window alive,
    // and Stop chosen meanwhile abandons this start.
    if (m_captureThreadRunning)
        m_bridge.ProcessMessagesUntil([this] { return !m_captureThreadRunning || !m_acquiring; });
    if (!m_acquiring)
        return;

    // The port is open (CheckPortOpen): no loss is going on.
    m_losses.clear();
    m_showSamples = true;
    try {
        if (!LaunchWorker())
            throw ECaptureNotStarted();
    } catch (const std::exception& error) {
        // No worker means no run: the window goes back to idle and says why.
        RequestStop();
        m_showSamples = false;
        m_acquiring = false;
        ApplyCaptureState();
        SetActivityText(activityBefore);
        m_ui.ShowError(ErrorBoxText(error.what()));
        throw EAbort();
    }
}

bool TAcquisition::LaunchWorker() {
    // No worker runs now (Start and a measurement wait for the last one's end), so nothing
    // pushes while the ring is emptied.
    m_changes.Reset();
    m_stopRequested.store(false, std::memory_order_release);
    if (m_threadCapture.Execute(nullptr) == 0)
        return false;
    m_captureThreadRunning = true;
    return true;
}

TAcquisition::TMeasuredChanges TAcquisition::MeasureChanges(std::chrono::milliseconds duration) {
    TMeasuredChanges measured;
    if (m_acquiring || m_measuring)
        return measured;
    CheckPortOpen(m_comPort1, m_ui, m_switchingTo);
    m_measuring = true;
    struct TMeasureEnd {
        TAcquisition& acquisition;
        ~TMeasureEnd() {
            acquisition.RequestStop();
            acquisition.m_measuring = false;
        }
    } measureEnd{*this};
    // A worker of the last run that Stop gave up on must end before the ring is emptied.
    m_bridge.ProcessMessagesUntil([this] { return !m_captureThreadRunning; });
    measured.from = MonotonicNs();
    if (!LaunchWorker())
        throw ECaptureNotStarted();
    const auto drain = [&] {
        m_changes.Drain(measured.changes);
        return false;
    };
    m_bridge.ProcessMessagesUntil(
        drain, MsPassed(static_cast<std::uint32_t>(duration.count()), m_tickCount));
    measured.to = MonotonicNs();
    RequestStop();
    m_bridge.ProcessMessagesUntil([this] { return !m_captureThreadRunning; },
                                  MsPassed(kStopWaitMs, m_tickCount));
    m_changes.Drain(measured.changes);
    return measured;
}

void TAcquisition::ActCaptureStop() {
    RequestStop();
    m_bridge.ProcessMessagesUntil([this] { return !m_captureThreadRunning; },
                                  MsPassed(kStopWaitMs, m_tickCount));
    // A worker that has not ended yet may still hand over a sample: the run it counted for is
    // over, and its value would overwrite the idle readout and mark the data unsaved.
    m_showSamples = false;
    m_acquiring = false;
    SetActivityText(std::string(res::Text(res::TMsg::sCaptureStopped)));
    ApplyCaptureState();
}

void TAcquisition::ApplyCaptureState() {
    for (const auto& [action, enabled] :
         CaptureEnableRules(m_acquiring, m_com1Present, m_com2Present))
        m_view.SetActionEnabled(action, enabled);
    m_view.SetPanelText(kFrequencyPanel, std::string(res::kNoFrequency));
    m_view.HideNoDataTitle();
}

void TAcquisition::RequestStop() {
    m_stopRequested.store(true, std::memory_order_release);
    // A worker asleep until the line's next change would hear of the stop only at the window's
    // end.
    m_comPort1.WakeCarrierWait();
}

void TAcquisition::CaptureWorker() {
    const auto readDcd = [this] {
        return ReadPortDCD(m_comPort1);
    };
    const auto handOff = [this](TSample sample, const TCaptureWindow& window) {
        HandOff(sample, window);
    };
    const auto onChange = [this](TMonoNs at, TMonoNs uncertainty, TMonoNs blindest) {
        m_changes.Push(at, uncertainty, blindest);
    };
    if (m_fullSpeedPoll.load(std::memory_order_relaxed)) {
        TFullSpeedPolling pacing;
        CaptureLoop(readDcd, MonotonicNs, pacing, SleepUntil, handOff, onChange, m_stopRequested);
        return;
    }
    // The worker thread is this run's own: its slack needs no restoring.
    LowerTimerSlack();
    if (const TCountedPortLine line(m_comPort1, m_stopRequested); line.Counts()) {
        // The driver counts every change and wakes the worker at each one: the count is exact
        // however fast the line rises, and the worker sleeps between the changes.
        const auto waitForChange = [&line](TMonoNs until) {
            return line.WaitForChange(until);
        };
        const auto onCounted = [this](TMonoNs at, TMonoNs uncertainty, TMonoNs blindest,
                                      std::uint32_t untimed) {
            m_changes.Push(at, uncertainty, blindest, untimed);
        };
        TChangeWaitPacing pacing;
        CaptureLoop(line, MonotonicNs, pacing, waitForChange, handOff, onCounted, m_stopRequested);
        return;
    }
    TPacedPolling pacing;
    CaptureLoop(readDcd, MonotonicNs, pacing, SleepUntil, handOff, onChange, m_stopRequested);
}

void TAcquisition::HandOff(TSample sample, const TCaptureWindow& window) {
    // Blocking until the UI thread took the sample keeps the samples in window order and all of
    // them ahead of the worker's finish notification, which travels the same way.
    m_bridge.RunOnUiThread([this, sample, &window] {
        if (!m_showSamples)
            return;
        m_lastWindow = window;
        m_lastWindowMeasured = !InLoss(window.openedAt, window.closedAt);
        m_view.AddSample(sample);
    });
}

// ---- Port selection ---------------------------------------------------------------------------

void TAcquisition::DetectComPorts() {
    std::vector<std::string> list;
    ListComPorts(list, m_comPort1.DeviceMap(), m_comPort1.DeviceTree());
    const auto listed = [&](int n) {
        return std::find(list.begin(), list.end(), res::PortName(n)) != list.end();
    };
    m_com1Present = listed(1);
    m_com2Present = listed(2);
}

void TAcquisition::SelectComPort(int n) {
    // Start is refused until the switch has ended (ActCaptureStart).
    m_switchingTo = n;
    struct TSwitchEnd {
        int& switchingTo;
        ~TSwitchEnd() { switchingTo = 0; }
    } switchEnd{m_switchingTo};
    // A worker of the last run may still be ending when Stop gave up waiting for it, and it
    // reads this port's line at every poll: the port is not closed under it. It ends at its next
    // poll once its hand-off is taken, which the wait lets happen.
    if (m_captureThreadRunning)
        m_bridge.ProcessMessagesUntil([this] { return !m_captureThreadRunning; });
    // A switch ends the look for a lost device, and what panel 2 said of it.
    m_lossShown = false;
    SetActivityText(std::string(res::Text(res::TMsg::sPortSetup)));
    m_view.SetPanelText(kPortPanel, res::PortLabel(n));
    m_view.ShowWaitCursor();
    try {
        // A device just closed is given time to settle; with nothing open (at start-up, after a
        // failed switch) there is nothing to wait for.
        const bool wasOpen = m_comPort1.Open();
        m_comPort1.SetOpen(false);
        m_comPort1.SetComNumber(static_cast<std::uint16_t>(n));
        if (wasOpen)
            WaitWithMessages(m_bridge, kPortSwitchPauseMs, m_tickCount);
        m_comPort1.SetOpen(true);
        m_view.SetPanelText(kPortPanel, m_view.PanelText(kPortPanel) + std::string(res::kPortOpen));
        m_view.SetPanelToolTip(kPortPanel, m_comPort1.Describe());
        m_portNumberPreference = n;
    } catch (const std::exception& error) {
        m_view.SetPanelText(kPortPanel,
                            m_view.PanelText(kPortPanel) + std::string(res::kPortClosedSuffix));
        m_view.SetPanelToolTip(kPortPanel, OpenFailureReason(&error));
    } catch (...) {
        m_view.SetPanelText(kPortPanel,
                            m_view.PanelText(kPortPanel) + std::string(res::kPortClosedSuffix));
        m_view.SetPanelToolTip(kPortPanel, OpenFailureReason(nullptr));
    }
    m_view.RestoreCursor();
    SetActivityText({});
}

std::string TAcquisition::OpenFailureReason(const std::exception* error) const {
    if (m_comPort1.LastOpenFailure().code != 0)
        return m_comPort1.Describe();
    return error ? std::string(error->what()) : std::string();
}

bool TAcquisition::InLoss(TMonoNs from, TMonoNs to) const {
    return std::any_of(m_losses.begin(), m_losses.end(), [&](const TLoss& loss) {
        return loss.from <= to && (!loss.to || *loss.to >= from);
    });
}

void TAcquisition::OnPortEvent(TPortEvent event) {
    const TMonoNs now = MonotonicNs();
    const TMonoNs at = event == TPortEvent::Lost ? now - kLossLead : now;
    if (event == TPortEvent::Lost)
        m_losses.push_back({at, std::nullopt});
    else if (event == TPortEvent::Reopened && !m_losses.empty() && !m_losses.back().to)
        m_losses.back().to = at;
    const std::string_view state =
        event == TPortEvent::Reopened ? res::kPortOpen : res::kPortClosedSuffix;
    m_view.SetPanelText(kPortPanel, res::PortLabel(m_comPort1.ComNumber()) + std::string(state));
    m_view.SetPanelToolTip(kPortPanel, m_comPort1.Describe());
    if (event == TPortEvent::Lost) {
        // Whatever panel 2 said then (a marker, a journal's failure) is said again at the return.
        m_activityText = m_view.PanelText(kActivityPanel);
        m_lossShown = true;
        m_view.SetPanelText(kActivityPanel, res::FormatStr(res::FormatInt(res::kPortLostFormat,
                                                                          m_comPort1.ComNumber()),
                                                           m_comPort1.DeviceName()));
    } else if (event == TPortEvent::Reopened) {
        m_lossShown = false;
        m_view.SetPanelText(kActivityPanel, m_activityText);
    }
    m_view.PortEvent(event, at);
    // The close of a lost port is over: a port command chosen during it runs now.
    if (!m_switching && m_heldBackSwitch != 0)
        SwitchToPort(std::exchange(m_heldBackSwitch, 0));
}

void TAcquisition::SetActivityText(const std::string& text) {
    m_activityText = text;
    if (!m_lossShown)
        m_view.SetPanelText(kActivityPanel, text);
}

void TAcquisition::SetPortDevice(int n, const std::string& device) {
    TPortDeviceMap devices = m_comPort1.DeviceMap();
    devices.Set(n, device);
    m_comPort1.SetDeviceMap(devices);
    // Chosen by hand, the port counts as found, as if the start-up probe had seen it.
    const bool present = ProbeComPort(n, devices, m_comPort1.DeviceTree());
    if (n == 1)
        m_com1Present = present;
    else if (n == 2)
        m_com2Present = present;
    if (n == m_comPort1.ComNumber()) {
        SwitchToPort(n);
        if (!m_comPort1.Open())
            m_ui.ShowError(ErrorBoxText(m_comPort1.Describe()));
    }
    ApplyCaptureState();
}

void TAcquisition::SwitchToPort(int n) {
    // During another switch, or while the port closes by itself (its device lost), the switch
    // waits for that to end: run inside a close, its open would only be carried out afterwards,
    // and the status bar would call a port open that is not.
    if (m_switching || m_comPort1.State() == TComPortState::cpsClosing) {
        m_heldBackSwitch = n;
        return;
    }
    m_switching = true;
    for (int next = n; next != 0;) {
        m_heldBackSwitch = 0;
        SelectComPort(next);
        m_view.SetPortChecked(next);
        next = m_heldBackSwitch;
    }
    m_switching = false;
}

void TAcquisition::ApplyStartupPort(std::int32_t portNumberPreference) {
    m_portNumberPreference = portNumberPreference;
    switch (StartupPortChoice(m_com1Present, m_com2Present, portNumberPreference)) {
    case 1:
        ActComSetComNum1();
        break;
    case 2:
        ActComSetComNum2();
        break;
    default:
        break;
    }
}

} // namespace sornafex
