#include "serial/port_device_map.h"

namespace sornafex {

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool InRange(int n) {
    return n >= TPortDeviceMap::kFirstPort && n <= TPortDeviceMap::kLastPort;
}

} // namespace

std::string TPortDeviceMap::KeyName(int n) {
    return "Device" + std::to_string(n);
}

std::string TPortDeviceMap::DefaultDevice(int n) {
    return std::string(kDefaultDevicePrefix) + std::to_string(n - 1);
}

void TPortDeviceMap::Set(int n, std::string_view device) {
    if (InRange(n))
        m_devices[static_cast<std::size_t>(n - 1)] = std::string(Trimmed(device));
}

std::string TPortDeviceMap::DeviceFor(int n) const {
    if (IsMapped(n))
        return m_devices[static_cast<std::size_t>(n - 1)];
    return DefaultDevice(n);
}

bool TPortDeviceMap::IsMapped(int n) const {
    return InRange(n) && !m_devices[static_cast<std::size_t>(n - 1)].empty();
}

} // namespace sornafex
