#pragma once

// Which ports are there. The one probe of the serial layer, used by the start-up detection and by
// the list of the "Select Port" dialog.

#include "serial/ComDevice.h"
#include "serial/PortDeviceMap.h"

#include <string>
#include <vector>

namespace sornafex {

// Whether the device of a port is there: its exclusive open through a dispatcher of its own
// (sizes 64 and 64) succeeds, and is undone at once, or is refused because the device is held
// elsewhere (system code 5). Never starts a thread; never shows anything. When systemCode or
// reason are given they receive the failure of a refused open (0 and empty on success).
bool ProbeDevicePresent(const std::string& device, const TDeviceFactory& factory = {},
                        int* systemCode = nullptr, std::string* reason = nullptr);

// Whether port n is there: false for port 0, else the probe of the device the map gives it.
bool ProbePort(int n, const TPortDeviceMap& devices, const TDeviceFactory& factory = {});

// The name of port n in a list of ports: "COM<n>".
std::string PortListName(int n);

// The list names of the present ports among the map's ports (COM1 to COM50), in increasing order.
std::vector<std::string> ListPresentPorts(const TPortDeviceMap& devices,
                                          const TDeviceFactory& factory = {});

} // namespace sornafex
