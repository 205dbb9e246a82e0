#include "acquisition/uCom.h"

#include "app/errors.h"
#include "app/uRes.h"
#include "app/ui_bridge.h"
#include "app/ui_services.h"
#include "serial/ComDispatcher.h"
#include "serial/ComPort.h"

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
    return res::FormatInt(res::kPortNameFormat, n);
}

bool ProbeComPort(int n, const TPortDeviceMap& devices, const TDeviceFactory& factory) {
    if (n == 0)
        return false;
    TComDispatcher probe(nullptr, nullptr, factory);
    const int handle = probe.OpenDevice(ComPortName(n, devices), kProbeQueueSize, kProbeQueueSize);
    // Any descriptor is a success, 0 included: a program started with its standard input closed
    // gets descriptor 0 for the first device it opens.
    if (handle >= 0) {
        probe.CloseDevice();
        return true;
    }
    // Refused because busy or not permitted: the device is there, someone else has it.
    return handle == -1 && probe.LastSystemError() == kSysAccessDenied;
}

void ListComPorts(std::vector<std::string>& list, const TPortDeviceMap& devices,
                  const TDeviceFactory& factory) {
    list.clear();
    for (int n = kFirstProbedPort; n <= kLastProbedPort; ++n) {
        if (ProbeComPort(n, devices, factory))
            list.push_back(ComListName(n));
    }
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

void CheckPortOpen(const TCustomComPort& port, TUiServices& ui) {
    if (port.Open())
        return;
    ui.ShowMessage(res::FormatInt(res::Text(res::TMsg::sPortClosed), port.ComNumber()));
    throw EAbort();
}

bool ReadPortDCD(const TCustomComPort& port) {
    return port.CarrierLevel();
}

} // namespace sornafex
