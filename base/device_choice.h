#pragma once

// What the device dialog of a port shows and how it checks its answer, without the toolkit: the
// dialog (TUiServices::ChooseDevice) shows the entries, lets the user pick one and fill in the
// field of its kind, re-reads the entries on "Actualiser" and asks Accept for the value to keep.
// Texts are UTF-8, as the user reads them.

#include "base/ui_services.h"

#include <optional>
#include <string>
#include <vector>

namespace sornafex {

enum class TDeviceEntryKind {
    Device,  // a device of the machine, or the port's current one: its name is the value
    Path,    // the device whose path is typed in
    Sensor,  // the simulated sensor, at the frequency typed in
    Profile, // the simulated sensor following the profile file typed in or chosen
};

struct TDeviceEntry {
    std::string name;        // the stable device name, or what the entry offers
    std::string kernelName;  // "ttyUSB0"; empty but for the machine's devices
    std::string description; // what the system says of it, why it cannot be used, what to type
    TDeviceEntryKind kind = TDeviceEntryKind::Device;
};

class TDeviceChoice {
public:
    virtual ~TDeviceChoice() = default;

    // "Périphérique du port Com n".
    virtual std::string Caption() const = 0;
    virtual const std::vector<TDeviceEntry>& Entries() const = 0;
    // Reads the machine's devices again.
    virtual void Refresh() = 0;
    // The entry of the port's current device, or −1 when none of them is.
    virtual int Current() const = 0;
    // What the field of kind shows first: the current sensor's frequency or profile, or empty.
    virtual std::string FieldText(TDeviceEntryKind kind) const = 0;
    // What "Parcourir..." asks the open dialog, given the text of the profile field.
    virtual TFileDialogOptions ProfileBrowsing(const std::string& typed) const = 0;
    // The value to keep for entry, given the text of the field of its kind (unused for a
    // device); nullopt, with error set to the message to show, when it is not one to keep.
    virtual std::optional<std::string> Accept(int entry, const std::string& text,
                                              std::string& error) const = 0;
};

} // namespace sornafex
