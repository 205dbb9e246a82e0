#pragma once

// A recording fake behind the serial device seam. Each fake line is one "hardware" device with
// its settings, its modem lines and a log of every call that configures it, so tests can check
// orders ("DTR and RTS raised before the framing is written"). TFakeDevices hands out a device
// factory that maps names to lines; an unknown name is a missing device.

#include "serial/com_device.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sornafex::test {

class TFakeLine {
public:
    explicit TFakeLine(std::string name) : m_name(std::move(name)) {}

    // ---- What the device does (set before the call happens) ----------------------------------
    // Open fails with this system code and text (0: opens).
    void FailOpen(int systemCode, std::string text = {});
    void FailQueueSizes(int systemCode);
    // The n-th WriteSettings from now (1: the next one) fails with systemCode.
    void FailWriteSettings(int systemCode, int nth = 1);
    void SetSettings(const TComSettings& settings);
    void SetModem(std::uint8_t bits) { m_modem.store(bits); }
    // Makes WaitEvent return events once.
    void PushEvent(std::uint32_t events);
    // The device goes away, as an unplugged adapter: the pending WaitEvent ends with Lost. The
    // next open of the line finds it back.
    void Lose();
    // The next WaitEvent throws (std::runtime_error "device event failure").
    void ThrowInWaitEvent() { m_throwInWait.store(true); }
    // The next Write throws.
    void ThrowInWrite() { m_throwInWrite.store(true); }
    // WaitEvent then ignores mask changes and Close until ReleaseWaiters, which ends that.
    void MakeWaitStubborn() { m_stubborn.store(true); }
    void ReleaseWaiters();
    // ClearError then blocks until ReleaseClearError.
    void BlockClearError() { m_blockClearError.store(true); }
    void ReleaseClearError();
    // ModemStatus then blocks until ReleaseModemStatus (which also ends the blocking).
    void BlockModemStatus() { m_blockModem.store(true); }
    void ReleaseModemStatus();

    // ---- What happened ---------------------------------------------------------------------
    std::vector<std::string> Log() const;
    void ClearLog();
    TComSettings Settings() const;
    bool IsOpen() const { return m_open.load(); }
    bool Dtr() const { return m_dtr.load(); }
    bool Rts() const { return m_rts.load(); }
    int ModemQueries() const { return m_modemQueries.load(); }
    int Opens() const { return m_opens.load(); }
    int Waiters() const { return m_waiters.load(); }
    // Calls now blocked in ClearError, in ModemStatus.
    int BlockedInClearError() const { return m_blockedInClearError.load(); }
    int BlockedInModemStatus() const { return m_blockedInModem.load(); }
    const std::string& Name() const { return m_name; }

private:
    friend class TFakeComDevice;
    void Record(std::string entry);

    std::string m_name;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_log;
    TComSettings m_settings{9600,
                            7,
                            2,
                            kTwoStopBits,
                            TDtrControl::Disable,
                            TRtsControl::Disable,
                            true,
                            false,
                            true,
                            true,
                            100,
                            200,
                            17,
                            19};
    int m_openError = 0;
    std::string m_openErrorText;
    int m_queueError = 0;
    int m_writeError = 0;
    int m_writeErrorCountdown = 0;
    std::vector<std::uint32_t> m_events;
    std::uint32_t m_mask = 0;
    std::uint64_t m_generation = 0;
    bool m_clearErrorReleased = false;
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_dtr{false};
    std::atomic<bool> m_rts{false};
    std::atomic<std::uint8_t> m_modem{0};
    std::atomic<int> m_modemQueries{0};
    std::atomic<int> m_opens{0};
    std::atomic<int> m_waiters{0};
    std::atomic<int> m_blockedInClearError{0};
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_throwInWait{false};
    std::atomic<bool> m_throwInWrite{false};
    std::atomic<bool> m_stubborn{false};
    std::atomic<bool> m_blockClearError{false};
    std::atomic<bool> m_blockModem{false};
    std::atomic<int> m_blockedInModem{0};
};

class TFakeDevices {
public:
    // The line of a name, made on first use.
    std::shared_ptr<TFakeLine> Line(const std::string& name);
    // Devices for the lines made so far; any other name fails to open with system code 2.
    TDeviceFactory Factory();
    // Device objects made by the factory and not yet destroyed.
    int LiveDevices() const { return m_live->load(); }

private:
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<TFakeLine>> m_lines;
    std::shared_ptr<std::atomic<int>> m_live = std::make_shared<std::atomic<int>>(0);
};

// Log entries of the calls the tests look at, as TFakeLine::Log() writes them.
std::string DescribeSettings(const TComSettings& settings);

} // namespace sornafex::test
