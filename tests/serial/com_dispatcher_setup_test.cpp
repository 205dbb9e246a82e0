// The device part of an open: what is written to the device, in which order.

#include "base/ui_bridge.h"
#include "serial/ComPort.h"
#include "serial/com_errors.h"
#include "tests/serial/fake_com_device.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using test::DescribeSettings;
using test::TFakeDevices;
using test::TFakeLine;

constexpr const char* kDevice = "/dev/fake1";

TComSettings Configured19200N81() {
    TComSettings s;
    s.baud = 19200;
    s.byteSize = 8;
    s.parity = 0;
    s.stopBits = kOneStopBit;
    s.dtrControl = TDtrControl::Enable;
    s.rtsControl = TRtsControl::Enable;
    s.xonLim = 0;
    s.xoffLim = 4096;
    return s;
}

std::vector<std::string> Only(const std::vector<std::string>& log,
                              const std::vector<std::string>& prefixes) {
    std::vector<std::string> kept;
    for (const auto& entry : log)
        for (const auto& prefix : prefixes)
            if (entry.starts_with(prefix)) {
                kept.push_back(entry);
                break;
            }
    return kept;
}

class PortSetupTest : public ::testing::Test {
protected:
    PortSetupTest() {
        TPortDeviceMap map;
        map.Set(1, kDevice);
        port.SetDeviceMap(map);
        port.SetDeviceFactory(devices.Factory());
        port.SetUiBridge(&bridge);
        port.SetComNumber(1);
    }

    TFakeDevices devices;
    std::shared_ptr<TFakeLine> line = devices.Line(kDevice);
    TQueuedUiBridge bridge;
    TComPort port;
};

TEST_F(PortSetupTest, OpensSizesAndRaisesDtrAndRtsBeforeAnySettingIsWritten) {
    port.SetOpen(true);
    const auto log = Only(line->Log(), {"Open", "SetQueueSizes", "SetDtr", "SetRts", "Write"});
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0], std::string("Open ") + kDevice);
    EXPECT_EQ(log[1], "SetQueueSizes 4096 4096");
    EXPECT_EQ(log[2], "SetDtr");
    EXPECT_EQ(log[3], "SetRts");
    EXPECT_TRUE(log[4].starts_with("WriteSettings"));
    EXPECT_TRUE(line->Dtr());
    EXPECT_TRUE(line->Rts());
}

TEST_F(PortSetupTest, AnyEarlierConfigurationEndsAt19200N81WithoutFlowControl) {
    // The fake starts at 9600 7E2 with CTS, XON/XOFF in and out and odd limits.
    port.SetOpen(true);
    EXPECT_EQ(DescribeSettings(line->Settings()), DescribeSettings(Configured19200N81()));
}

TEST_F(PortSetupTest, TheLineSettingsWriteAndTheFourReappliedWritesEachRaiseTheLinesAgain) {
    port.SetOpen(true);
    const auto log = Only(line->Log(), {"SetDtr", "SetRts", "Write", "ClrDtr", "ClrRts"});
    // Two lines raised at first, then five writes each followed by DTR and RTS, then the
    // re-applied DTR and RTS of the component.
    std::vector<std::string> expected = {"SetDtr", "SetRts"};
    for (int write = 0; write < 5; ++write) {
        expected.push_back("write");
        expected.push_back("SetDtr");
        expected.push_back("SetRts");
    }
    expected.push_back("SetDtr");
    expected.push_back("SetRts");
    ASSERT_EQ(log.size(), expected.size());
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (expected[i] == "write")
            EXPECT_TRUE(log[i].starts_with("WriteSettings")) << i << ": " << log[i];
        else
            EXPECT_EQ(log[i], expected[i]) << i;
    }
}

TEST_F(PortSetupTest, ADeviceAlreadyAt19200N81GetsOnlyTheFourReappliedWrites) {
    line->SetSettings(Configured19200N81());
    port.SetOpen(true);
    const auto writes = Only(line->Log(), {"WriteSettings"});
    EXPECT_EQ(writes.size(), 4u);
}

TEST_F(PortSetupTest, ARefusedQueueSizeClosesTheDeviceAgain) {
    line->FailQueueSizes(31);
    EXPECT_THROW(port.SetOpen(true), EInOutError);
    EXPECT_FALSE(line->IsOpen());
    EXPECT_EQ(line->Log().back(), "Close");
    EXPECT_EQ(port.State(), TComPortState::cpsClosed);
    EXPECT_EQ(port.Dispatcher(), nullptr);
    EXPECT_EQ(port.LastOpenFailure().code, -31);
    EXPECT_EQ(port.LastOpenFailure().systemCode, 31);
}

// ---- ApplyLineSettings on an open dispatcher
// -----------------------------------------------------

class LineSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        line->SetSettings(Configured19200N81());
        ASSERT_EQ(dispatcher.PortSetup(kDevice, 19200, 0, 8, 1, 4096, 4096, kSetupDtr | kSetupRts),
                  0);
        line->ClearLog();
    }

    TFakeDevices devices;
    std::shared_ptr<TFakeLine> line = devices.Line(kDevice);
    TComDispatcher dispatcher{nullptr, nullptr, devices.Factory()};
};

struct TFramingCase {
    std::int32_t baud;
    std::uint8_t parity;
    std::uint8_t dataBits;
    std::uint8_t stopBits;
    std::int32_t wantBaud;
    std::uint8_t wantParity;
    std::uint8_t wantByteSize;
    std::uint8_t wantStopCode;
};

class FramingTest : public LineSettingsTest, public ::testing::WithParamInterface<TFramingCase> {};

