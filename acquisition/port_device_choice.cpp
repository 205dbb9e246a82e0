#include "acquisition/port_device_choice.h"

#include "base/uRes.h"
#include "serial/sim_com_device.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sys/stat.h>

namespace sornafex {

namespace {

namespace fs = std::filesystem;

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

// "F" or "F1-F2" as a person types it: blanks around the numbers, a decimal comma, the bounds in
// either order. The value keeps the numbers as typed, the lower bound first.
std::optional<std::string> SensorValue(std::string typed) {
    std::replace(typed.begin(), typed.end(), ',', '.');
    // Only numbers: "file:..." is the profile's entry.
    if (typed.find(':') != std::string::npos)
        return std::nullopt;
    const auto dash = typed.find('-');
    std::string low = Trimmed(typed.substr(0, dash));
    std::string high = dash == std::string::npos ? std::string() : Trimmed(typed.substr(dash + 1));
    const std::string prefix(kSimPrefix);
    auto value = prefix + low + (dash == std::string::npos ? "" : "-" + high);
    const auto sensor = ParseSimSpec(value);
    if (!sensor)
        return std::nullopt;
    if (sensor->low > sensor->high)
        value = prefix + high + "-" + low;
    return value;
}

bool IsFullPath(const std::string& path) {
    return path.starts_with('/');
}

std::optional<std::string> ProfileValue(const std::string& typed, std::string& error) {
    const std::string path = Trimmed(typed);
    if (!IsFullPath(path)) {
        error = res::kProfilePathNeeded;
        return std::nullopt;
    }
    std::string value = std::string(kSimProfilePrefix) + fs::path(path).lexically_normal().string();
    // The very check the sensor makes when the port opens.
    if (std::string reason; !ParseSimSpec(value, &reason)) {
        // A sentence of its own in the message box.
        reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
        error = std::move(reason);
        return std::nullopt;
    }
    return value;
}

} // namespace

TPortDeviceChoice::TPortDeviceChoice(int port, std::string current, TDeviceTree tree,
                                     std::string profileFolder)
    : m_port(port), m_device(std::move(current)), m_tree(std::move(tree)),
      m_profileFolder(std::move(profileFolder)) {
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
        TDeviceEntry entry{device.stableName, device.kernelName, device.description};
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
            m_device, {}, m_tree.Present(m_device) ? "" : std::string(res::kReasonAbsent)});
    }
    m_entries.push_back(TDeviceEntry{std::string(res::kOtherDevice),
                                     {},
                                     std::string(res::kOtherDeviceDetail),
                                     TDeviceEntryKind::Path});
    if (simulated && !m_device.starts_with(kSimProfilePrefix))
        m_current = static_cast<int>(m_entries.size());
    m_entries.push_back(TDeviceEntry{std::string(res::kSimulatedSensor),
                                     {},
                                     std::string(res::kSimulatedSensorDetail),
                                     TDeviceEntryKind::Sensor});
    if (m_device.starts_with(kSimProfilePrefix))
        m_current = static_cast<int>(m_entries.size());
    m_entries.push_back(TDeviceEntry{std::string(res::kProfileSensor),
                                     {},
                                     std::string(res::kProfileSensorDetail),
                                     TDeviceEntryKind::Profile});
}

std::string TPortDeviceChoice::FieldText(TDeviceEntryKind kind) const {
    const bool profile = m_device.starts_with(kSimProfilePrefix);
    if (kind == TDeviceEntryKind::Profile && profile)
        return m_device.substr(kSimProfilePrefix.size());
    if (kind == TDeviceEntryKind::Sensor && !profile && m_device.starts_with(kSimPrefix))
        return m_device.substr(kSimPrefix.size());
    return {};
}

TFileDialogOptions TPortDeviceChoice::ProfileBrowsing(const std::string& typed) const {
    TFileDialogOptions options;
    options.filter = res::kProfileFilter;
    options.initialDir = m_profileFolder;
    const std::string path = Trimmed(typed);
    if (IsFullPath(path)) {
        const fs::path file(path);
        options.initialDir = file.parent_path().string() + "/";
        options.fileName = file.filename().string();
    }
    return options;
}

std::optional<std::string> TPortDeviceChoice::AcceptPath(const std::string& typed,
                                                         std::string& error) const {
    const std::string path = Trimmed(typed);
    if (!IsFullPath(path)) {
        error = res::kDevicePathNeeded;
        return std::nullopt;
    }
    if (m_tree.Present(path))
        return path;
    // Only the words differ: the probe has decided.
    struct stat info {};
    const bool other = ::stat((m_tree.Root() + path).c_str(), &info) == 0 && !S_ISCHR(info.st_mode);
    error = res::FormatStr(other ? res::kNotADeviceFormat : res::kDeviceAbsentFormat, path);
    return std::nullopt;
}

std::optional<std::string> TPortDeviceChoice::Accept(int entry, const std::string& text,
                                                     std::string& error) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_entries.size()) {
        error = res::kNoDeviceChosen;
        return std::nullopt;
    }
    const TDeviceEntry& chosen = m_entries[static_cast<std::size_t>(entry)];
    switch (chosen.kind) {
    case TDeviceEntryKind::Device:
        return chosen.name;
    case TDeviceEntryKind::Path:
        return AcceptPath(text, error);
    case TDeviceEntryKind::Sensor:
        if (auto value = SensorValue(text))
            return value;
        error = res::kBadSimFrequency;
        return std::nullopt;
    case TDeviceEntryKind::Profile:
        return ProfileValue(text, error);
    }
    return std::nullopt;
}

} // namespace sornafex
