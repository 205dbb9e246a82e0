#include "serial/port_device_map.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

// The default device of a port, spelt from the map's own prefix: these tests check the numbering,
// they never open anything.
std::string Default(const char* number) {
    return std::string(TPortDeviceMap::kDefaultDevicePrefix) + number;
}

TEST(PortDeviceMap, UnmappedPortsUseTheSerialDeviceOneBelowTheirNumber) {
    const TPortDeviceMap map;
    EXPECT_EQ(map.DeviceFor(1), Default("0"));
    EXPECT_EQ(map.DeviceFor(2), Default("1"));
    EXPECT_EQ(map.DeviceFor(50), Default("49"));
    EXPECT_FALSE(map.IsMapped(1));
}

TEST(PortDeviceMap, MappedPortsUseTheirValueWithoutSurroundingBlanks) {
    TPortDeviceMap map;
    map.Set(1, "  sim:40-90 ");
    map.Set(2, "/dev/usb-serial-adapter");
    EXPECT_EQ(map.DeviceFor(1), "sim:40-90");
    EXPECT_EQ(map.DeviceFor(2), "/dev/usb-serial-adapter");
    EXPECT_EQ(map.DeviceFor(3), Default("2"));
}

TEST(PortDeviceMap, AnEmptyValueRemovesTheMapping) {
    TPortDeviceMap map;
    map.Set(4, "sim:1");
    map.Set(4, "   ");
    EXPECT_FALSE(map.IsMapped(4));
    EXPECT_EQ(map.DeviceFor(4), Default("3"));
}

TEST(PortDeviceMap, OnlyPortsOneToFiftyCanBeMapped) {
    TPortDeviceMap map;
    map.Set(0, "sim:1");
    map.Set(51, "sim:1");
    EXPECT_FALSE(map.IsMapped(0));
    EXPECT_FALSE(map.IsMapped(51));
    EXPECT_EQ(map.DeviceFor(51), Default("50"));
    map.Set(50, "sim:2");
    EXPECT_EQ(map.DeviceFor(50), "sim:2");
}

TEST(PortDeviceMap, KeysOfSectionCom) {
    EXPECT_EQ(TPortDeviceMap::kSection, "Com");
    EXPECT_EQ(TPortDeviceMap::KeyName(1), "Device1");
    EXPECT_EQ(TPortDeviceMap::KeyName(50), "Device50");
}

} // namespace
} // namespace sornafex
