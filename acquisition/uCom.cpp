#include "acquisition/uCom.h"

#include "base/errors.h"
#include "base/uRes.h"
#include "base/ui_bridge.h"
#include "base/ui_services.h"
#include "serial/ComPort.h"
#include "serial/PortProbe.h"

#include <chrono>
#include <thread>

namespace sornafex {

namespace {

// Between two rounds of message processing a wait gives the processor back for a moment: the
// interface stays responsive without spinning a core for the whole wait.
constexpr auto kWaitRoundPause = std::chrono::milliseconds(1);

} // namespace

std::string ComPortName(int n, const TPortDeviceMap& devices) {
    return devices.DeviceFor(n);
}

std::string ComListName(int n) {
    return PortListName(n);
}

bool ProbeComPort(int n, const TPortDeviceMap& devices, const TDeviceTree& tree) {
    return ProbePort(n, devices, tree);
}

void ListComPorts(std::vector<std::string>& list, const TPortDeviceMap& devices,
                  const TDeviceTree& tree) {
    list = ListPresentPorts(devices, tree);
}

bool ProcessMessagesUntil(TUiBridge& bridge, const std::function<bool()>& done, std::uint32_t ms,
                          const TTickSource& tickCount) {
    const TTickCount start = tickCount();
    for (;;) {
        bridge.ProcessMessages();
        if (done())
            return true;
        if (static_cast<TTickCount>(tickCount() - start) > ms)
            return false;
        std::this_thread::sleep_for(kWaitRoundPause);
    }
}

void ProcessMessagesWhile(TUiBridge& bridge, const std::function<bool()>& busy) {
    for (;;) {
        bridge.ProcessMessages();
        if (!busy())
            return;
        std::this_thread::sleep_for(kWaitRoundPause);
    }
}

void WaitWithMessages(TUiBridge& bridge, std::uint32_t ms, const TTickSource& tickCount) {
    ProcessMessagesUntil(
        bridge, [] { return false; }, ms, tickCount);
}

void CheckPortOpen(const TCustomComPort& port, TUiServices& ui, int switchingTo) {
    if (port.Open() && switchingTo == 0)
        return;
    const int number = switchingTo != 0 ? switchingTo : port.ComNumber();
    ui.ShowMessage(res::FormatInt(res::Text(res::TMsg::sPortClosed), number));
    throw EAbort();
}

bool ReadPortDCD(const TCustomComPort& port) {
    return port.CarrierLevel();
}

} // namespace sornafex
