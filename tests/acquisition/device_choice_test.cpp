// The device dialog's content: which entry is the port's device, and what a choice keeps.

#include "acquisition/device_choice.h"
#include "tests/serial/FakeDeviceTree.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

constexpr const char* kById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

class DeviceChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        machine.UsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI",
                           "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        machine.Uart(0, 4);
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
};

TEST_F(DeviceChoiceTest, TheCurrentDeviceIsSelectedWhateverNameItGoesBy) {
    const struct {
        const char* current;
        std::vector<std::string> names;
        int selected;
        const char* frequency;
    } rows[] = {
        {kById, {kById, "/dev/ttyS0", "Capteur simulé"}, 0, ""},
        {"/dev/ttyUSB0", {kById, "/dev/ttyS0", "Capteur simulé"}, 0, ""},
        {"/dev/ttyS0", {kById, "/dev/ttyS0", "Capteur simulé"}, 1, ""},
        {"sim:40-90", {kById, "/dev/ttyS0", "Capteur simulé"}, 2, "40-90"},
        // Unplugged for now: still offered, and said to be absent.
        {"/dev/ttyUSB7", {kById, "/dev/ttyS0", "/dev/ttyUSB7", "Capteur simulé"}, 2, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.current);
        const TPortDeviceChoice choice = Choice(row.current);
        EXPECT_EQ(choice.Caption(), "Périphérique du port Com 2");
        EXPECT_EQ(Names(choice), row.names);
        EXPECT_EQ(choice.Current(), row.selected);
        EXPECT_EQ(choice.Frequency(), row.frequency);
    }
    EXPECT_EQ(Choice("/dev/ttyUSB7").Entries()[2].description, "absent");
}

TEST_F(DeviceChoiceTest, AChoiceKeepsTheStableNameOrAWellFormedSensor) {
    const TPortDeviceChoice choice = Choice("/dev/ttyUSB0");
    const struct {
        int entry;
        const char* frequency;
        std::optional<std::string> value;
        const char* error;
    } rows[] = {
        {0, "12", kById, ""},
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
