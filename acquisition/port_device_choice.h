#pragma once

// The device dialog's content for one port: the serial devices sysfs knows, each by the name that
// survives a replug, a device typed by its path, the simulated sensor with its frequency and the
// simulated sensor following a profile file; the entry of the port's current device selected,
// and the value to write when the user chooses, checked as the port will use it.

#include "base/device_choice.h"
#include "serial/device_tree.h"

#include <string>
#include <vector>

namespace sornafex {

class TPortDeviceChoice final : public TDeviceChoice {
public:
    // port: the port's number; current: the device it names now (a path or "sim:...");
    // profileFolder: where "Parcourir..." starts while the profile field names no file (the
    // folder of the profile the program comes with).
    TPortDeviceChoice(int port, std::string current, TDeviceTree tree = TDeviceTree(),
                      std::string profileFolder = {});

    std::string Caption() const override;
    const std::vector<TDeviceEntry>& Entries() const override { return m_entries; }
    // The devices found, in TDeviceTree::SerialDevices order; the current device when it is none
    // of them (an adapter unplugged for now, a device sysfs does not list); then one entry of
    // each other kind: a typed path, the sensor, the profile.
    void Refresh() override;
    int Current() const override { return m_current; }
    std::string FieldText(TDeviceEntryKind kind) const override;
    // Profiles (*.txt) first, then every file; in the folder of the file typed when the text is
    // a full path, which is then the proposed name.
    TFileDialogOptions ProfileBrowsing(const std::string& typed) const override;
    // A device entry gives its name. A typed path must be a full path that the probe finds
    // present: a character device (a ttyS port also with a known UART). The sensor's frequency
    // reads as F or F1-F2 with a decimal point or comma, the bounds in either order ("90-40,5"
    // keeps "sim:40.5-90"). A profile must be a full path to a file that parses, and keeps
    // "sim:file:" and the path.
    std::optional<std::string> Accept(int entry, const std::string& text,
                                      std::string& error) const override;

private:
    std::optional<std::string> AcceptPath(const std::string& typed, std::string& error) const;

    int m_port;
    std::string m_device;
    TDeviceTree m_tree;
    std::string m_profileFolder;
    std::vector<TDeviceEntry> m_entries;
    int m_current = -1;
};

} // namespace sornafex
