#include "serial/com_device.h"
#include "serial/linux_com_device.h"
#include "serial/sim_com_device.h"

namespace sornafex {

std::unique_ptr<TComDevice> MakeSystemDevice(const std::string& name) {
    if (name.starts_with(kSimPrefix))
        return std::make_unique<TSimComDevice>();
    return std::make_unique<TLinuxComDevice>();
}

} // namespace sornafex
