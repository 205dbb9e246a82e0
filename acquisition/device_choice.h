#pragma once

// The device dialog's content for one port: the serial devices sysfs knows, each by the name that
// survives a replug, then the simulated sensor with its frequency; the entry of the port's
// current device selected, and the value to write when the user chooses.

#include "base/device_choice.h"
#include "serial/device_tree.h"

#include <string>
#include <vector>

namespace sornafex {

class TPortDeviceChoice final : public TDeviceChoice {
public:
    // port: the port's number; current: the device it names now (a path or "sim:...").
    TPortDeviceChoice(int port, std::string current, TDeviceTree tree = TDeviceTree());

    std::string Caption() const override;
    const std::vector<TDeviceEntry>& Entries() const override { return m_entries; }
    // The devices found, in TDeviceTree::SerialDevices order; the current device when it is none
    // of them (an adapter unplugged for now, a device sysfs does not list); the simulated sensor.
    void Refresh() override;
    int Current() const override { return m_current; }
    std::string Frequency() const override;
    // A device entry gives its name; the sensor's entry "sim:" and the frequency typed, when it
    // reads as F or F1-F2.
    std::optional<std::string> Accept(int entry, const std::string& frequency,
                                      std::string& error) const override;

private:
    int m_port;
    std::string m_device;
    TDeviceTree m_tree;
    std::vector<TDeviceEntry> m_entries;
    int m_current = -1;
};

} // namespace sornafex
