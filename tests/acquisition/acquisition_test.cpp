#include "acquisition/acquisition.h"
#include "acquisition_fakes.h"
#include "base/errors.h"
#include "base/mono_clock.h"
#include "base/ui_bridge.h"
#include "serial/sim_com_device.h"
#include "tests/serial/fake_com_device.h"
#include "tests/serial/fake_device_tree.h"
#include "tests/serial/pty.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace sornafex {
namespace {

using test::TDialogKind;
using test::TestPortMap;
using test::TGuardedDeviceFactory;
using test::TRecordingAcquisitionView;
using A = TCaptureAction;

constexpr int kPatienceMs = 30000;

// ---- Rules ------------------------------------------------------------------------------------

TEST(CaptureEnableRules, SetsEveryActionInTheTableOrder) {
    const std::vector<A> order{A::CaptureStop,
                               A::CaptureStart,
                               A::AppClose,
                               A::AppHelpIndex,
                               A::New,
                               A::Open,
                               A::Save,
                               A::SaveAs,
                               A::GraphPrint,
                               A::GraphExportBitmap,
                               A::GraphExportMetafile,
                               A::GraphSetXAuto,
                               A::ComSetComNum1,
                               A::ComSetComNum2,
                               A::CaptureMark,
                               A::GraphExportPng,
                               A::GraphExportSvg,
                               A::ComChooseDevice,
                               A::ComCalibrate,
                               A::ReviewSession,
                               A::FileReport,
                               A::ExamAsk,
                               A::ExamAnswerYes,
                               A::ExamAnswerNo,
                               A::ExamUndo,
                               A::ExamRestartList,
                               A::ExamQuestions};
    const std::vector<A> duringRuns{A::CaptureStop,    A::CaptureMark,  A::ExamAsk,
                                    A::ExamAnswerYes,  A::ExamAnswerNo, A::ExamUndo,
                                    A::ExamRestartList};
    for (const bool acquiring : {false, true}) {
        for (const bool com1 : {false, true}) {
            for (const bool com2 : {false, true}) {
                const auto rules = CaptureEnableRules(acquiring, com1, com2);
                for (std::size_t i = 0; i < rules.size(); ++i) {
                    const auto [action, on] = rules[i];
                    EXPECT_EQ(action, order[i]);
                    bool expected = !acquiring;
                    if (std::find(duringRuns.begin(), duringRuns.end(), action) != duringRuns.end())
                        expected = acquiring;
                    if (action == A::ComSetComNum1)
                        expected = !acquiring && com1;
                    if (action == A::ComSetComNum2)
                        expected = !acquiring && com2;
                    EXPECT_EQ(on, expected) << "action " << i << " acquiring " << acquiring;
                }
            }
        }
    }
}

struct TStartupCase {
    bool com1;
    bool com2;
    std::int32_t preference;
    int expected;
};

class StartupPortRule : public testing::TestWithParam<TStartupCase> {};

TEST_P(StartupPortRule, PicksThePort) {
    const auto& c = GetParam();
    EXPECT_EQ(StartupPortChoice(c.com1, c.com2, c.preference), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupPortRule,
    testing::Values(TStartupCase{true, true, 2, 2}, TStartupCase{true, true, 1, 1},
                    TStartupCase{true, true, 3, 1}, TStartupCase{true, true, -2, 1},
                    TStartupCase{true, false, 2, 1}, TStartupCase{true, false, 1, 1},
                    TStartupCase{false, true, 2, 0}, TStartupCase{false, true, 1, 0},
                    TStartupCase{false, false, 1, 0}));

// ---- The area on a recording window ------------------------------------------------------------

// A clock that jumps 1500 ms at each reading on the UI thread and runs true elsewhere: every
// UI-side wait ends after its first round, while the worker's windows stay real.
class TFastUiClock {
public:
    explicit TFastUiClock(const TUiBridge& bridge) : m_bridge(bridge) {}
    TTickSource Source() {
        return [this] {
            const TTickCount now = TickCount();
            if (!m_bridge.IsUiThread())
                return now;
            m_uiOffset += 1500;
            return now + m_uiOffset;
        };
    }

private:
    const TUiBridge& m_bridge;
    TTickCount m_uiOffset = 0; // UI thread only
};

// A fake line whose reads a test can hold up.
constexpr const char* kBlockingLine = "fake:blocking";

class AcquisitionTest : public testing::Test {
protected:
    TQueuedUiBridge bridge;
    test::TScriptedUiServices ui;
    TRecordingAcquisitionView view;
    TGuardedDeviceFactory devices;
    bool acquiring = false;
    // Clocks and fake lines for the tests to choose from; they outlive the area, whose worker may
    // read them.
    TFastUiClock fastClock{bridge};
    test::TFakeDevices fakeDevices;
    std::atomic<TTickCount> steppedNow{100000};
    TTickSource SteppingClock() {
        return [this] {
            return steppedNow.fetch_add(7);
        };
    }
    std::unique_ptr<TAcquisition> acq;

    void Make(const std::map<int, std::string>& ports, TTickSource clock = TickCount,
              TDeviceFactory factory = {}) {
        acq = std::make_unique<TAcquisition>(bridge, ui, view, acquiring, std::move(clock));
        acq->ComPort1().SetDeviceMap(TestPortMap(ports));
        acq->ComPort1().SetDeviceFactory(factory ? std::move(factory) : devices.Factory());
        acq->ApplyCaptureState();
        acq->DetectComPorts();
    }
    // Start-up: the rule with the loaded preference, then the enable rules.
    void StartUp(std::int32_t preference) {
        acq->ApplyStartupPort(preference);
        acq->ApplyCaptureState();
    }
    // Runs a command as the window's guard does: EAbort ends it silently.
    template <typename F> void Guarded(F command) {
        try {
            command();
        } catch (const EAbort&) {
        }
    }
    // Starts a run and stops it while its worker is blocked in the hand-off of its first sample:
    // the worker's end cannot be reported before that hand-off is taken, so Stop gives up after
    // its wait and returns with the worker still ending. False when that state was not reached.
    bool RunThenStopThatGivesUp() {
        acq->ActCaptureStart();
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (bridge.Pending() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (bridge.Pending() != 1u)
            return false;
        acq->ActCaptureStop();
        return acq->CaptureThreadRunning();
    }
    bool PumpUntil(const std::function<bool()>& condition) {
        return bridge.PumpUntil(condition, kPatienceMs);
    }
    void TearDown() override {
        // A worker that a test left waiting in a read of the line can end.
        fakeDevices.Line(kBlockingLine)->ReleaseModemStatus();
        if (acq && acq->Acquiring())
            acq->ActCaptureStop();
        acq.reset();
    }
};

TEST_F(AcquisitionTest, BothPortsAndPreferenceTwoOpenComTwo) {
    Make({{1, "sim:41"}, {2, "sim:42"}}, fastClock.Source());
    EXPECT_TRUE(acq->Com1Present());
    EXPECT_TRUE(acq->Com2Present());
    StartUp(2);
    EXPECT_TRUE(acq->ComPort1().Open());
    EXPECT_EQ(acq->ComPort1().ComNumber(), 2);
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Ouvert");
    EXPECT_EQ(view.checkedPort, 2);
    EXPECT_EQ(acq->PortNumberPreference(), 2);
    EXPECT_TRUE(view.enabled[A::ComSetComNum1]);
    EXPECT_TRUE(view.enabled[A::ComSetComNum2]);
}

TEST_F(AcquisitionTest, ComOneOnlyIgnoresPreferenceTwo) {
    Make({{1, "sim:43"}}, fastClock.Source());
    StartUp(2);
    EXPECT_TRUE(acq->ComPort1().Open());
    EXPECT_EQ(acq->ComPort1().ComNumber(), 1);
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Ouvert");
    EXPECT_EQ(view.checkedPort, 1);
    EXPECT_EQ(acq->PortNumberPreference(), 1);
    EXPECT_FALSE(view.enabled[A::ComSetComNum2]);
}

TEST_F(AcquisitionTest, ComTwoOnlyOpensNothing) {
    Make({{2, "sim:44"}}, fastClock.Source());
    StartUp(2);
    EXPECT_FALSE(acq->ComPort1().Open());
    EXPECT_EQ(acq->ComPort1().ComNumber(), 1);
    EXPECT_EQ(view.panels[kPortPanel], "");
    EXPECT_FALSE(view.enabled[A::ComSetComNum1]);
    EXPECT_TRUE(view.enabled[A::ComSetComNum2]);
    EXPECT_EQ(view.waitCursorShown, 0);
    // Without COM1 the loaded value stays the preference, to be written back unchanged.
    EXPECT_EQ(acq->PortNumberPreference(), 2);
}

TEST_F(AcquisitionTest, PortHeldElsewhereIsPresentButTheSwitchEndsClosed) {
    TSimComDevice holder;
    ASSERT_TRUE(holder.Open("sim:46"));
    Make({{1, "sim:45"}, {2, "sim:46"}}, fastClock.Source());
    EXPECT_TRUE(acq->Com2Present());
    StartUp(1);
    ASSERT_EQ(view.panels[kPortPanel], "Com 1 - Ouvert");

    acq->ActComSetComNum2();
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Fermé");
    // The tooltip names the device and says why.
    EXPECT_EQ(view.toolTips[kPortPanel], "Com 2 : sim:46\noccupé par un autre programme");
    EXPECT_FALSE(acq->ComPort1().Open());
    EXPECT_EQ(acq->ComPort1().ComNumber(), 2);
    EXPECT_EQ(acq->PortNumberPreference(), 1);
    EXPECT_EQ(view.checkedPort, 2) << "the check mark moves whether or not the port opened";
    EXPECT_EQ(view.panels[kActivityPanel], "");
    EXPECT_EQ(view.waitCursorDepth, 0);

    // Once the other program lets go, the switch works and the tooltip only names the device.
    holder.Close();
    acq->ActComSetComNum2();
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Ouvert");
    EXPECT_EQ(view.toolTips[kPortPanel], "Com 2 : sim:46");
    EXPECT_EQ(acq->PortNumberPreference(), 2);
}

// The device just closed is given more than half a second to settle. At start-up nothing is open:
// the first switch has no device to let settle.
TEST_F(AcquisitionTest, SwitchPausesMoreThanHalfASecondWithTheHourglass) {
    Make({{1, "sim:47"}, {2, "sim:48"}}, SteppingClock());
    TTickCount shownAt = 0;
    TTickCount restoredAt = 0;
    view.onWaitCursor = [&] {
        shownAt = steppedNow.load();
    };
    view.onRestoreCursor = [&] {
        restoredAt = steppedNow.load();
    };
    StartUp(1);
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Ouvert");
    EXPECT_LT(restoredAt - shownAt, 500u);

    std::string activityDuringSwitch;
    // What the window could see of the port while the switch let it process messages.
    bool closedOnTwoDuringPause = false;
    std::function<void()> watch = [&] {
        if (!acq->ComPort1().Open() && acq->ComPort1().ComNumber() == 2)
            closedOnTwoDuringPause = true;
        if (view.waitCursorDepth > 0)
            bridge.Post(watch);
    };
    view.onWaitCursor = [&] {
        shownAt = steppedNow.load();
        activityDuringSwitch = view.panels[kActivityPanel];
        bridge.Post(watch);
    };
    acq->ActComSetComNum2();
    EXPECT_EQ(activityDuringSwitch, "Paramétrage du port com...");
    EXPECT_TRUE(closedOnTwoDuringPause);
    bridge.ProcessMessages();
    EXPECT_GT(restoredAt - shownAt, 500u);
    EXPECT_EQ(view.panels[kActivityPanel], "");
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Ouvert");
    EXPECT_EQ(view.waitCursorDepth, 0);
}

TEST_F(AcquisitionTest, PortCommandDuringThePauseRunsAfterTheSwitch) {
    Make({{1, "sim:51"}, {2, "sim:52"}}, SteppingClock());
    StartUp(1);
    view.waitCursorShown = 0;
    bool asked = false;
    view.onWaitCursor = [&] {
        if (!std::exchange(asked, true))
            bridge.Post([&] { acq->ActComSetComNum2(); });
    };
    acq->ActComSetComNum1();
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Ouvert");
    EXPECT_EQ(view.checkedPort, 2);
    EXPECT_EQ(acq->ComPort1().ComNumber(), 2);
    EXPECT_EQ(acq->PortNumberPreference(), 2);
    EXPECT_EQ(view.waitCursorShown, 2);
    EXPECT_EQ(view.waitCursorDepth, 0);
}

// Closing the port lets commands run while the port still reads as open: a Start then must not
// launch a worker on a port that is going away.
TEST_F(AcquisitionTest, StartDuringASwitchIsRefusedAndTheSwitchCompletes) {
    Make({{1, "sim:64"}, {2, "sim:65"}}, fastClock.Source());
    StartUp(1);
    view.onWaitCursor = [&] {
        bridge.Post([&] { Guarded([&] { acq->ActCaptureStart(); }); });
    };
    ui.ExpectMessage();
    acq->ActComSetComNum2();
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Port com sélectionné (Com 2) fermé !");
    EXPECT_FALSE(acquiring);
    EXPECT_EQ(acq->ThreadCapture().RunningCount(), 0);
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Ouvert");
    EXPECT_TRUE(acq->ComPort1().Open());
}

TEST_F(AcquisitionTest, StartWithThePortClosedShowsTheMessageAndChangesNothing) {
    Make({{2, "sim:53"}}, fastClock.Source());
    StartUp(1);
    view.enableOrder.clear();
    const auto panelsBefore = view.panels;

    ui.ExpectMessage();
    Guarded([&] { acq->ActCaptureStart(); });
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Port com sélectionné (Com 1) fermé !");
    EXPECT_FALSE(acquiring);
    EXPECT_FALSE(acq->CaptureThreadRunning());
    EXPECT_EQ(view.panels, panelsBefore);
    EXPECT_TRUE(view.enableOrder.empty());
    EXPECT_FALSE(view.enabled[A::CaptureStop]);
}

TEST_F(AcquisitionTest, ApplyCaptureStateResetsReadoutAndHidesTheTitle) {
    Make({});
    view.enableOrder.clear();
    view.panels[kFrequencyPanel] = "12 Hz";
    const int hides = view.titleHides;
    acq->ApplyCaptureState();
    EXPECT_EQ(view.enableOrder.size(), kCaptureActionCount);
    EXPECT_EQ(view.enableOrder.front(), A::CaptureStop);
    EXPECT_EQ(view.enableOrder.back(), A::ExamQuestions);
    EXPECT_EQ(view.panels[kFrequencyPanel], "-");
    EXPECT_EQ(view.titleHides, hides + 1);
}

// Fifty hertz on the port: the commands follow the run, each sample comes with its window's
// change times, and no window counts more changes than the line made while it lasted. How many
// fewer a busy machine lets it see is no rule of counting.
TEST_F(AcquisitionTest, RunOnFiftyHertzCountsItsChangesAndStopsCleanly) {
    Make({{1, "sim:50.25"}});
    StartUp(1);
    std::vector<std::pair<TSample, TCaptureWindow>> seen;
    view.onSample = [&](TSample sample) {
        seen.emplace_back(sample, acq->LastWindow());
    };
    ASSERT_TRUE(acq->ComPort1().Open());

    acq->ActCaptureStart();
    EXPECT_TRUE(acquiring);
    EXPECT_TRUE(acq->CaptureThreadRunning());
    EXPECT_FALSE(acq->StopRequested());
    EXPECT_EQ(view.panels[kFrequencyPanel], "0 Hz");
    EXPECT_EQ(view.panels[kActivityPanel], "Acquisition démarrée...");
    EXPECT_TRUE(view.enabled[A::CaptureStop]);
    for (const A a : {A::CaptureStart, A::AppClose, A::New, A::Open, A::Save, A::SaveAs,
                      A::GraphPrint, A::GraphExportBitmap, A::GraphExportMetafile, A::GraphSetXAuto,
                      A::ComSetComNum1, A::ComSetComNum2})
        EXPECT_FALSE(view.enabled[a]);
    EXPECT_FALSE(acq->CloseQuery());

    ASSERT_TRUE(PumpUntil([&] { return view.samples.size() >= 2; }));
    acq->ActCaptureStop();
    EXPECT_FALSE(acq->CaptureThreadRunning()) << "the worker reported its end within the wait";
    EXPECT_FALSE(acquiring);
    EXPECT_TRUE(acq->CloseQuery());
    EXPECT_EQ(view.panels[kActivityPanel], "Acquisition arrêtée");
    EXPECT_EQ(view.panels[kFrequencyPanel], "-");
    EXPECT_TRUE(view.enabled[A::CaptureStart]);
    EXPECT_FALSE(view.enabled[A::CaptureStop]);
    EXPECT_TRUE(view.enabled[A::ComSetComNum1]);

    for (std::size_t i = 0; i < seen.size(); ++i) {
        const auto& [sample, window] = seen[i];
        EXPECT_EQ(sample, window.changes / 2);
        EXPECT_GT(window.closedAt - window.openedAt, 1000 * 1'000'000);
        // One more than the line made: a change during the hand-off before counts in the window,
        // timed after the last poll of the window before.
        EXPECT_LE(window.changes, 2 * 50.25 * double(window.closedAt - window.openedAt) * 1e-9 + 2);
        const TMonoNs before = i > 0 ? seen[i - 1].second.closedAt : window.openedAt;
        EXPECT_LE(before, window.openedAt);
        if (window.changes == 0)
            continue;
        EXPECT_LE(before, window.firstChangeAt);
        EXPECT_LE(window.firstChangeAt, window.lastChangeAt);
        EXPECT_LE(window.lastChangeAt, window.closedAt);
    }
    // A Stop whose wait ended normally sees no sample after it.
    const auto count = view.samples.size();
    bridge.ProcessMessages();
    EXPECT_EQ(view.samples.size(), count);
    EXPECT_EQ(bridge.Pending(), 0u);
}

// A sensor whose driver-like count the worker reads: a rise of twenty times within a window, which
// pairs of changes would hide in between polls, is counted exactly in the window that holds it,
// as in the others.
TEST_F(AcquisitionTest, ACountedLineCountsASharpRiseExactlyInItsWindow) {
    constexpr double kStepAfter = 1.6; // seconds after the open, in the second window
    constexpr double kFactor = 20;     // 25 Hz, then 500 Hz
    const TSimSpec sensor = ParseSimSpec("sim:25.0000").value();
    // Shared with the sensor, which the area may outlive the test's body in.
    const auto stepAt =
        std::make_shared<std::atomic<double>>(std::numeric_limits<double>::infinity());
    const auto warped = [stepAt](double seconds) {
        const double step = stepAt->load();
        return seconds < step ? seconds : step + (seconds - step) * kFactor;
    };
    TSimComDevice* sim = nullptr;
    Make({{1, "sim:25.0000"}}, TickCount, [&sim, warped](const std::string&) {
        auto device =
            std::make_unique<TSimComDevice>([warped] { return warped(MonotonicSeconds()); });
        sim = device.get();
        return device;
    });
    StartUp(1);
    ASSERT_NE(sim, nullptr);
    stepAt->store(sim->OpenedAt() + kStepAfter);
    const auto changesAt = [&](TMonoNs at) {
        return static_cast<std::int64_t>(
            SimTransitionsAt(sensor, warped(at * 1e-9) - sim->OpenedAt()));
    };
    std::vector<TCaptureWindow> windows;
    view.onSample = [&](TSample) {
        windows.push_back(acq->LastWindow());
    };
    acq->ActCaptureStart();
    ASSERT_TRUE(PumpUntil([&] { return windows.size() >= 3; }));
    acq->ActCaptureStop();
    ASSERT_LE(windows[0].closedAt * 1e-9, sim->OpenedAt() + kStepAfter);
    ASSERT_GE(windows[1].closedAt * 1e-9, sim->OpenedAt() + kStepAfter);
    for (std::size_t i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::int64_t truth =
            changesAt(windows[i].closedAt) - changesAt(windows[i - 1].closedAt);
        EXPECT_NEAR(windows[i].changes, truth, 1);
    }
}

TEST_F(AcquisitionTest, QuietLineGivesZeroSamples) {
    // Spelt apart from the window test's quiet sensor, which may be held at the same moment.
    Make({{1, "sim:0.00"}});
    StartUp(1);
    acq->ActCaptureStart();
    ASSERT_TRUE(PumpUntil([&] { return view.samples.size() >= 2; }));
    acq->ActCaptureStop();
    for (const TSample s : view.samples)
        EXPECT_EQ(s, 0);
}

// Stop gives up after 1000 ms when the worker's end has not been reported; Start then lets that
// worker end before launching the next one, whose samples do arrive.
TEST_F(AcquisitionTest, StartAfterAStopThatGaveUpStillDeliversSamples) {
    Make({{1, "sim:20.5"}}, fastClock.Source());
    StartUp(1);
    ASSERT_TRUE(RunThenStopThatGivesUp());
    EXPECT_FALSE(acquiring);
    EXPECT_EQ(view.panels[kActivityPanel], "Acquisition arrêtée");
    const auto before = view.samples.size();

    acq->ActCaptureStart();
    EXPECT_TRUE(acquiring);
    EXPECT_TRUE(acq->CaptureThreadRunning());
    EXPECT_EQ(acq->ThreadCapture().RunningCount(), 1);
    ASSERT_TRUE(PumpUntil([&] { return view.samples.size() >= before + 1; }));
    EXPECT_LE(view.samples.back(), 21) << "no more than half the changes of 20.5 Hz";
}

// The same worker still reads the port's line: a port switch lets it end before the port closes.
TEST_F(AcquisitionTest, PortSwitchAfterAStopThatGaveUpWaitsForTheWorker) {
    Make({{1, "sim:20.25"}, {2, "sim:21.25"}}, fastClock.Source());
    StartUp(1);
    ASSERT_TRUE(RunThenStopThatGivesUp());

    bool workerRunningAtSwitch = true;
    view.onWaitCursor = [&] {
        workerRunningAtSwitch = acq->CaptureThreadRunning();
    };
    acq->ActComSetComNum2();
    EXPECT_FALSE(workerRunningAtSwitch);
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Ouvert");
    EXPECT_EQ(acq->ThreadCapture().RunningCount(), 0);
}

// A worker that Stop gave up on may still close its window and hand the sample over: the run it
// counted for is over, and the idle window does not show it.
TEST_F(AcquisitionTest, SampleHandedOverAfterAStopThatGaveUpIsDropped) {
    const auto line = fakeDevices.Line(kBlockingLine);
    Make({{1, kBlockingLine}}, fastClock.Source(), fakeDevices.Factory());
    acq->ActComSetComNum1(); // a fake line is no device the probe finds: switch to it directly
    ASSERT_TRUE(acq->ComPort1().Open());
    acq->ActCaptureStart();
    // The worker stops in a read of the line, inside its first window, and Stop gives up on it.
    line->BlockModemStatus();
    ASSERT_TRUE(PumpUntil([&] { return line->BlockedInModemStatus() == 1; }));
    const auto blockedAt = std::chrono::steady_clock::now();
    acq->ActCaptureStop();
    ASSERT_TRUE(acq->CaptureThreadRunning());
    // Once that window is over the read returns, and the worker hands its sample over.
    std::this_thread::sleep_until(blockedAt + std::chrono::milliseconds(1100));
    line->ReleaseModemStatus();
    ASSERT_TRUE(PumpUntil([&] { return !acq->CaptureThreadRunning(); }));
    EXPECT_TRUE(view.samples.empty());
    EXPECT_FALSE(acquiring);
}

TEST_F(AcquisitionTest, StopDuringTheWaitOfStartAbandonsThatStart) {
    Make({{1, "sim:20.5"}}, fastClock.Source());
    StartUp(1);
    ASSERT_TRUE(RunThenStopThatGivesUp());

    // The user stops again while the new start waits for the old worker.
    bridge.Post([&] { acq->ActCaptureStop(); });
    acq->ActCaptureStart();
    EXPECT_FALSE(acquiring);
    EXPECT_EQ(view.panels[kActivityPanel], "Acquisition arrêtée");
    ASSERT_TRUE(PumpUntil([&] { return !acq->CaptureThreadRunning(); }));
    EXPECT_EQ(acq->ThreadCapture().RunningCount(), 0);
}

TEST_F(AcquisitionTest, LaunchFailureIsShownAndLeavesTheWindowIdle) {
    Make({{1, "sim:54"}}, fastClock.Source());
    StartUp(1);
    view.panels[kActivityPanel] = "";
    acq->ThreadCapture().SetOnBegin([](void*) { throw std::runtime_error("Plus de threads"); });

    ui.ExpectError();
    Guarded([&] { acq->ActCaptureStart(); });
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Plus de threads.");
    EXPECT_FALSE(acquiring);
    EXPECT_FALSE(acq->CaptureThreadRunning());
    EXPECT_TRUE(view.enabled[A::CaptureStart]);
    EXPECT_FALSE(view.enabled[A::CaptureStop]);
    EXPECT_EQ(view.panels[kActivityPanel], "");
    EXPECT_EQ(acq->ThreadCapture().RunningCount(), 0);

    // Nothing is left counted: the next Start runs.
    acq->ThreadCapture().SetOnBegin(nullptr);
    acq->ActCaptureStart();
    EXPECT_TRUE(acq->CaptureThreadRunning());
    acq->ActCaptureStop();
}

TEST_F(AcquisitionTest, LaunchThatStartsNoThreadIsAFailureToo) {
    Make({{1, "sim:57"}}, fastClock.Source());
    StartUp(1);
    acq->ThreadCapture().SetOnExecute(nullptr);
    ui.ExpectError();
    Guarded([&] { acq->ActCaptureStart(); });
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Le thread d'acquisition n'a pas pu être lancé.");
    EXPECT_FALSE(acquiring);
    EXPECT_FALSE(view.enabled[A::CaptureStop]);
}

TEST_F(AcquisitionTest, ErrorInTheWorkerIsShownAndTheRunStaysMarked) {
    Make({{1, "sim:55"}});
    StartUp(1);
    view.onSample = [](TSample) {
        throw std::runtime_error("Historique indisponible");
    };
    ui.ExpectErrorWithCaption();
    acq->ActCaptureStart();
    ASSERT_TRUE(PumpUntil([&] { return !acq->CaptureThreadRunning(); }));
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].caption, "Erreur d'application");
    EXPECT_NE(ui.Shown()[0].text.find("Historique indisponible."), std::string::npos);
    EXPECT_TRUE(acquiring);
    acq->ActCaptureStop();
    EXPECT_FALSE(acquiring);
}

TEST_F(AcquisitionTest, ALostPortReadsNoCarrierWhileTheRunGoesOnUntilItComesBack) {
    // The sensor's adapter, by a name that survives a replug.
    test::TScratchFolder folder;
    const std::string link = folder / "sensor";
    const auto plugIn = [&](test::TPty& pty) {
        std::filesystem::create_symlink(pty.Slave(), link);
    };
    // The link goes first, as udev removes it: the tty's number, once free, may be another's.
    const auto unplug = [&](test::TPty& pty) {
        std::filesystem::remove(link);
        pty.CloseMaster();
    };
    test::TPty first;
    ASSERT_TRUE(first.Ok());
    plugIn(first);
    Make({{1, link}}, fastClock.Source());
    acq->ComPort1().SetReopenPeriod(std::chrono::milliseconds(20));
    StartUp(1);
    std::vector<bool> measured;
    view.onSample = [&](TSample) {
        measured.push_back(acq->LastWindowMeasured());
    };
    ASSERT_EQ(view.panels[kPortPanel], "Com 1 - Ouvert");
    EXPECT_EQ(view.toolTips[kPortPanel], "Com 1 : " + link);
    acq->ActCaptureStart();

    unplug(first);
    ASSERT_TRUE(PumpUntil([&] { return !view.portEvents.empty(); }));
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Fermé");
    EXPECT_EQ(view.toolTips[kPortPanel], "Com 1 : " + link + "\ndébranché ou perdu");
    EXPECT_TRUE(acquiring);
    const std::size_t before = view.samples.size();
    ASSERT_TRUE(PumpUntil([&] { return view.samples.size() > before; }));
    EXPECT_EQ(view.samples.back(), 0);
    // A window that met the loss measured nothing, although its sample reads 0.
    EXPECT_FALSE(measured.back());

    test::TPty second;
    ASSERT_TRUE(second.Ok());
    plugIn(second);
    ASSERT_TRUE(PumpUntil([&] { return view.portEvents.size() == 2; }));
    EXPECT_EQ(view.portEvents, (std::vector<TPortEvent>{TPortEvent::Lost, TPortEvent::Reopened}));
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Ouvert");
    EXPECT_EQ(view.toolTips[kPortPanel], "Com 1 : " + link);
    EXPECT_TRUE(acquiring);
    // Windows that begin once the port is back measure again.
    const std::size_t back = measured.size();
    ASSERT_TRUE(PumpUntil([&] { return measured.size() > back + 1; }));
    EXPECT_TRUE(measured.back());
    acq->ActCaptureStop();
    EXPECT_FALSE(acquiring);
}

TEST_F(AcquisitionTest, AMeasurementOutsideARunTimesEveryChangeAndShowsNoSample) {
    Make({{1, "sim:57"}});
    StartUp(1);
    const auto measured = acq->MeasureChanges(std::chrono::milliseconds(300));
    EXPECT_FALSE(acq->CaptureThreadRunning());
    EXPECT_FALSE(acquiring);
    EXPECT_TRUE(view.samples.empty());
    // 2 × 57 changes a second, numbered from 0, each timed to within a poll of the sensor's
    // exact rhythm.
    const auto& changes = measured.changes;
    ASSERT_GE(changes.size(), 30u);
    EXPECT_EQ(changes.front().index, 0u);
    EXPECT_GE(changes.front().at, measured.from);
    EXPECT_GE(measured.to, measured.from + 300 * kNsPerMs);
    const double interval = double(changes.back().at - changes.front().at) /
                            double(changes.back().index - changes.front().index);
    EXPECT_NEAR(interval, 1e9 / (2 * 57), 1e9 / (2 * 57) * 0.01);
}

// The close of a lost port processes UI messages while its threads end: a port command chosen
// then runs once the close is over, and the status bar never calls open a port that is not.
TEST_F(AcquisitionTest, APortCommandDuringTheCloseOfALostPortRunsWhenItIsOver) {
    const auto first = fakeDevices.Line("fake:first");
    const auto second = fakeDevices.Line("fake:second");
    Make({{1, "fake:first"}, {2, "fake:second"}}, fastClock.Source(), fakeDevices.Factory());
    acq->ActComSetComNum1(); // fake lines are no devices the probe finds: switch directly
    ASSERT_TRUE(acq->ComPort1().Open());
    std::vector<std::string> shownWhileNotOpen;
    view.onPanelText = [&](int panel, const std::string& text) {
        if (panel == kPortPanel && text.ends_with(" - Ouvert") &&
            acq->ComPort1().State() != TComPortState::cpsOpen)
            shownWhileNotOpen.push_back(text);
    };
    // The processing thread is held in a device call, so that the close waits for it.
    first->BlockClearError();
    ASSERT_TRUE(PumpUntil([&] { return first->BlockedInClearError() == 1; }));
    // Once the close has begun (the loss reaches the UI thread as a posted call, which the close
    // is part of), the user chooses "Com 2".
    std::thread user([&] {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (acq->ComPort1().State() != TComPortState::cpsClosing &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        bridge.Post([&] {
            EXPECT_EQ(acq->ComPort1().State(), TComPortState::cpsClosing);
            acq->ActComSetComNum2();
            first->ReleaseClearError();
        });
    });
    first->Lose();
    const bool switched = PumpUntil([&] { return view.checkedPort == 2 && !view.waitCursorDepth; });
    user.join();
    ASSERT_TRUE(switched);
    EXPECT_TRUE(acq->ComPort1().Open());
    EXPECT_EQ(acq->ComPort1().ComNumber(), 2);
    EXPECT_TRUE(second->IsOpen());
    EXPECT_EQ(view.panels[kPortPanel], "Com 2 - Ouvert");
    EXPECT_EQ(view.checkedPort, 2);
    EXPECT_TRUE(shownWhileNotOpen.empty()) << shownWhileNotOpen.front();
}

// The activity panel says a port is lost until it is back, whatever the commands write there
// meanwhile; then the text they left returns. The tooltip follows why the port stays closed.
TEST_F(AcquisitionTest, ALostPortIsSaidInTheActivityPanelUntilItIsBack) {
    const auto line = fakeDevices.Line("/dev/fake1");
    test::TFakeDeviceTree machine;
    machine.Node("/dev/fake1");
    Make({{1, "/dev/fake1"}}, fastClock.Source(), fakeDevices.Factory());
    acq->ComPort1().SetDeviceTree(machine.Tree());
    acq->ComPort1().SetReopenPeriod(std::chrono::milliseconds(20));
    acq->ActComSetComNum1();
    ASSERT_TRUE(acq->ComPort1().Open());

    line->FailOpen(kSysAccessDenied, "occupé par un autre programme");
    line->Lose();
    ASSERT_TRUE(PumpUntil([&] { return view.portEvents.size() == 2; }));
    EXPECT_EQ(view.portEvents, (std::vector<TPortEvent>{TPortEvent::Lost, TPortEvent::Refused}));
    EXPECT_EQ(view.panels[kActivityPanel], "Port perdu : Com 1 (/dev/fake1)");
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Fermé");
    EXPECT_EQ(view.toolTips[kPortPanel], "Com 1 : /dev/fake1\noccupé par un autre programme");
    acq->ActCaptureStop();
    EXPECT_EQ(view.panels[kActivityPanel], "Port perdu : Com 1 (/dev/fake1)");

    line->FailOpen(0);
    ASSERT_TRUE(PumpUntil([&] { return view.portEvents.size() == 3; }));
    EXPECT_EQ(view.panels[kActivityPanel], "Acquisition arrêtée");
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Ouvert");
}

TEST_F(AcquisitionTest, AChosenDeviceIsUsedAtOnceAndCountsAsFound) {
    Make({{2, "sim:61"}}, fastClock.Source());
    StartUp(1);
    ASSERT_FALSE(view.enabled[A::ComSetComNum1]);
    ASSERT_EQ(view.panels[kPortPanel], "");

    acq->SetPortDevice(1, "sim:62");
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Ouvert");
    EXPECT_EQ(acq->ComPort1().DeviceName(), "sim:62");
    EXPECT_TRUE(view.enabled[A::ComSetComNum1]);

    // Another port's device changes nothing of the open port.
    acq->SetPortDevice(2, "sim:63");
    EXPECT_TRUE(acq->ComPort1().Open());
    EXPECT_EQ(acq->ComPort1().ComNumber(), 1);

    // A device that is not there: the error box says what the status bar says.
    ui.ExpectError();
    acq->SetPortDevice(1, "sim:oops");
    EXPECT_EQ(view.panels[kPortPanel], "Com 1 - Fermé");
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Com 1 : sim:oops\nabsent.");
    EXPECT_FALSE(view.enabled[A::ComSetComNum1]);
}

TEST_F(AcquisitionTest, DestructionDuringARunEndsTheWorker) {
    Make({{1, "sim:56"}});
    StartUp(1);
    acq->ActCaptureStart();
    ASSERT_TRUE(acq->CaptureThreadRunning());
    acq.reset();
    // The worker ended and the port let go of the sensor.
    TSimComDevice again;
    EXPECT_TRUE(again.Open("sim:56"));
}

} // namespace
} // namespace sornafex
