#pragma once

// A machine's /dev and /sys in a scratch folder, for TDeviceTree and what uses it. Device nodes
// are links to /dev/null: character devices that are harmless to look at (nothing here ever
// opens them). Header-only, shared by the tests of the folders that look for devices.

#include "serial/device_tree.h"
#include "tests/support/test_files.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace sornafex::test {

class TFakeDeviceTree {
public:
    const std::string& Root() const { return m_folder.Path(); }
    TDeviceTree Tree() const { return TDeviceTree(Root()); }

    // A character device at path (a system path such as "/dev/ttyUSB0").
    void Node(const std::string& path) { Link(path, "/dev/null"); }
    void Link(const std::string& path, const std::string& target) {
        Folder(std::filesystem::path(path).parent_path().string());
        std::error_code error;
        std::filesystem::create_symlink(target, Root() + path, error);
        ASSERT_FALSE(error) << path << ": " << error.message();
    }
    void File(const std::string& path, const std::string& text) {
        Folder(std::filesystem::path(path).parent_path().string());
        WriteBytes(Root() + path, text);
    }
    void Folder(const std::string& path) { std::filesystem::create_directories(Root() + path); }

    // A ttyS port: its node, and sysfs' UART type (0: a port the 8250 driver made up).
    void Uart(int n, int type) {
        const std::string name = UartName(n);
        Node("/dev/" + name);
        File("/sys/class/tty/" + name + "/type", std::to_string(type) + "\n");
    }
    // The kernel's name of the n-th UART and its system path, which the tree serves from Root().
    static std::string UartName(int n) { return "ttyS" + std::to_string(n); }
    static std::string UartNode(int n) { return "/dev/" + UartName(n); }
    // A USB adapter with what its maker wrote into it, and its /dev/serial/by-id/ link.
    void UsbAdapter(const std::string& name, const std::string& manufacturer,
                    const std::string& product, const std::string& serial,
                    const std::string& byId) {
        const std::string usb = "/sys/devices/pci0000:00/usb1/1-" + name;
        File(usb + "/idVendor", "0403\n");
        File(usb + "/idProduct", "6001\n");
        File(usb + "/manufacturer", manufacturer + "\n");
        File(usb + "/product", product + "\n");
        File(usb + "/serial", serial + "\n");
        Folder(usb + "/1-1:1.0/" + name);
        Link("/sys/class/tty/" + name + "/device", "../../../.." + usb + "/1-1:1.0/" + name);
        Node("/dev/" + name);
        if (!byId.empty())
            Link("/dev/serial/by-id/" + byId, "../../" + name);
    }

private:
    TScratchFolder m_folder;
};

} // namespace sornafex::test
