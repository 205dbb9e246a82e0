#include "serial/device_tree.h"

#include "serial/sim_com_device.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <linux/major.h>
#include <pwd.h>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace sornafex {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinkHops = 8;
// Room for one entry of the passwd or group database.
constexpr std::size_t kDatabaseBuffer = 16384;

// Serial kernel names, in the order the list shows them: adapters first.
constexpr std::array<std::string_view, 3> kSerialPrefixes = {"ttyUSB", "ttyACM", "ttyS"};
constexpr std::string_view kUartPrefix = "ttyS";

// The UART types of the serial core by their sysfs numbers, the common ones.
constexpr std::array<std::string_view, 13> kUartTypes = {
    "",        "8250",  "16450",    "16550",  "16550A", "Cirrus", "16650",
    "16650V2", "16750", "Startech", "16C950", "16654",  "16850"};

bool IsCharDevice(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// The first line of a small sysfs or proc file, without its line end; empty when unreadable.
std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

std::optional<std::string> ReadLink(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target)
        return std::nullopt;
    return std::string(target, static_cast<std::size_t>(length));
}

// Which prefix of kSerialPrefixes name has, followed by digits only; npos when none.
std::size_t SerialPrefix(std::string_view name) {
    for (std::size_t i = 0; i < kSerialPrefixes.size(); ++i) {
        const std::string_view prefix = kSerialPrefixes[i];
        if (name.size() > prefix.size() && name.starts_with(prefix) &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }))
            return i;
    }
    return std::string_view::npos;
}

int NameNumber(std::string_view name, std::size_t prefix) {
    int number = 0;
    const std::string_view digits = name.substr(kSerialPrefixes[prefix].size());
    std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return number;
}

struct TGroupEntry {
    std::string name;
    std::vector<std::string> members;
};

std::optional<TGroupEntry> LookUpGroup(gid_t gid) {
    std::vector<char> buffer(kDatabaseBuffer);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    TGroupEntry group{found->gr_name, {}};
    for (char** member = found->gr_mem; member && *member; ++member)
        group.members.emplace_back(*member);
    return group;
}

// The entries of a folder, skipping what cannot be read; never throws.
std::vector<fs::path> Entries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
        entries.push_back(it->path());
    return entries;
}

bool Within(const fs::path& path, const fs::path& folder) {
    const std::string inner = path.string();
    const std::string outer = folder.string();
    return inner.size() > outer.size() && inner.starts_with(outer) && inner[outer.size()] == '/';
}

} // namespace

bool TDeviceTree::Present(const std::string& device) const {
    if (device.starts_with(kSimPrefix))
        return ParseSimSpec(device).has_value();
    if (device.empty() || !IsCharDevice(Under(device)))
        return false;
    const std::string kernel = KernelName(device);
    return !kernel.starts_with(kUartPrefix) || UartKnown(kernel) != 0;
}

std::string TDeviceTree::KernelName(const std::string& device) const {
    // Names only, each link read where the system would read it: a test tree's nodes may
    // themselves be links to a harmless device outside it.
    fs::path path(device);
    std::string kernel;
    for (int hop = 0;; ++hop) {
        const std::string name = path.filename().string();
        if (name.starts_with("tty"))
            kernel = name;
        const auto target = hop < kMaxLinkHops ? ReadLink(Under(path.string())) : std::nullopt;
        if (!target)
            return kernel;
        const fs::path next(*target);
        path = next.is_absolute() ? next : (path.parent_path() / next).lexically_normal();
    }
}

int TDeviceTree::UartKnown(const std::string& kernelName) const {
    const fs::path classes = Under("/sys/class/tty");
    std::error_code error;
    if (!fs::is_directory(classes, error))
        return -1; // no sysfs to ask: the node is all there is to go by
    const std::string type = FirstLine(classes / kernelName / "type");
    int value = 0;
    const auto [end, parsed] = std::from_chars(type.data(), type.data() + type.size(), value);
    return parsed == std::errc() && end == type.data() + type.size() && value != 0 ? 1 : 0;
}

bool TDeviceTree::SerialLine(dev_t rdev) const {
    if (rdev == ControllingTerminal())
        return false;
    const unsigned int number = major(rdev);
    if (number >= UNIX98_PTY_SLAVE_MAJOR &&
        number < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT)
        return true;
    // Pseudo-terminals aside, every tty the kernel knows is in sysfs' tty class; those with a
    // device behind them are lines to a port, the others the kernel's own terminals.
    const fs::path entry =
        Under("/sys/dev/char/" + std::to_string(number) + ":" + std::to_string(minor(rdev)));
    std::error_code error;
    const fs::path subsystem = fs::read_symlink(entry / "subsystem", error);
    return !error && subsystem.filename() == "tty" && fs::exists(entry / "device", error);
}

dev_t TDeviceTree::ControllingTerminal() const {
    // The seventh field of stat, counted after the command's name, which may itself hold spaces
    // or parentheses: the last ')' ends it.
    std::ifstream in(Under("/proc/self/stat"));
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto name = stat.rfind(')');
    if (name == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(name + 1));
    std::string state;
    long long parent = 0, group = 0, session = 0, terminal = 0;
    if (!(fields >> state >> parent >> group >> session >> terminal) || terminal == 0)
        return 0;
    const auto encoded = static_cast<unsigned long long>(terminal);
    return makedev((encoded >> 8) & 0xFFF, (encoded & 0xFF) | ((encoded >> 12) & 0xFFF00));
}

