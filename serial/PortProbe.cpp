#include "serial/PortProbe.h"

#include "base/uRes.h"
#include "serial/ComDispatcher.h"

namespace sornafex {

namespace {

// Queue sizes the probe asks for; nothing is ever sent or received through them.
constexpr std::uint32_t kProbeQueueSize = 64;

} // namespace

bool ProbeDevicePresent(const std::string& device, const TDeviceFactory& factory, int* systemCode,
                        std::string* reason) {
    TComDispatcher dispatcher(nullptr, nullptr, factory);
    const int handle = dispatcher.OpenDevice(device, kProbeQueueSize, kProbeQueueSize);
    if (systemCode)
        *systemCode = handle >= 0 ? 0 : dispatcher.LastSystemError();
    if (reason)
        *reason = handle >= 0 ? std::string() : dispatcher.LastSystemErrorText();
    // Any descriptor is a success, 0 included: a program started with its standard input closed
    // gets descriptor 0 for the first device it opens.
    if (handle >= 0) {
        dispatcher.CloseDevice();
        return true;
    }
    // Refused because busy or not permitted: the device is there, someone else has it.
    return handle == -1 && dispatcher.LastSystemError() == kSysAccessDenied;
}

bool ProbePort(int n, const TPortDeviceMap& devices, const TDeviceFactory& factory) {
    return n != 0 && ProbeDevicePresent(devices.DeviceFor(n), factory);
}

std::string PortListName(int n) {
    return res::FormatInt(res::kPortNameFormat, n);
}

std::vector<std::string> ListPresentPorts(const TPortDeviceMap& devices,
                                          const TDeviceFactory& factory) {
    std::vector<std::string> list;
    for (int n = TPortDeviceMap::kFirstPort; n <= TPortDeviceMap::kLastPort; ++n) {
        if (ProbePort(n, devices, factory))
            list.push_back(PortListName(n));
    }
    return list;
}

} // namespace sornafex
