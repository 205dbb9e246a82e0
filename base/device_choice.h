#pragma once

// What the device dialog of a port shows and how it checks its answer, without the toolkit: the
// dialog (TUiServices::ChooseDevice) shows the entries, lets the user pick one and type a
// frequency for the simulated sensor, re-reads the entries on "Actualiser" and asks Accept for
// the value to keep. Texts are UTF-8, as the user reads them.

#include <optional>
#include <string>
#include <vector>

namespace sornafex {

struct TDeviceEntry {
    std::string name;        // the stable device name, or "Capteur simulé"
    std::string kernelName;  // "ttyUSB0"; empty for the simulated sensor
    std::string description; // what the system says of it, or why it cannot be used
    bool simulated = false;  // the entry that takes a frequency
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
    // The frequency to show first: the current sensor's, or empty.
    virtual std::string Frequency() const = 0;
    // The value to keep for entry (with the frequency typed, for the sensor's entry); nullopt,
    // with error set to the message to show, when it is not one to keep.
    virtual std::optional<std::string> Accept(int entry, const std::string& frequency,
                                              std::string& error) const = 0;
};

} // namespace sornafex
