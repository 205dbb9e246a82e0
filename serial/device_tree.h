#pragma once

// What this machine's /dev, /sys and /proc say about serial devices, found without opening any of
// them: opening a tty raises DTR even without blocking, drops it again at close and leaves the
// opener's line settings behind, so a look at another program's port must never open it.
//
// Every path is looked up under a root: empty for the system itself; tests give a temporary
// folder holding dev/, sys/ and proc/ trees of their own. Device names stay system paths
// ("/dev/ttyUSB0"); only where they are looked up moves.

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sornafex {

// A serial device that sysfs knows and /dev has a node for.
struct TSerialDevice {
    std::string kernelName; // "ttyUSB0"
    std::string node;       // "/dev/ttyUSB0"
    // The name that survives a replug: the /dev/serial/by-id/ link to the node when there is one,
    // else the node.
    std::string stableName;
    // What sysfs says of it: maker, product and serial number of a USB adapter, the UART type of
    // a ttyS port ("UART 16550A").
    std::string description;
    // Whether this process may open it for reading and writing, and the group that owns it.
    bool accessible = true;
    std::string group;

    bool operator==(const TSerialDevice&) const = default;
};

// What decides the words of an open refused for want of permission: the device's group, whether
// that group may read and write it, whether this account is a member of it in the group
// database, and whether this process holds it (a membership added since the session began is
// not held yet).
struct TAccessFacts {
    std::string group;
    bool groupMayUse = false;
    bool accountListed = false;
    bool sessionInGroup = false;
};

// A process that holds a device open.
struct THolder {
    std::string name; // as /proc/<pid>/comm gives it
    int pid = 0;
};

class TDeviceTree {
public:
    TDeviceTree() = default;
    explicit TDeviceTree(std::string root) : m_root(std::move(root)) {}

    const std::string& Root() const { return m_root; }

    // Whether a device is there: a simulated sensor whose value is well-formed (for a profile, a
    // file that parses, found by its own path and not under the root), or a node that is (or
    // links to) a character device; a ttyS port also needs a UART type other than 0 in sysfs,
    // since the 8250 driver makes nodes for ports that do not exist.
    bool Present(const std::string& device) const;

    // Whether the character device numbered rdev is a serial line that a port may set up, as
    // sysfs and /proc say without opening it: a tty that sysfs shows with a device behind it (a
    // UART, a USB adapter), or the slave side of a pseudo-terminal (the tests' lines); never this
    // process's controlling terminal. Virtual consoles, /dev/tty, /dev/console and /dev/ptmx are
    // ttys with no device behind them; /dev/null is no tty at all.
    bool SerialLine(dev_t rdev) const;

    // ttyUSB*, ttyACM* and the ttyS* ports with a known UART type, sorted by kernel name.
    std::vector<TSerialDevice> SerialDevices() const;

    // Who holds device open, as /proc shows it: the first such process, none when none is
    // visible (another user's processes are hidden from an ordinary account).
    std::optional<THolder> Holder(const std::string& device) const;

    // What the node of device and the group database say about this account's access to it.
    TAccessFacts AccessFacts(const std::string& device) const;

private:
    std::string Under(const std::string& path) const { return m_root + path; }
    // The kernel name behind device: the last tty name along its chain of links.
    std::string KernelName(const std::string& device) const;
    // The device number of this process's controlling terminal, 0 when it has none.
    dev_t ControllingTerminal() const;
    // 1 for a ttyS port with a known UART type, 0 for a ghost, −1 when there is no sysfs.
    int UartKnown(const std::string& kernelName) const;
    // Maker, product and serial number of a USB adapter; the UART type of a ttyS port; the
    // driver's name otherwise.
    std::string Description(const std::string& kernelName) const;

    std::string m_root;
};

} // namespace sornafex
