#pragma once

// Which device stands behind a port number. The preferences file may map ports 1 to 50 under
// section "Com", keys "Device1" to "Device50", to a device path or a simulated sensor ("sim:40",
// "sim:40-90"); the program fills this map from it at start-up, before the ports are probed, and
// never writes those keys back. An unmapped port n is "/dev/ttyS<n-1>".
//
// A plain value type, read on the UI thread; the port component and the probe keep a copy.

#include <array>
#include <string>
#include <string_view>

namespace sornafex {

class TPortDeviceMap {
public:
    static constexpr int kFirstPort = 1;
    static constexpr int kLastPort = 50;
    static constexpr std::string_view kSection = "Com";
    // The motherboard serial ports: port n is this prefix followed by n - 1.
    static constexpr std::string_view kDefaultDevicePrefix = "/dev/ttyS";

    // The key of port n: "Device<n>".
    static std::string KeyName(int n);
    // The device of a port that is not mapped: "/dev/ttyS<n-1>".
    static std::string DefaultDevice(int n);

    // Maps port n (1 to 50) to device; an empty device (or a blank one) removes the mapping.
    // Numbers outside 1 to 50 are ignored: those ports always use the default.
    void Set(int n, std::string_view device);
    // The device of port n: the mapped value with surrounding blanks removed, else the default.
    std::string DeviceFor(int n) const;
    bool IsMapped(int n) const;

private:
    std::array<std::string, kLastPort> m_devices;
};

} // namespace sornafex