std::vector<TSerialDevice> TDeviceTree::SerialDevices() const {
    std::vector<TSerialDevice> devices;
    for (const fs::path& entry : Entries(Under("/sys/class/tty"))) {
        const std::string name = entry.filename().string();
        if (SerialPrefix(name) == std::string_view::npos)
            continue;
        if (name.starts_with(kUartPrefix) && UartKnown(name) != 1)
            continue;
        TSerialDevice device;
        device.kernelName = name;
        device.node = "/dev/" + name;
        const std::string node = Under(device.node);
        struct stat info {};
        if (::stat(node.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
            continue;
        device.stableName = device.node;
        for (const fs::path& link : Entries(Under("/dev/serial/by-id"))) {
            const auto target = ReadLink(link.string());
            if (!target)
                continue;
            const fs::path resolved =
                fs::path(*target).is_absolute()
                    ? fs::path(*target)
                    : (fs::path("/dev/serial/by-id") / *target).lexically_normal();
            const std::string stable = "/dev/serial/by-id/" + link.filename().string();
            // Several links may name one node (one per interface): the first in name order.
            if (resolved == device.node &&
                (device.stableName == device.node || stable < device.stableName))
                device.stableName = stable;
        }
        device.description = Description(name);
        device.accessible = ::faccessat(AT_FDCWD, node.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
        const auto group = LookUpGroup(info.st_gid);
        device.group = group ? group->name : std::to_string(info.st_gid);
        devices.push_back(std::move(device));
    }
    std::sort(devices.begin(), devices.end(), [](const TSerialDevice& a, const TSerialDevice& b) {
        const std::size_t pa = SerialPrefix(a.kernelName);
        const std::size_t pb = SerialPrefix(b.kernelName);
        if (pa != pb)
            return pa < pb;
        return NameNumber(a.kernelName, pa) < NameNumber(b.kernelName, pb);
    });
    return devices;
}

std::string TDeviceTree::Description(const std::string& kernelName) const {
    if (kernelName.starts_with(kUartPrefix)) {
        const std::string type = FirstLine(Under("/sys/class/tty/" + kernelName + "/type"));
        int number = 0;
        std::from_chars(type.data(), type.data() + type.size(), number);
        return number > 0 && static_cast<std::size_t>(number) < kUartTypes.size()
                   ? "UART " + std::string(kUartTypes[static_cast<std::size_t>(number)])
                   : "UART " + type;
    }
    std::error_code error;
    const fs::path sys = fs::canonical(Under("/sys"), error);
    if (error)
        return {};
    const fs::path device = fs::canonical(Under("/sys/class/tty/" + kernelName + "/device"), error);
    if (error)
        return {};
    // A USB adapter: the first folder above the tty's that names a vendor holds what its maker
    // wrote into it.
    for (fs::path folder = device; Within(folder, sys); folder = folder.parent_path()) {
        if (!fs::exists(folder / "idVendor", error))
            continue;
        std::string text;
        for (const char* attribute : {"manufacturer", "product", "serial"}) {
            const std::string value = FirstLine(folder / attribute);
            if (!value.empty())
                text += (text.empty() ? "" : " ") + value;
        }
        if (text.empty())
            text = FirstLine(folder / "idVendor") + ":" + FirstLine(folder / "idProduct");
        return text;
    }
    const fs::path driver = fs::read_symlink(device / "driver", error);
    return error ? std::string() : driver.filename().string();
}

std::optional<THolder> TDeviceTree::Holder(const std::string& device) const {
    std::error_code error;
    std::string wanted = fs::canonical(Under(device), error).string();
    if (error)
        return std::nullopt;
    if (!m_root.empty() && wanted.starts_with(m_root))
        wanted.erase(0, m_root.size());
    for (const fs::path& process : Entries(Under("/proc"))) {
        const std::string pidText = process.filename().string();
        int pid = 0;
        const auto [end, parsed] =
            std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
        if (parsed != std::errc() || end != pidText.data() + pidText.size())
            continue;
        for (const fs::path& descriptor : Entries(process / "fd")) {
            if (ReadLink(descriptor.string()) == wanted)
                return THolder{FirstLine(process / "comm"), pid};
        }
    }
    return std::nullopt;
}

TAccessFacts TDeviceTree::AccessFacts(const std::string& device) const {
    TAccessFacts facts;
    struct stat info {};
    if (::stat(Under(device).c_str(), &info) != 0)
        return facts;
    facts.groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    const auto group = LookUpGroup(info.st_gid);
    if (!group)
        return facts;
    facts.group = group->name;

    std::vector<char> buffer(kDatabaseBuffer);
    passwd user{};
    passwd* me = nullptr;
    if (getpwuid_r(::geteuid(), &user, buffer.data(), buffer.size(), &me) == 0 && me)
        facts.accountListed =
            me->pw_gid == info.st_gid || std::find(group->members.begin(), group->members.end(),
                                                   me->pw_name) != group->members.end();

    std::vector<gid_t> held(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(held.size()), held.data());
    held.resize(static_cast<std::size_t>(std::max(count, 0)));
    facts.sessionInGroup = ::getegid() == info.st_gid ||
                           std::find(held.begin(), held.end(), info.st_gid) != held.end();
    return facts;
}

} // namespace sornafex
