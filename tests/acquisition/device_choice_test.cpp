// The device dialog's content: which entry is the port's device, and what a choice keeps.

#include "acquisition/device_choice.h"
#include "tests/serial/fake_device_tree.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

class DeviceChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        machine.UsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI",
                           "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        machine.Uart(0, 4);
        // An adapter chosen on a day it was plugged in, known by its node alone.
        elsewhere.UsbAdapter("ttyUSB7", "FTDI", "FT232R USB UART", "A7", "");
        usb = Device(machine, "ttyUSB0");
        uart = Device(machine, "ttyS0");
        unplugged = Device(elsewhere, "ttyUSB7").node;
        ASSERT_NE(usb.stableName, usb.node);
    }
    // Names as the fake tree gives them.
    static TSerialDevice Device(const test::TFakeDeviceTree& tree, const std::string& kernelName) {
        for (const TSerialDevice& device : tree.Tree().SerialDevices())
            if (device.kernelName == kernelName)
                return device;
        ADD_FAILURE() << "no " << kernelName;
        return {};
    }
    TPortDeviceChoice Choice(const std::string& current) {
        return TPortDeviceChoice(2, current, machine.Tree());
    }
    static std::vector<std::string> Names(const TPortDeviceChoice& choice) {
        std::vector<std::string> names;
        for (const TDeviceEntry& entry : choice.Entries())
            names.push_back(entry.name);
        return names;
    }

    test::TFakeDeviceTree machine;
    test::TFakeDeviceTree elsewhere;
    TSerialDevice usb;
    TSerialDevice uart;
    std::string unplugged;
};

TEST_F(DeviceChoiceTest, TheCurrentDeviceIsSelectedWhateverNameItGoesBy) {
    const std::vector<std::string> listed{usb.stableName, uart.node, "Capteur simulé"};
    const struct {
        std::string current;
        std::vector<std::string> names;
        int selected;
        const char* frequency;
    } rows[] = {
        {usb.stableName, listed, 0, ""},
        {usb.node, listed, 0, ""},
        {uart.node, listed, 1, ""},
        {"sim:40-90", listed, 2, "40-90"},
        // Unplugged for now: still offered, and said to be absent.
        {unplugged, {usb.stableName, uart.node, unplugged, "Capteur simulé"}, 2, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.current);
        const TPortDeviceChoice choice = Choice(row.current);
        EXPECT_EQ(choice.Caption(), "Périphérique du port Com 2");
        EXPECT_EQ(Names(choice), row.names);
        EXPECT_EQ(choice.Current(), row.selected);
        EXPECT_EQ(choice.Frequency(), row.frequency);
    }
    EXPECT_EQ(Choice(unplugged).Entries()[2].description, "absent");
}

TEST_F(DeviceChoiceTest, AChoiceKeepsTheStableNameOrAWellFormedSensor) {
    const TPortDeviceChoice choice = Choice(usb.node);
    const struct {
        int entry;
        const char* frequency;
        std::optional<std::string> value;
        const char* error;
    } rows[] = {
        {0, "12", usb.stableName, ""},
        {2, "50", "sim:50", ""},
        {2, " 40-90 ", "sim:40-90", ""},
        {2, "0", "sim:0", ""},
        {2, "", std::nullopt, "Fréquence incorrecte : tapez F ou F1-F2, par exemple 50 ou 40-90"},
        {2, "40 Hz", std::nullopt,
         "Fréquence incorrecte : tapez F ou F1-F2, par exemple 50 ou 40-90"},
        {-1, "", std::nullopt, "Choisissez un périphérique de la liste"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.frequency);
        std::string error;
        EXPECT_EQ(choice.Accept(row.entry, row.frequency, error), row.value);
        EXPECT_EQ(error, row.error);
    }
}

} // namespace
} // namespace sornafex