TEST_P(FramingTest, WritesTheTargetValues) {
    const TFramingCase& c = GetParam();
    EXPECT_EQ(dispatcher.ApplyLineSettings(c.baud, c.parity, c.dataBits, c.stopBits), 0);
    const TComSettings s = line->Settings();
    EXPECT_EQ(s.baud, c.wantBaud);
    EXPECT_EQ(s.parity, c.wantParity);
    EXPECT_EQ(s.byteSize, c.wantByteSize);
    EXPECT_EQ(s.stopBits, c.wantStopCode);
}

INSTANTIATE_TEST_SUITE_P(StopBitsAndSentinels, FramingTest,
                         ::testing::Values(
                             // Stop bits below 1 count as 1, above 2 as 2 (3 is the keep sentinel).
                             TFramingCase{9600, 0, 8, 0, 9600, 0, 8, kOneStopBit},
                             TFramingCase{9600, 0, 8, 2, 9600, 0, 8, kTwoStopBits},
                             TFramingCase{9600, 0, 8, 4, 9600, 0, 8, kTwoStopBits},
                             TFramingCase{9600, 0, 8, 200, 9600, 0, 8, kTwoStopBits},
                             // Five data bits always mean one and a half stop bits.
                             TFramingCase{19200, 0, 5, 1, 19200, 0, 5, kOne5StopBits},
                             TFramingCase{19200, 0, 5, 2, 19200, 0, 5, kOne5StopBits},
                             // Each sentinel keeps the device's own value.
                             TFramingCase{kKeepBaud, 2, 8, 1, 19200, 2, 8, kOneStopBit},
                             TFramingCase{57600, kKeepParity, 7, 1, 57600, 0, 7, kOneStopBit},
                             TFramingCase{57600, 1, kKeepDataBits, 1, 57600, 1, 8, kOneStopBit},
                             TFramingCase{57600, 1, 7, kKeepStopBits, 57600, 1, 7, kOneStopBit}));

TEST_F(LineSettingsTest, NothingIsWrittenWhenTheFramingIsUnchanged) {
    EXPECT_EQ(dispatcher.ApplyLineSettings(19200, 0, 8, 1), 0);
    EXPECT_EQ(dispatcher.ApplyLineSettings(kKeepBaud, kKeepParity, kKeepDataBits, kKeepStopBits),
              0);
    EXPECT_TRUE(Only(line->Log(), {"WriteSettings"}).empty());
}

TEST_F(LineSettingsTest, ARefusedWriteReturnsTheNegatedSystemCode) {
    line->FailWriteSettings(87);
    EXPECT_EQ(dispatcher.ApplyLineSettings(9600, 0, 8, 1), -87);
}

TEST_F(LineSettingsTest, FlowBuffersOutsideTheInputSizeAreRefusedWithoutAWrite) {
    EXPECT_EQ(dispatcher.ApplyHardwareFlow(100, 200, kHwFlowUseRts), ecBadArgument);
    EXPECT_EQ(dispatcher.ApplyHardwareFlow(5000, 10, kHwFlowUseRts), ecBadArgument);
    EXPECT_EQ(dispatcher.EnableSoftwareFlow(100, 200, kSwFlowReceive), ecBadArgument);
    EXPECT_TRUE(Only(line->Log(), {"WriteSettings"}).empty());
}

TEST_F(LineSettingsTest, AFlowControlledLineIgnoresManualWrites) {
    ASSERT_EQ(dispatcher.ApplyHardwareFlow(3686, 409, kHwFlowUseDtr | kHwFlowRequireCts), 0);
    const TComSettings s = line->Settings();
    EXPECT_EQ(s.dtrControl, TDtrControl::Handshake);
    EXPECT_TRUE(s.outxCtsFlow);
    EXPECT_EQ(s.xoffLim, 4096 - 3686);
    EXPECT_EQ(s.xonLim, 409);
    EXPECT_EQ(dispatcher.SetDtrLine(false), 1);
    EXPECT_TRUE(dispatcher.DtrState());
    EXPECT_EQ(dispatcher.SetRtsLine(false), 0);
    EXPECT_FALSE(line->Rts());
}

TEST_F(LineSettingsTest, SoftwareFlowSwitchesXonXoffAndItsCharacters) {
    ASSERT_EQ(dispatcher.SetFlowChars(1, 2), 0);
    ASSERT_EQ(dispatcher.EnableSoftwareFlow(3072, 1024, kSwFlowReceive | kSwFlowTransmit), 0);
    TComSettings s = line->Settings();
    EXPECT_TRUE(s.inX);
    EXPECT_TRUE(s.outX);
    EXPECT_EQ(s.xonChar, 17);
    EXPECT_EQ(s.xoffChar, 19);
    EXPECT_EQ(s.xoffLim, 1024);
    ASSERT_EQ(dispatcher.DisableSoftwareFlow(), 0);
    s = line->Settings();
    EXPECT_FALSE(s.inX);
    EXPECT_FALSE(s.outX);
}

TEST_F(LineSettingsTest, ShutdownPurgesBothWaysClosesAndLeavesTheLinesAlone) {
    dispatcher.PortShutdown();
    const auto tail = Only(line->Log(), {"Purge", "Close", "ClrDtr", "ClrRts"});
    ASSERT_EQ(tail.size(), 3u);
    EXPECT_EQ(tail[0], "Purge 5");
    EXPECT_EQ(tail[1], "Purge 10");
    EXPECT_EQ(tail[2], "Close");
    EXPECT_FALSE(dispatcher.DeviceOpen());
    EXPECT_FALSE(dispatcher.BuffersAllocated());
}

} // namespace
} // namespace sornafex
