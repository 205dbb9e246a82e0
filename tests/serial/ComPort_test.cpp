// The port component: defaults, the setter rule, open and close, the port number, the selection
// dialog, the failures and what they leave behind.

#include "base/ui_bridge.h"
#include "serial/ComPort.h"
#include "serial/com_errors.h"
#include "tests/serial/fake_com_device.h"
#include "tests/serial/fake_device_tree.h"
#include "tests/support/scripted_ui_services.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <typeinfo>

namespace sornafex {
namespace {

using test::TFakeDevices;
using test::TFakeLine;

std::size_t CountOf(const std::vector<std::string>& log, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [&](const std::string& e) { return e.starts_with(prefix); }));
}

// Starts threads as usual, except the nth one, which the system refuses as at its thread limit.
TThreadLauncher RefuseThread(int nth) {
    auto count = std::make_shared<int>(0);
    return [count, nth](std::function<void()> body) {
        if (++*count == nth)
            throw std::system_error(EAGAIN, std::generic_category());
        return std::thread(std::move(body));
    };
}

class ComPortTest : public ::testing::Test {
protected:
    ComPortTest() {
        map.Set(1, "/dev/fake1");
        map.Set(2, "/dev/fake2");
        map.Set(3, "/dev/fake3");
        port.SetDeviceMap(map);
        port.SetDeviceFactory(devices.Factory());
        port.SetUiBridge(&bridge);
        port.SetUiServices(&ui);
        machine.Node("/dev/fake1");
        machine.Node("/dev/fake2");
        port.SetDeviceTree(machine.Tree());
    }

    test::TFakeDeviceTree machine;
    TPortDeviceMap map;
    TFakeDevices devices;
    std::shared_ptr<TFakeLine> line1 = devices.Line("/dev/fake1");
    std::shared_ptr<TFakeLine> line2 = devices.Line("/dev/fake2");
    TQueuedUiBridge bridge;
    test::TScriptedUiServices ui;
    TComPort port;
};

TEST(ComPortDefaults, EveryPropertyStartsAtItsDefault) {
    const TComPort port;
    EXPECT_EQ(port.DeviceLayer(), TDeviceLayer::dlWin32);
    EXPECT_EQ(port.ComNumber(), 0);
    EXPECT_EQ(port.Baud(), 19200);
    EXPECT_TRUE(port.PromptForPort());
    EXPECT_EQ(port.Parity(), TParity::pNone);
    EXPECT_EQ(port.DataBits(), 8);
    EXPECT_EQ(port.StopBits(), 1);
    EXPECT_EQ(port.InSize(), 4096);
    EXPECT_EQ(port.OutSize(), 4096);
    EXPECT_TRUE(port.AutoOpen());
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(port.DTR());
    EXPECT_TRUE(port.RTS());
    EXPECT_TRUE(port.HWFlowOptions().Empty());
    EXPECT_EQ(port.SWFlowOptions(), TSWFlowOptions::swfNone);
    EXPECT_EQ(port.XOnChar(), 17);
    EXPECT_EQ(port.XOffChar(), 19);
    EXPECT_EQ(port.BufferFull(), 0);
    EXPECT_EQ(port.BufferResume(), 0);
    EXPECT_EQ(port.Tracing(), TTraceLogState::tlOff);
    EXPECT_EQ(port.TraceSize(), 10000u);
    EXPECT_EQ(port.TraceName(), "SERIAL.TRC");
    EXPECT_TRUE(port.TraceHex());
    EXPECT_FALSE(port.TraceAllHex());
    EXPECT_EQ(port.Logging(), TTraceLogState::tlOff);
    EXPECT_EQ(port.LogSize(), 10000u);
    EXPECT_EQ(port.LogName(), "SERIAL.LOG");
    EXPECT_TRUE(port.LogHex());
    EXPECT_FALSE(port.LogAllHex());
    EXPECT_TRUE(port.UseMSRShadow());
    EXPECT_TRUE(port.UseEventWord());
    EXPECT_EQ(port.CommNotificationLevel(), 10);
    EXPECT_EQ(port.TapiMode(), TTapiMode::tmAuto);
    EXPECT_FALSE(port.RS485Mode());
    EXPECT_EQ(port.State(), TComPortState::cpsClosed);
    EXPECT_EQ(port.Dispatcher(), nullptr);
}

