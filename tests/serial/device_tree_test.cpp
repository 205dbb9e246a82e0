// The serial devices of a machine, as its /dev and /sys (here in a scratch folder) show them.

#include "serial/device_tree.h"
#include "tests/serial/fake_device_tree.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

using test::TFakeDeviceTree;

TEST(SerialDevices, AdaptersFirstByStableNameThenTheRealUartsInNumberOrder) {
    TFakeDeviceTree machine;
    machine.Uart(10, 4);
    machine.Uart(2, 4);
    machine.Uart(1, 0); // made up by the 8250 driver: no such port
    machine.UsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI",
                       "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    machine.UsbAdapter("ttyACM0", "Arduino", "Uno", "", "");
    machine.Folder("/sys/class/tty/ttyUSB5"); // in sysfs, but without a node in /dev
    machine.Folder("/sys/class/tty/tty1");    // a console, not a serial port
    machine.Node("/dev/tty1");

    std::vector<std::string> names;
    std::vector<std::string> kernelNames;
    std::vector<std::string> descriptions;
    for (const TSerialDevice& device : machine.Tree().SerialDevices()) {
        names.push_back(device.stableName);
        kernelNames.push_back(device.kernelName);
        descriptions.push_back(device.description);
        EXPECT_EQ(device.node, "/dev/" + device.kernelName);
        EXPECT_TRUE(device.accessible);
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                         "/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10"}));
    EXPECT_EQ(kernelNames, (std::vector<std::string>{"ttyUSB0", "ttyACM0", "ttyS2", "ttyS10"}));
    EXPECT_EQ(descriptions,
              (std::vector<std::string>{"FTDI FT232R USB UART A50285BI", "Arduino Uno",
                                        "UART 16550A", "UART 16550A"}));
}

} // namespace
} // namespace sornafex
