// The probe of a port's device.

#include "serial/PortProbe.h"
#include "tests/serial/FakeComDevice.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

using test::TFakeDevices;

TEST(ProbeDevicePresent, FreeAndHeldDevicesArePresentMissingOnesAreNot) {
    TFakeDevices devices;
    auto free = devices.Line("/dev/free");
    auto held = devices.Line("/dev/held");
    held->FailOpen(kSysAccessDenied, "Permission denied (group dialout)");
    auto broken = devices.Line("/dev/broken");
    broken->FailOpen(13, "odd failure");

    EXPECT_TRUE(ProbeDevicePresent("/dev/free", devices.Factory()));
    EXPECT_FALSE(free->IsOpen());
    EXPECT_EQ(free->Log().back(), "Close");
    int code = 0;
    std::string reason;
    EXPECT_TRUE(ProbeDevicePresent("/dev/held", devices.Factory(), &code, &reason));
    EXPECT_EQ(code, kSysAccessDenied);
    EXPECT_EQ(reason, "Permission denied (group dialout)");
    EXPECT_FALSE(ProbeDevicePresent("/dev/broken", devices.Factory()));
    EXPECT_FALSE(ProbeDevicePresent("/dev/none", devices.Factory(), &code));
    EXPECT_EQ(code, kSysFileNotFound);
    EXPECT_EQ(devices.LiveDevices(), 0);
}

} // namespace
} // namespace sornafex
