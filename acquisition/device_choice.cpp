#include "acquisition/device_choice.h"

#include "base/uRes.h"
#include "serial/sim_com_device.h"

namespace sornafex {

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Joined(const std::string& first, const std::string& second) {
    if (first.empty() || second.empty())
        return first + second;
    return first + " - " + second;
}

} // namespace

TPortDeviceChoice::TPortDeviceChoice(int port, std::string current, TDeviceTree tree)
    : m_port(port), m_device(std::move(current)), m_tree(std::move(tree)) {
    Refresh();
}

std::string TPortDeviceChoice::Caption() const {
    return res::FormatInt(res::kDeviceDialogCaptionFormat, m_port);
}

void TPortDeviceChoice::Refresh() {
    m_entries.clear();
    m_current = -1;
    const bool simulated = m_device.starts_with(kSimPrefix);
    for (const TSerialDevice& device : m_tree.SerialDevices()) {
        TDeviceEntry entry{device.stableName, device.kernelName, device.description, false};
        if (!device.accessible)
            entry.description =
                Joined(res::FormatStr(res::kDeniedInListFormat, device.group), entry.description);
        if (m_device == device.stableName || m_device == device.node)
            m_current = static_cast<int>(m_entries.size());
        m_entries.push_back(std::move(entry));
    }
    if (m_current < 0 && !simulated && !m_device.empty()) {
        m_current = static_cast<int>(m_entries.size());
        m_entries.push_back(TDeviceEntry{
            m_device, {}, m_tree.Present(m_device) ? "" : std::string(res::kReasonAbsent), false});
    }
    if (simulated)
        m_current = static_cast<int>(m_entries.size());
    m_entries.push_back(TDeviceEntry{
        std::string(res::kSimulatedSensor), {}, std::string(res::kSimulatedSensorDetail), true});
}

std::string TPortDeviceChoice::Frequency() const {
    if (!m_device.starts_with(kSimPrefix))
        return {};
    return m_device.substr(kSimPrefix.size());
}

std::optional<std::string> TPortDeviceChoice::Accept(int entry, const std::string& frequency,
                                                     std::string& error) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_entries.size()) {
        error = res::kNoDeviceChosen;
        return std::nullopt;
    }
    const TDeviceEntry& chosen = m_entries[static_cast<std::size_t>(entry)];
    if (!chosen.simulated)
        return chosen.name;
    const std::string value = std::string(kSimPrefix) + Trimmed(frequency);
    if (!ParseSimSpec(value)) {
        error = res::kBadSimFrequency;
        return std::nullopt;
    }
    return value;
}

} // namespace sornafex
