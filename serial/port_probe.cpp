#include "serial/port_probe.h"

#include "base/uRes.h"

namespace sornafex {

bool ProbeDevicePresent(const std::string& device, const TDeviceTree& tree) {
    return tree.Present(device);
}

bool ProbePort(int n, const TPortDeviceMap& devices, const TDeviceTree& tree) {
    return n != 0 && ProbeDevicePresent(devices.DeviceFor(n), tree);
}

std::vector<std::string> ListPresentPorts(const TPortDeviceMap& devices, const TDeviceTree& tree) {
    std::vector<std::string> list;
    for (int n = TPortDeviceMap::kFirstPort; n <= TPortDeviceMap::kLastPort; ++n) {
        if (ProbePort(n, devices, tree))
            list.push_back(res::PortName(n));
    }
    return list;
}

} // namespace sornafex
