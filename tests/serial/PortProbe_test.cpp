// The probe of a port's device: against a machine's /dev and /sys in a scratch folder, and on a
// pseudo-terminal whose line must stay as it was.

#include "serial/PortProbe.h"
#include "tests/serial/FakeDeviceTree.h"
#include "tests/serial/Pty.h"

#include <cstring>
#include <gtest/gtest.h>
#include <termios.h>

namespace sornafex {
namespace {

using test::TFakeDeviceTree;

struct TProbeCase {
    const char* device;
    bool present;
};

class ProbeTreeTest : public ::testing::TestWithParam<TProbeCase> {
protected:
    static void SetUpTestSuite() {
        machine = new TFakeDeviceTree;
        machine->Uart(0, 4);
        machine->Uart(1, 0); // a port the 8250 driver made up
        machine->Node("/dev/ttyS2");
        machine->Folder("/sys/class/tty/ttyS2"); // sysfs knows it, without a type
        machine->Node("/dev/ttyS3");             // a stale node sysfs does not know
        machine->UsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI",
                            "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        machine->Link("/dev/sensor", "ttyS1");
        machine->Link("/dev/modem", "ttyS0");
        machine->File("/dev/not-a-device", "");
        machine->Link("/dev/serial/by-id/usb-gone", "../../ttyUSB9");
    }
    static void TearDownTestSuite() { delete machine; }
    static TFakeDeviceTree* machine;
};

TFakeDeviceTree* ProbeTreeTest::machine = nullptr;

TEST_P(ProbeTreeTest, PresentWithoutOpeningAnything) {
    EXPECT_EQ(ProbeDevicePresent(GetParam().device, machine->Tree()), GetParam().present)
        << GetParam().device;
}

INSTANTIATE_TEST_SUITE_P(
    Machine, ProbeTreeTest,
    ::testing::Values(TProbeCase{"/dev/ttyS0", true}, TProbeCase{"/dev/ttyS1", false},
                      TProbeCase{"/dev/ttyS2", false}, TProbeCase{"/dev/ttyS3", false},
                      TProbeCase{"/dev/ttyUSB0", true},
                      TProbeCase{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                 true},
                      TProbeCase{"/dev/serial/by-id/usb-gone", false},
                      TProbeCase{"/dev/ttyUSB1", false}, TProbeCase{"/dev/sensor", false},
                      TProbeCase{"/dev/modem", true}, TProbeCase{"/dev/not-a-device", false},
                      TProbeCase{"", false}, TProbeCase{"sim:40-90", true},
                      TProbeCase{"sim:oops", false}));

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
