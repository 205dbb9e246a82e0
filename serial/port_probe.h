#pragma once

// Which ports are there. The one probe of the serial layer, used by the start-up detection and by
// the list of the "Select Port" dialog. It opens nothing: opening a tty raises DTR even without
// blocking, drops it at close and leaves the opener's line settings behind, and a port the
// program does not keep (a console's line, another program's free port) must stay as it was.

#include "serial/device_tree.h"
#include "serial/port_device_map.h"

#include <string>
#include <vector>

namespace sornafex {

// Whether the device of a port is there (TDeviceTree::Present): a well-formed simulated sensor
// (for a profile, a file that parses), or a character device node, a ttyS port with a known UART
// type. A device that another program
// holds is there too. Never shows anything.
bool ProbeDevicePresent(const std::string& device, const TDeviceTree& tree = TDeviceTree());

// Whether port n is there: false for port 0, else the probe of the device the map gives it.
bool ProbePort(int n, const TPortDeviceMap& devices, const TDeviceTree& tree = TDeviceTree());

// The list names of the present ports among the map's ports (COM1 to COM50), in increasing order.
std::vector<std::string> ListPresentPorts(const TPortDeviceMap& devices,
                                          const TDeviceTree& tree = TDeviceTree());

} // namespace sornafex
