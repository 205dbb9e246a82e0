#pragma once

// Doubles shared by the acquisition tests: a main window that records what the acquisition area
// did to it, and a device factory that never lets a test reach a real serial device.

#include "acquisition/acquisition.h"
#include "serial/com_device.h"
#include "serial/port_device_map.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sornafex::test {

class TRecordingAcquisitionView final : public TAcquisitionView {
public:
    std::array<std::string, 3> panels;
    std::array<std::string, 3> toolTips;
    std::map<TCaptureAction, bool> enabled;
    // Every SetActionEnabled call, in order.
    std::vector<TCaptureAction> enableOrder;
    int checkedPort = 1; // "Com 1" carries the check mark when the window is created
    int waitCursorDepth = 0;
    int waitCursorShown = 0;
    int titleHides = 0;
    std::vector<TSample> samples;
    std::vector<TPortEvent> portEvents;
    // Called at SetPanelText / ShowWaitCursor / RestoreCursor / AddSample, when set.
    std::function<void(int panel, const std::string& text)> onPanelText;
    std::function<void()> onWaitCursor;
    std::function<void()> onRestoreCursor;
    std::function<void(TSample)> onSample;

    void SetPanelText(int panel, const std::string& text) override {
        panels.at(panel) = text;
        if (onPanelText)
            onPanelText(panel, text);
    }
    std::string PanelText(int panel) const override { return panels.at(panel); }
    void SetPanelToolTip(int panel, const std::string& text) override { toolTips.at(panel) = text; }
    void ShowWaitCursor() override {
        ++waitCursorDepth;
        ++waitCursorShown;
        if (onWaitCursor)
            onWaitCursor();
    }
    void RestoreCursor() override {
        EXPECT_GT(waitCursorDepth, 0) << "cursor restored that was never changed";
        --waitCursorDepth;
        if (onRestoreCursor)
            onRestoreCursor();
    }
    void SetActionEnabled(TCaptureAction action, bool on) override {
        enabled[action] = on;
        enableOrder.push_back(action);
    }
    void SetPortChecked(int port) override { checkedPort = port; }
    void HideNoDataTitle() override { ++titleHides; }
    void AddSample(TSample sample) override {
        samples.push_back(sample);
        if (onSample)
            onSample(sample);
    }
    void PortEvent(TPortEvent event, TMonoNs) override { portEvents.push_back(event); }
};

// A port map for tests: every port from 1 to 50 is mapped, the given ones to their value and all
// others to a path that does not exist, so that no probe ever opens a real device.
inline TPortDeviceMap TestPortMap(const std::map<int, std::string>& mapped) {
    TPortDeviceMap map;
    for (int n = TPortDeviceMap::kFirstPort; n <= TPortDeviceMap::kLastPort; ++n) {
        const auto it = mapped.find(n);
        map.Set(n, it != mapped.end() ? it->second
                                      : "/nonexistent/sornafex-test/port" + std::to_string(n));
    }
    return map;
}

// The platform's devices, except that a name under /dev/ fails the test and is not opened.
// Records every name asked for.
class TGuardedDeviceFactory {
public:
    TDeviceFactory Factory() {
        return [this](const std::string& name) {
            {
                std::lock_guard lock(m_mutex);
                m_names.push_back(name);
            }
            if (name.rfind("/dev/", 0) == 0) {
                ADD_FAILURE() << "a test asked for the real device " << name;
                return MakeSystemDevice("/nonexistent/sornafex-test/refused");
            }
            return MakeSystemDevice(name);
        };
    }
    std::vector<std::string> Names() const {
        std::lock_guard lock(m_mutex);
        return m_names;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_names;
};

} // namespace sornafex::test
