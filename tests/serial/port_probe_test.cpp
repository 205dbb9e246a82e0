// The probe of a port's device: against a machine's /dev and /sys in a scratch folder, and on a
// pseudo-terminal whose line must stay as it was.

#include "serial/port_probe.h"
#include "tests/serial/fake_device_tree.h"
#include "tests/serial/pty.h"

#include <cstring>
#include <gtest/gtest.h>
#include <termios.h>

namespace sornafex {
namespace {

using test::TFakeDeviceTree;

TEST(ProbeDevicePresent, PresentWithoutOpeningAnything) {
    TFakeDeviceTree machine;
    machine.Uart(0, 4);
    machine.Uart(1, 0); // a port the 8250 driver made up
    machine.Node("/dev/ttyS2");
    machine.Folder("/sys/class/tty/ttyS2"); // sysfs knows it, without a type
    machine.Node("/dev/ttyS3");             // a stale node sysfs does not know
    machine.UsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI",
                       "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    machine.Link("/dev/sensor", "ttyS1");
    machine.Link("/dev/modem", "ttyS0");
    machine.File("/dev/not-a-device", "");
    machine.Link("/dev/serial/by-id/usb-gone", "../../ttyUSB9");
    // A profile is found by its own path, not under the tree's root.
    machine.File("/profile.txt", "0 50\n");
    machine.File("/empty.txt", "");

    const struct {
        std::string device;
        bool present;
    } rows[] = {{"/dev/ttyS0", true},
                {"/dev/ttyS1", false},
                {"/dev/ttyS2", false},
                {"/dev/ttyS3", false},
                {"/dev/ttyUSB0", true},
                {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", true},
                {"/dev/serial/by-id/usb-gone", false},
                {"/dev/ttyUSB1", false},
                {"/dev/sensor", false},
                {"/dev/modem", true},
                {"/dev/not-a-device", false},
                {"", false},
                {"sim:40-90", true},
                {"sim:oops", false},
                {"sim:file:" + machine.Root() + "/profile.txt", true},
                {"sim:file:" + machine.Root() + "/empty.txt", false},
                {"sim:file:/profile.txt", false}};
    for (const auto& row : rows)
        EXPECT_EQ(ProbeDevicePresent(row.device, machine.Tree()), row.present) << row.device;
}

TEST(ProbeDevicePresent, LeavesTheLineOfAPortItLooksAtAsItWas) {
    test::TPty pty;
    ASSERT_TRUE(pty.Ok());
    // Another program's line: 9600 baud, carrier watched, canonical input.
    termios before = pty.Termios();
    cfsetspeed(&before, B9600);
    before.c_cflag &= ~CLOCAL;
    before.c_lflag |= ICANON;
    ASSERT_EQ(::tcsetattr(pty.Master(), TCSANOW, &before), 0);
    before = pty.Termios();

    EXPECT_TRUE(ProbeDevicePresent(pty.Slave()));
    const termios after = pty.Termios();
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

} // namespace
} // namespace sornafex
