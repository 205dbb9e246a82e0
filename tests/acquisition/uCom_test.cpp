#include "acquisition/uCom.h"
#include "acquisition_fakes.h"
#include "base/errors.h"
#include "base/ui_bridge.h"
#include "serial/ComPort.h"
#include "serial/sim_com_device.h"
#include "tests/support/scripted_ui_services.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace sornafex {
namespace {

using test::TestPortMap;
using test::TGuardedDeviceFactory;

// A bridge that counts how often the UI side processed its messages.
class TCountingBridge final : public TUiBridge {
public:
    int rounds = 0;
    void RunOnUiThread(const std::function<void()>& call) override { call(); }
    void Post(std::function<void()> call) override { call(); }
    void ProcessMessages() override { ++rounds; }
    bool IsUiThread() const override { return true; }
};

// A clock that moves on by step milliseconds at every reading.
struct TSteppingClock {
    TTickCount now;
    std::uint32_t step;
    TTickSource Source() {
        return [this] {
            return std::exchange(now, now + step);
        };
    }
};

TEST(ComPortName, IsTheMappedDeviceElseTheDefault) {
    TPortDeviceMap map;
    map.Set(2, "sim:40-90");
    EXPECT_EQ(ComPortName(2, map), "sim:40-90");
    EXPECT_EQ(ComPortName(3, map), TPortDeviceMap::DefaultDevice(3));
}

TEST(ProbeComPort, TellsPresentHeldAndMissingDevices) {
    const auto map = TestPortMap({{1, "sim:31"}, {2, "sim:32"}, {4, "sim:oops"}});

    // Port 2 is held by another open: the device is there, only busy.
    TSimComDevice holder;
    ASSERT_TRUE(holder.Open("sim:32"));

    EXPECT_FALSE(ProbeComPort(0, map));
    EXPECT_TRUE(ProbeComPort(1, map));
    EXPECT_TRUE(ProbeComPort(2, map));
    EXPECT_FALSE(ProbeComPort(3, map)); // no such device
    EXPECT_FALSE(ProbeComPort(4, map)); // malformed sensor value

    // The probe did not hold port 1, not even for a moment that a second open could see.
    TSimComDevice again;
    EXPECT_TRUE(again.Open("sim:31"));
}

TEST(ListComPorts, ListsThePresentPortsOfOneToFiftyInOrder) {
    const auto map = TestPortMap({{1, "sim:11"}, {3, "sim:13"}, {49, "sim:149"}, {50, "sim:150"}});
    std::vector<std::string> list{"stale entry"};
    ListComPorts(list, map);
    EXPECT_EQ(list, (std::vector<std::string>{"COM1", "COM3", "COM49", "COM50"}));
}

TEST(WaitWithMessages, ProcessesUntilMoreThanTheTimeHasPassed) {
    TCountingBridge bridge;
    TSteppingClock clock{1000, 100};
    WaitWithMessages(bridge, 500, clock.Source());
    // Readings 1100 .. 1600 after the start at 1000: the sixth is the first beyond 500 ms.
    EXPECT_EQ(bridge.rounds, 6);
}

TEST(WaitWithMessages, ProcessesAtLeastOnce) {
    TCountingBridge bridge;
    TSteppingClock clock{0, 5000};
    WaitWithMessages(bridge, 500, clock.Source());
    EXPECT_EQ(bridge.rounds, 1);
}

TEST(WaitWithMessages, MeasuresAcrossTheWrapOfTheTickCount) {
    TCountingBridge bridge;
    TSteppingClock clock{0xFFFFFF00u, 100};
    WaitWithMessages(bridge, 500, clock.Source());
    EXPECT_EQ(bridge.rounds, 6);
}

TEST(CheckPortOpen, ClosedPortShowsItsNumberAndAborts) {
    test::TScriptedUiServices ui;
    TComPort port;
    for (const std::uint16_t number : {std::uint16_t{1}, std::uint16_t{2}}) {
        port.SetComNumber(number);
        ui.ExpectMessage();
        EXPECT_THROW(CheckPortOpen(port, ui), EAbort);
    }
    ASSERT_EQ(ui.Shown().size(), 2u);
    EXPECT_EQ(ui.Shown()[0].text, "Port com sélectionné (Com 1) fermé !");
    EXPECT_EQ(ui.Shown()[1].text, "Port com sélectionné (Com 2) fermé !");
}

TEST(CheckPortOpen, OpenPortPasses) {
    test::TScriptedUiServices ui;
    TGuardedDeviceFactory devices;
    TComPort port;
    port.SetDeviceMap(TestPortMap({{1, "sim:21"}}));
    port.SetDeviceFactory(devices.Factory());
    port.SetComNumber(1);
    port.SetOpen(true);
    EXPECT_NO_THROW(CheckPortOpen(port, ui));
    EXPECT_TRUE(ui.Shown().empty());
}

TEST(ReadPortDCD, ClosedPortReadsLowAndStaysClosed) {
    TGuardedDeviceFactory devices;
    TComPort port;
    port.SetDeviceMap(TestPortMap({{1, "sim:22"}}));
    port.SetDeviceFactory(devices.Factory());
    port.SetComNumber(1);
    EXPECT_FALSE(ReadPortDCD(port));
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(devices.Names().empty());
}

TEST(ReadPortDCD, FollowsTheSensor) {
    // A 50 Hz sensor changes level every 10 ms: reads spread over more than that see both.
    TGuardedDeviceFactory devices;
    TComPort port;
    port.SetDeviceMap(TestPortMap({{1, "sim:50.5"}}));
    port.SetDeviceFactory(devices.Factory());
    port.SetComNumber(1);
    port.SetOpen(true);
    bool seen[2] = {false, false};
    const TTickCount start = TickCount();
    while (!(seen[0] && seen[1]) && TicksSince(TickCount(), start) < 20000)
        seen[ReadPortDCD(port) ? 1 : 0] = true;
    EXPECT_TRUE(seen[0]);
    EXPECT_TRUE(seen[1]);
}

} // namespace
} // namespace sornafex