TEST(ComPortDefaults, TraceAndLogSizesAreCapped) {
    TComPort port;
    port.SetTraceSize(5000000);
    port.SetLogSize(20000000);
    EXPECT_EQ(port.TraceSize(), 4000000u);
    EXPECT_EQ(port.LogSize(), 16000000u);
}

TEST_F(ComPortTest, OpenRunsTheDispatcherAndCloseEndsIt) {
    int opened = 0;
    int closed = 0;
    port.SetOnPortOpen([&] { ++opened; });
    port.SetOnPortClose([&] { ++closed; });
    port.SetComNumber(1);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.State(), TComPortState::cpsOpen);
    ASSERT_NE(port.Dispatcher(), nullptr);
    EXPECT_EQ(port.Dispatcher()->ActiveThreads(), 3);
    EXPECT_EQ(port.Dispatcher()->DisplayName(), "COM1");
    EXPECT_EQ(TComDispatcher::RegistrySize(), 1u);
    port.SetOpen(false);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.State(), TComPortState::cpsClosed);
    EXPECT_EQ(port.Dispatcher(), nullptr);
    EXPECT_FALSE(line1->IsOpen());
    EXPECT_EQ(TComDispatcher::RegistrySize(), 0u);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
}

TEST_F(ComPortTest, OpeningAnOpenPortOrClosingAClosedOneDoesNothing) {
    port.SetComNumber(1);
    port.SetOpen(false);
    EXPECT_TRUE(line1->Log().empty());
    port.SetOpen(true);
    port.SetOpen(true);
    EXPECT_EQ(line1->Opens(), 1);
    EXPECT_EQ(CountOf(line1->Log(), "Open "), 1u);
}

TEST_F(ComPortTest, CarrierLevelReadsTheLineOfAnOpenPort) {
    port.SetComNumber(1);
    port.SetOpen(true);
    line1->SetModem(kMsRlsdOn);
    EXPECT_TRUE(port.CarrierLevel());
    line1->SetModem(0);
    EXPECT_FALSE(port.CarrierLevel());
}

TEST_F(ComPortTest, CarrierLevelOfAClosedPortIsFalseWithoutAnyDeviceCall) {
    port.SetComNumber(1);
    line1->SetModem(kMsRlsdOn);
    EXPECT_FALSE(port.CarrierLevel());
    EXPECT_EQ(line1->ModemQueries(), 0);
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(line1->Log().empty()); // AutoOpen did not open it
    port.SetOpen(true);
    port.SetOpen(false);
    const int queries = line1->ModemQueries();
    EXPECT_FALSE(port.CarrierLevel());
    EXPECT_EQ(line1->ModemQueries(), queries);
}

TEST_F(ComPortTest, RequireDispatcherOpensThePortWhenAutoOpenAllows) {
    port.SetComNumber(1);
    EXPECT_NE(port.RequireDispatcher(), nullptr);
    EXPECT_TRUE(port.Open());
    port.SetOpen(false);
    port.SetAutoOpen(false);
    EXPECT_EQ(port.RequireDispatcher(), nullptr);
}

TEST_F(ComPortTest, ChangingThePortNumberOfAnOpenPortReopensOnTheNewDevice) {
    port.SetComNumber(1);
    port.SetOpen(true);
    port.SetComNumber(1);
    EXPECT_EQ(line1->Opens(), 1);
    port.SetComNumber(2);
    EXPECT_TRUE(port.Open());
    EXPECT_FALSE(line1->IsOpen());
    EXPECT_TRUE(line2->IsOpen());
    EXPECT_EQ(port.Dispatcher()->DisplayName(), "COM2");
}

TEST_F(ComPortTest, ChangingThePortNumberOfAClosedPortOnlyStoresIt) {
    port.SetComNumber(2);
    EXPECT_EQ(port.ComNumber(), 2);
    EXPECT_TRUE(line2->Log().empty());
}

TEST_F(ComPortTest, AMissingDeviceRaisesBadIdAndALaterOpenSucceeds) {
    port.SetComNumber(3); // /dev/fake3 was never made: it does not exist
    try {
        port.SetOpen(true);
        FAIL() << "no exception";
    } catch (const EBadId& e) {
        EXPECT_STREQ(e.what(), "ie_BadId - Specified comport doesn't exist");
    }
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.LastOpenFailure().code, ecBadId);
    EXPECT_EQ(port.LastOpenFailure().systemCode, kSysFileNotFound);
    EXPECT_EQ(port.LastOpenFailure().device, "/dev/fake3");
    port.SetComNumber(1);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(port.LastOpenFailure().code, 0);
}

