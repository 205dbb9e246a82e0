#include "acquisition/uCom.h"

#include "acquisition/capture_pacing.h"
#include "base/errors.h"
#include "base/uRes.h"
#include "base/ui_bridge.h"
#include "base/ui_services.h"
#include "serial/ComPort.h"
#include "serial/port_probe.h"

#include <algorithm>

namespace sornafex {

std::string ComPortName(int n, const TPortDeviceMap& devices) {
    return devices.DeviceFor(n);
}

bool ProbeComPort(int n, const TPortDeviceMap& devices, const TDeviceTree& tree) {
    return ProbePort(n, devices, tree);
}

void ListComPorts(std::vector<std::string>& list, const TPortDeviceMap& devices,
                  const TDeviceTree& tree) {
    list = ListPresentPorts(devices, tree);
}

std::function<bool()> MsPassed(std::uint32_t ms, const TTickSource& tickCount) {
    return [ms, tickCount, start = tickCount()] {
        return static_cast<TTickCount>(tickCount() - start) > ms;
    };
}

void WaitWithMessages(TUiBridge& bridge, std::uint32_t ms, const TTickSource& tickCount) {
    bridge.ProcessMessagesUntil([] { return false; }, MsPassed(ms, tickCount));
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

bool TCountedPortLine::Counts() const {
    std::uint32_t changes = 0;
    std::uint32_t open = 0;
    return m_port.CarrierChanges(changes, open);
}

TCountedPoll TCountedPortLine::operator()() const {
    TCountedPoll poll;
    poll.counted = m_port.CarrierChanges(poll.changes, poll.open);
    if (!poll.counted)
        poll.level = ReadPortDCD(m_port);
    return poll;
}

std::optional<TMonoNs> TCountedPortLine::WaitForChange(TMonoNs until) const {
    const TCarrierWait wait = m_port.WaitCarrierChange(until, m_stop);
    switch (wait.outcome) {
    case TCarrierWaitOutcome::Changed:
        return wait.changedAfter;
    case TCarrierWaitOutcome::Ended:
        return std::nullopt;
    case TCarrierWaitOutcome::Unsupported:
    case TCarrierWaitOutcome::Lost:
        break;
    }
    SleepUntil(std::min(until, MonotonicNs() + TPacedPolling::kQuietLook));
    return std::nullopt;
}

} // namespace sornafex
