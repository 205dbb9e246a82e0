#pragma once

// The Linux tty device behind the device seam.
// - Open: open(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC), then TIOCEXCL and
//   flock(LOCK_EX | LOCK_NB), so a second open, from this process or another, is refused.
// - Close: the termios and the DTR and RTS levels the open found are given back (not to a device
//   that is gone), so that a line the program used is left as it was, a console's included.
// - Settings: termios in raw mode with CREAD and CLOCAL always set (the sensor drops DCD many
//   times a second and must never hang the port up); HUPCL stays as the device had it.
// - DTR/RTS: TIOCMBIS / TIOCMBIC. Modem status: TIOCMGET, a failed query reads as 0.
// - WaitEvent: poll() on the device and an eventfd, without a time limit: it wakes for received
//   bytes, a hang-up, Close and SetEventMask, and costs nothing while the line is idle. Modem-line
//   changes are not events (no tty driver wakes poll() for them, and TIOCMIWAIT cannot be ended
//   by a close); the DCD poll reads the lines live.
// - DCD counter: where the driver answers TIOCGICOUNT and TIOCMIWAIT (8250 UARTs, most USB
//   adapters), CarrierChanges reads its DCD count and WaitCarrierChange waits in TIOCMIWAIT. That
//   ioctl is ended by a signal of the wait's own (SIGRTMAX - 3, a handler that does nothing):
//   a per-thread timer sends it at the deadline, Close and WakeCarrierWait to end it early, each
//   again every millisecond until the thread has left the call. Open finds out with a wait of
//   1 ms, which in an 8250's driver also turns on the interrupts that count every change.
// - Loss: a hang-up seen by the wait (POLLHUP, POLLERR) or EIO, ENXIO, ENODEV from any call marks
//   the device lost; the wait then ends with Lost, so that its owner can let the descriptor go
//   (a USB adapter plugged in again gets its old name only once every descriptor is closed).
// errno becomes a system code by SystemCodeFromErrno (com_errors.h); LastErrorText() says why in
// the user's words (port_reasons.h).

#include "base/unique_fd.h"
#include "serial/com_device.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <pthread.h>
#include <shared_mutex>
#include <string>
#include <termios.h>

namespace sornafex {

// The line bits of TIOCMGET as ModemStatus reports them (kMsRlsdOn for TIOCM_CAR, and so on).
std::uint8_t ModemBits(int lines);

// Puts the record's framing, speed and flow fields into t, and makes t raw with CREAD and CLOCAL.
// False when the baud rate has no termios speed.
bool SettingsToTermios(const TComSettings& settings, termios& t);
// Reads the fields termios holds back into settings; the others are left as they are.
void SettingsFromTermios(const termios& t, TComSettings& settings);

// The device's ioctl calls, as ::ioctl makes them (−1 and errno on failure): a test puts one in
// that fails a chosen request.
using TIoctl = int (*)(int fd, unsigned long request, void* argument);
int SystemIoctl(int fd, unsigned long request, void* argument);

class TLinuxComDevice final : public TComDevice {
public:
    explicit TLinuxComDevice(TIoctl ioctl = SystemIoctl);
    ~TLinuxComDevice() override;

    bool Open(const std::string& name) override;
    int Handle() const override { return m_fd.load(std::memory_order_acquire); }
    bool Close() override;
    bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) override;
    bool ReadSettings(TComSettings& settings) override;
    bool WriteSettings(const TComSettings& settings) override;
    bool Escape(TEscapeFunction function) override;
    std::uint8_t ModemStatus() override;
    bool CarrierChanges(std::uint32_t& changes) override;
    TCarrierWait WaitCarrierChange(TMonoNs until, const std::function<bool()>& cancelled) override;
    void WakeCarrierWait() override;
    bool SetEventMask(std::uint32_t mask) override;
    TWaitOutcome WaitEvent(std::uint32_t& events) override;
    bool ClearError(std::uint32_t& errors, TComStatus& status) override;
    bool Purge(std::uint32_t flags) override;
    std::int32_t Read(std::uint8_t* buffer, std::uint32_t count) override;
    std::int32_t Write(const std::uint8_t* buffer, std::uint32_t count) override;
    int LastError() const override;
    std::string LastErrorText() const override;

private:
    bool Fail(int error, std::string text = {});
    // A failed call on the open device (errno): a loss marks the device lost.
    bool FailErrno();
    // A refused open: the code and the reason (absent, busy and who holds it, no permission).
    bool FailOpen(int error, const std::string& name);
    void MarkLost();
    void Wake();
    // Whether the open tty's driver waits for DCD (TIOCMIWAIT), asked for 1 ms.
    bool DriverWaitsForCarrier(int fd);

    const TIoctl m_ioctl;
    // Guards the descriptor: every call that uses it holds it shared, Close holds it exclusively,
    // so the number is never used after close (or reused by another file).
    mutable std::shared_mutex m_fdLock;
    TUniqueFd m_device; // m_fdLock
    // The tty as the open found it: its termios and its modem lines (when it has any).
    struct TFound {
        termios settings{};
        int lines = 0;
        bool linesKnown = false;
    };
    TFound m_found; // m_fdLock
    // The open descriptor's number, −1 from the moment a close begins: read without the lock by
    // the status query of the DCD poll, which never meets a close (see ModemStatus).
    std::atomic<int> m_fd{-1};
    // Wakes a pending wait; made with the object and closed with it, never by Close.
    TUniqueFd m_wake;
    int m_wakeError = 0;
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_lost{false};
    std::atomic<std::uint32_t> m_mask{0};
    std::atomic<std::uint64_t> m_maskGeneration{0};
    // Settings that termios cannot hold, kept so that a read gives back what was written.
    TComSettings m_extra;               // m_stateLock
    std::uint32_t m_lastCounts[5] = {}; // TIOCGICOUNT baseline: frame, overrun, parity, brk, buf
    bool m_haveCounts = false;
    // The driver counts DCD changes and waits for them: set by Open before the descriptor is
    // published, then only read.
    bool m_countsCarrier = false;
    // The thread in WaitCarrierChange, for WakeCarrierWait's signal.
    std::mutex m_waiterLock;
    pthread_t m_waiter{};   // m_waiterLock
    bool m_waiting = false; // m_waiterLock
    // m_stateLock: received bytes already reported by a wait and not read since.
    std::uint32_t m_seenInQueue = 0;
    mutable std::mutex m_stateLock;
    int m_lastError = 0;         // m_stateLock
    std::string m_lastErrorText; // m_stateLock
    std::string m_name;
};

} // namespace sornafex
