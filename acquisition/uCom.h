#pragma once

// Port helpers of the acquisition: which ports exist, their names, the waits that keep the user
// interface alive, and the questions a run asks of the port (is it open, what is DCD, how many
// times did it change).

#include "acquisition/capture_loop.h"
#include "serial/device_tree.h"
#include "serial/port_device_map.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sornafex {

class TCustomComPort;
class TUiBridge;
class TUiServices;

using TTickSource = std::function<TTickCount()>;

// The device that port n opens: the preferences' mapping, else the platform's default.
std::string ComPortName(int n, const TPortDeviceMap& devices);
// Whether port n exists: the serial layer's probe (port_probe.h) of the device the map gives it,
// which opens nothing; absent for port 0. Never shows anything. tree: where devices are looked
// for (the port's).
bool ProbeComPort(int n, const TPortDeviceMap& devices, const TDeviceTree& tree = TDeviceTree());

// Replaces list by the list names of the present ports among COM1 to COM50, in increasing order:
// the same list as the "Select Port" dialog's.
void ListComPorts(std::vector<std::string>& list, const TPortDeviceMap& devices,
                  const TDeviceTree& tree = TDeviceTree());

// True once more than ms milliseconds (an unsigned 32-bit tick difference) have passed since it
// was made: the limit of a TUiBridge::ProcessMessagesUntil.
std::function<bool()> MsPassed(std::uint32_t ms, const TTickSource& tickCount = TickCount);

// Waits until more than ms milliseconds have passed, processing UI messages all the time.
void WaitWithMessages(TUiBridge& bridge, std::uint32_t ms,
                      const TTickSource& tickCount = TickCount);

// Returns when port is open and no port switch is under way (switchingTo 0). Otherwise shows
// "Port com sélectionné (Com <n>) fermé !" in a plain message box, with the number the switch
// goes to or else the port's own, and ends the calling command with EAbort.
void CheckPortOpen(const TCustomComPort& port, TUiServices& ui, int switchingTo = 0);

// The DCD level of port, read live from the device; false, without any device call, when the
// port is not open. Called on the worker thread.
bool ReadPortDCD(const TCustomComPort& port);

// The DCD line of a port whose device's driver counts its changes (TCustomComPort::
// CarrierChanges), as the counting loop reads and waits for it on the worker thread.
class TCountedPortLine {
public:
    // stop: the run's stop flag, which ends a wait once it is set and the port's WakeCarrierWait
    // called.
    TCountedPortLine(const TCustomComPort& port, const std::atomic<bool>& stop)
        : m_port(port), m_stop(stop) {}

    // Whether the port's device counts now.
    bool Counts() const;
    // The count, or the level when the device has none now (the port closed or lost).
    TCountedPoll operator()() const;
    // Sleeps until DCD changes or until: the earliest moment the change may have come, or
    // nullopt. Where the device has no wait now, sleeps until the sooner of until and a quiet
    // line's next look (TPacedPolling::kQuietLook), so that a stop is still seen within
    // milliseconds.
    std::optional<TMonoNs> WaitForChange(TMonoNs until) const;

private:
    const TCustomComPort& m_port;
    const std::atomic<bool>& m_stop;
};

} // namespace sornafex
