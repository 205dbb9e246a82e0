// The device dialog's content: which entry is the port's device, and what a choice keeps.

#include "acquisition/port_device_choice.h"
#include "base/uRes.h"
#include "tests/serial/fake_device_tree.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

class PortDeviceChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        machine.UsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI",
                           "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        machine.Uart(0, 4);
        machine.Uart(1, 0); // a port the 8250 driver made up
        machine.File("/dev/not-a-device", "");
        machine.File("/p.txt", "0 50\n");
        machine.File("/bad.txt", "0 50\n0 60\n");
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

TEST_F(PortDeviceChoiceTest, TheCurrentDeviceIsSelectedWhateverNameItGoesBy) {
    const std::vector<std::string> listed{usb.stableName, uart.node, "Autre périphérique",
                                          "Capteur simulé", "Profil de fréquence"};
    const struct {
        std::string current;
        std::vector<std::string> names;
        int selected;
        const char* frequency;
        const char* profile;
    } rows[] = {
        {usb.stableName, listed, 0, "", ""},
        {usb.node, listed, 0, "", ""},
        {uart.node, listed, 1, "", ""},
        {"sim:40-90", listed, 3, "40-90", ""},
        {"sim:file:/home/x/p.txt", listed, 4, "", "/home/x/p.txt"},
        // Unplugged for now: still offered, and said to be absent.
        {unplugged,
         {usb.stableName, uart.node, unplugged, "Autre périphérique", "Capteur simulé",
          "Profil de fréquence"},
         2,
         "",
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.current);
        const TPortDeviceChoice choice = Choice(row.current);
        EXPECT_EQ(choice.Caption(), "Périphérique du port Com 2");
        EXPECT_EQ(Names(choice), row.names);
        EXPECT_EQ(choice.Current(), row.selected);
        EXPECT_EQ(choice.FieldText(TDeviceEntryKind::Sensor), row.frequency);
        EXPECT_EQ(choice.FieldText(TDeviceEntryKind::Profile), row.profile);
    }
    EXPECT_EQ(Choice(unplugged).Entries()[2].description, "absent");
}

TEST_F(PortDeviceChoiceTest, AChoiceKeepsOnlyWhatThePortCanUse) {
    const TPortDeviceChoice choice = Choice(usb.node);
    const int path = 2;
    const int sensor = 3;
    const int profile = 4;
    const std::string frequency =
        "Fréquence incorrecte : tapez F ou F1-F2, par exemple 50 ou 40-90";
    const std::string root = machine.Root();
    const struct {
        int entry;
        std::string text;
        std::optional<std::string> value;
        std::string error;
    } rows[] = {
        {0, "12", usb.stableName, ""},
        {path, " " + uart.node + " ", uart.node, ""},
        {path, usb.stableName, usb.stableName, ""},
        {path, "/dev/capteur5", std::nullopt, "Périphérique absent : /dev/capteur5"},
        // A port the 8250 driver made up is not there.
        {path, test::TFakeDeviceTree::UartNode(1), std::nullopt,
         "Périphérique absent : " + test::TFakeDeviceTree::UartNode(1)},
        {path, "/dev/not-a-device", std::nullopt, "Pas un périphérique série : /dev/not-a-device"},
        {path, "ttyUSB0", std::nullopt, std::string(res::kDevicePathNeeded)},
        {sensor, "50", "sim:50", ""},
        {sensor, " 40-90 ", "sim:40-90", ""},
        {sensor, "0", "sim:0", ""},
        {sensor, "50,5", "sim:50.5", ""},
        {sensor, "40,5-90", "sim:40.5-90", ""},
        {sensor, "90 - 40", "sim:40-90", ""},
        {sensor, "", std::nullopt, frequency},
        {sensor, "40 Hz", std::nullopt, frequency},
        {sensor, "file:" + root + "/p.txt", std::nullopt, frequency},
        {profile, root + "/./p.txt", "sim:file:" + root + "/p.txt", ""},
        {profile, root + "/bad.txt", std::nullopt,
         "Profil " + root + "/bad.txt, ligne 2 : les secondes doivent croître"},
        {profile, "p.txt", std::nullopt,
         "Tapez le chemin complet du profil, ou choisissez-le avec « Parcourir... »"},
        {-1, "", std::nullopt, "Choisissez un périphérique de la liste"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::string error;
        EXPECT_EQ(choice.Accept(row.entry, row.text, error), row.value);
        EXPECT_EQ(error, row.error);
    }
}

} // namespace
} // namespace sornafex