TEST_F(ComPortTest, ADeviceHeldElsewhereRaisesAlreadyOpenAndKeepsTheReason) {
    line1->FailOpen(kSysAccessDenied, "Permission denied (group dialout)");
    port.SetComNumber(1);
    try {
        port.SetOpen(true);
        FAIL() << "no exception";
    } catch (const EAlreadyOpen& e) {
        EXPECT_STREQ(e.what(), "ie_Open - device already open");
    }
    EXPECT_EQ(port.LastOpenFailure().code, ecAlreadyOpen);
    EXPECT_EQ(port.LastOpenFailure().reason, "Permission denied (group dialout)");
}

// Where an open fails: the device's open (with that system code), its queue sizes, its nth
// settings write, the open handler, or the nth thread asked of the system.
enum class TFailAt { Open, QueueSizes, SettingsWrite, OpenHandler, Thread };

struct TFailureCase {
    const char* name;
    TFailAt at;
    int value = 0;
};

class ActivateFailureTest : public ComPortTest,
                            public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(ActivateFailureTest, LeavesThePortClosedWithoutDispatcherOrThread) {
    const TFailureCase& c = GetParam();
    switch (c.at) {
    case TFailAt::Open:
        line1->FailOpen(c.value);
        break;
    case TFailAt::QueueSizes:
        line1->FailQueueSizes(31);
        break;
    case TFailAt::SettingsWrite:
        line1->FailWriteSettings(31, c.value);
        break;
    case TFailAt::OpenHandler:
        port.SetOnPortOpen([] { throw std::runtime_error("handler failed"); });
        break;
    case TFailAt::Thread:
        port.SetThreadLauncher(RefuseThread(c.value));
        break;
    }
    port.SetComNumber(1);
    EXPECT_ANY_THROW(port.SetOpen(true));
    EXPECT_EQ(port.State(), TComPortState::cpsClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.Dispatcher(), nullptr);
    EXPECT_EQ(TComDispatcher::RegistrySize(), 0u);
    EXPECT_FALSE(line1->IsOpen());
    EXPECT_EQ(line1->Waiters(), 0);
    EXPECT_EQ(devices.LiveDevices(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, ActivateFailureTest,
    ::testing::Values(TFailureCase{"Missing", TFailAt::Open, kSysFileNotFound},
                      TFailureCase{"PathMissing", TFailAt::Open, kSysPathNotFound},
                      TFailureCase{"Held", TFailAt::Open, kSysAccessDenied},
                      TFailureCase{"OutOfMemory", TFailAt::Open, kSysNotEnoughMemory},
                      TFailureCase{"OtherSystemCode", TFailAt::Open, 13},
                      TFailureCase{"CodeBeyondTheTable", TFailAt::Open, 200},
                      TFailureCase{"QueueSizes", TFailAt::QueueSizes},
                      TFailureCase{"LineSettings", TFailAt::SettingsWrite, 1},
                      // The fourth write re-applies a flow character, the threads running.
                      TFailureCase{"ReapplyStep", TFailAt::SettingsWrite, 4},
                      TFailureCase{"OpenHandler", TFailAt::OpenHandler},
                      // At the system's thread limit: the open must return, not wait for a
                      // thread that never existed, and the threads already started must end.
                      TFailureCase{"FirstThreadRefused", TFailAt::Thread, 1},
                      TFailureCase{"SecondThreadRefused", TFailAt::Thread, 2},
                      TFailureCase{"ThirdThreadRefused", TFailAt::Thread, 3}),
    [](const ::testing::TestParamInfo<TFailureCase>& info) { return info.param.name; });

TEST_F(ComPortTest, FailuresRaiseTheClassOfTheirCode) {
    port.SetComNumber(1);
    line1->FailOpen(kSysNotEnoughMemory);
    EXPECT_THROW(port.SetOpen(true), std::bad_alloc);
    line1->FailOpen(13);
    EXPECT_THROW(port.SetOpen(true), EInOutError);
    line1->FailOpen(200);
    try {
        port.SetOpen(true);
        FAIL();
    } catch (const ESerialException& e) {
        EXPECT_EQ(typeid(e), typeid(ESerialException));
        EXPECT_STREQ(e.what(), "Serial port exception");
    }
}

TEST_F(ComPortTest, ARefusedThreadIsSaidAsSuch) {
    port.SetComNumber(1);
    port.SetThreadLauncher(RefuseThread(2));
    try {
        port.SetOpen(true);
        FAIL() << "no exception";
    } catch (const ESystemError& e) {
        EXPECT_EQ(std::string(e.what()), "le système refuse un nouveau thread : " +
                                             std::generic_category().message(EAGAIN));
    }
}

// A lost device that is back but refuses the reopen says why, in the words of what refused it,
// until it lets the port have it again.
TEST_F(ComPortTest, AReturnThatIsRefusedSaysTheRealReason) {
    machine.Link("/proc/812/fd/3", "/dev/null"); // /dev/fake1's node, as the fake tree makes it
    machine.File("/proc/812/comm", "minicom\n");
    port.SetDeviceTree(machine.Tree());
    port.SetReopenPeriod(std::chrono::milliseconds(20));
    std::vector<TPortEvent> events;
    port.SetOnPortEvent([&](TPortEvent event) { events.push_back(event); });
    port.SetComNumber(1);
    const struct {
        const char* name;
        int systemCode;
        const char* deviceText;
        std::string reason;
    } rows[] = {
        {"held", kSysAccessDenied, "occupé par un autre programme",
         "occupé par un autre programme : minicom (pid 812)"},
        {"no permission", kSysErrnoBase + EACCES,
         "accès refusé : ce compte n'est pas dans le groupe « dialout »",
         "accès refusé : ce compte n'est pas dans le groupe « dialout »"},
        {"absent after all", kSysFileNotFound, "absent", "absent"},
    };
    for (const auto& row : rows) {
        events.clear();
        port.SetOpen(true);
        line1->FailOpen(row.systemCode, row.deviceText);
        line1->Lose();
        EXPECT_TRUE(bridge.PumpUntil([&] { return events.size() >= 2; }, 5000)) << row.name;
        EXPECT_EQ(events, (std::vector<TPortEvent>{TPortEvent::Lost, TPortEvent::Refused}))
            << row.name;
        EXPECT_EQ(port.Describe(), "Com 1 : /dev/fake1\n" + row.reason) << row.name;
        line1->FailOpen(0);
        EXPECT_TRUE(bridge.PumpUntil([&] { return port.Open(); }, 5000)) << row.name;
        EXPECT_EQ(events.back(), TPortEvent::Reopened) << row.name;
    }
}

TEST_F(ComPortTest, NoPortNumberWithoutPromptRaisesNoPortSelected) {
    port.SetPromptForPort(false);
    EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
    EXPECT_EQ(port.State(), TComPortState::cpsClosed);
    EXPECT_EQ(port.LastOpenFailure().code, ecNoPortSelected);
}

TEST_F(ComPortTest, TheSelectionDialogListsPresentPortsAndCancelRaises) {
    line2->FailOpen(kSysAccessDenied); // held elsewhere: listed all the same
    ui.ExpectSelectPort(std::nullopt);
    EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].entries, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_EQ(port.ComNumber(), 0);
    EXPECT_FALSE(port.Open());
}

TEST_F(ComPortTest, OkInTheSelectionDialogTakesTheChosenPortAndOpens) {
    ui.ExpectSelectPort(std::string("COM1"));
    port.SetOpen(true);
    EXPECT_EQ(port.ComNumber(), 1);
    EXPECT_TRUE(port.Open());
    EXPECT_TRUE(line1->IsOpen());
}

TEST_F(ComPortTest, OkWithoutAnyListedPortSelectsNothing) {
    const test::TFakeDeviceTree empty;
    port.SetDeviceTree(empty.Tree());
    ui.ExpectSelectPort(std::string());
    EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
    EXPECT_TRUE(ui.Shown()[0].entries.empty());
}

TEST_F(ComPortTest, SettingsWrittenWhileOpenReachTheDevice) {
    port.SetComNumber(1);
    port.SetOpen(true);
    port.SetBaud(9600);
    EXPECT_EQ(line1->Settings().baud, 9600);
    port.SetParity(TParity::pEven);
    EXPECT_EQ(line1->Settings().parity, 2);
    port.SetStopBits(2);
    EXPECT_EQ(line1->Settings().stopBits, kTwoStopBits);
    port.SetDTR(false);
    EXPECT_FALSE(line1->Dtr());
    EXPECT_FALSE(port.DTR());
    port.SetXOnChar(1);
    EXPECT_EQ(line1->Settings().xonChar, 1);
}

TEST_F(ComPortTest, AFailedSettingsWriteRaisesAfterStoringTheValue) {
    port.SetComNumber(1);
    port.SetOpen(true);
    line1->FailWriteSettings(31);
    EXPECT_THROW(port.SetBaud(9600), EInOutError);
    EXPECT_EQ(port.Baud(), 9600);
}

TEST_F(ComPortTest, HardwareFlowSetsTheBufferMarksFromTheInputSize) {
    port.SetHWFlowOptions({THWFlowOption::hwfUseRTS});
    EXPECT_EQ(port.BufferFull(), 3686);
    EXPECT_EQ(port.BufferResume(), 409);
    port.SetComNumber(1);
    port.SetOpen(true);
    EXPECT_EQ(line1->Settings().rtsControl, TRtsControl::Handshake);
    // RTS is now driven by flow control: a manual write is ignored and the value stays.
    port.SetRTS(false);
    EXPECT_TRUE(port.RTS());
}

TEST_F(ComPortTest, DestructionClosesAnOpenPort) {
    {
        TComPort local;
        local.SetDeviceMap(map);
        local.SetDeviceFactory(devices.Factory());
        local.SetComNumber(2);
        local.SetOpen(true);
        EXPECT_TRUE(line2->IsOpen());
    }
    EXPECT_FALSE(line2->IsOpen());
    EXPECT_EQ(TComDispatcher::RegistrySize(), 0u);
}

TEST_F(ComPortTest, AnErrorInADispatcherThreadReachesTheErrorBoxAndCloseStillEnds) {
    line1->ThrowInWaitEvent();
    ui.ExpectError();
    port.SetComNumber(1);
    port.SetOpen(true);
    EXPECT_TRUE(bridge.PumpUntil([&] { return !ui.Shown().empty(); }, 20000));
    EXPECT_EQ(ui.Shown()[0].text, "device event failure.");
    port.SetOpen(false);
    EXPECT_EQ(port.State(), TComPortState::cpsClosed);
}

// A close processes UI messages while the dispatcher's threads end (the posted call releases the
// thread that keeps it waiting), and the port still reads as open meanwhile: what is asked then
// takes effect once the close has ended.
TEST_F(ComPortTest, WhatIsAskedDuringACloseIsCarriedOutWhenItEnds) {
    const struct {
        const char* name;
        std::vector<bool> asked;
        bool open;
    } rows[] = {
        {"open", {true}, true},
        {"open, then close again", {true, false}, false},
    };
    port.SetComNumber(1);
    for (const auto& row : rows) {
        port.SetOpen(true);
        line1->MakeWaitStubborn();
        line1->PushEvent(kEvRlsd);
        bridge.Post([&] {
            for (const bool open : row.asked)
                port.SetOpen(open);
            line1->ReleaseWaiters();
        });
        port.SetOpen(false);
        EXPECT_EQ(port.Open(), row.open) << row.name;
        EXPECT_EQ(line1->IsOpen(), row.open) << row.name;
        port.SetOpen(false);
    }
}

TEST(ComPortCycles, TwoHundredOpensAndClosesOfASimulatedSensor) {
    TQueuedUiBridge bridge;
    TPortDeviceMap map;
    map.Set(1, "sim:300");
    TComPort port;
    port.SetUiBridge(&bridge);
    port.SetDeviceMap(map);
    port.SetComNumber(1);
    for (int cycle = 0; cycle < 200; ++cycle) {
        port.SetOpen(true);
        ASSERT_TRUE(port.Open()) << cycle;
        ASSERT_EQ(port.Dispatcher()->ActiveThreads(), 3) << cycle;
        port.CarrierLevel();
        port.SetOpen(false);
        ASSERT_EQ(port.Dispatcher(), nullptr) << cycle;
        ASSERT_EQ(TComDispatcher::RegistrySize(), 0u) << cycle;
    }
}

} // namespace
} // namespace sornafex
