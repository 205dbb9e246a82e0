#include "serial/linux_com_device.h"

#include "base/uRes.h"
#include "serial/com_errors.h"
#include "serial/device_tree.h"
#include "serial/port_reasons.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace sornafex {

namespace {

struct TSpeed {
    std::int32_t baud;
    speed_t code;
};

constexpr TSpeed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},        {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},        {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},      {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},  {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

bool SpeedCode(std::int32_t baud, speed_t& code) {
    for (const TSpeed& speed : kSpeeds)
        if (speed.baud == baud) {
            code = speed.code;
            return true;
        }
    return false;
}

std::int32_t SpeedBaud(speed_t code) {
    for (const TSpeed& speed : kSpeeds)
        if (speed.code == code)
            return speed.baud;
    return 0;
}

// Errors that only a device that went away gives: the tty was hung up (a USB adapter unplugged,
// a pseudo-terminal's other side closed) and every later call fails the same way.
bool IsLoss(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

// TIOCMIWAIT has no time limit and no close ends it; a signal does (EINTR). This one, with a
// handler that does nothing and without SA_RESTART, is the wait's alone: a timer sends it at the
// wait's deadline, WakeCarrierWait to end it early.
int WakeSignal() {
    static const int signal = [] {
        const int chosen = SIGRTMAX - 3;
        struct sigaction action {};
        action.sa_handler = [](int) {
        };
        sigemptyset(&action.sa_mask);
        ::sigaction(chosen, &action, nullptr);
        return chosen;
    }();
    return signal;
}

// A signal sent just before the waiting thread enters the ioctl is lost: so it is sent again
// every millisecond, by the timer as by WakeCarrierWait, until the thread has left the wait.
constexpr TMonoNs kWakeRepeat = kNsPerMs;

// The wake signal for the calling thread at `at` (monotonic), and every kWakeRepeat after, for as
// long as the timer lives.
class TWakeTimer {
public:
    explicit TWakeTimer(TMonoNs at) {
        sigevent event{};
        event.sigev_notify = SIGEV_THREAD_ID;
        event.sigev_signo = WakeSignal();
        event._sigev_un._tid =
            ::gettid(); // sigev_notify_thread_id, which this C library does not name
        m_armed = ::timer_create(CLOCK_MONOTONIC, &event, &m_timer) == 0;
        const itimerspec when{
            {0, static_cast<long>(kWakeRepeat)},
            {static_cast<time_t>(at / kNsPerSecond), static_cast<long>(at % kNsPerSecond)}};
        if (m_armed && ::timer_settime(m_timer, TIMER_ABSTIME, &when, nullptr) != 0) {
            ::timer_delete(m_timer);
            m_armed = false;
        }
    }
    ~TWakeTimer() {
        if (m_armed)
            ::timer_delete(m_timer);
    }
    TWakeTimer(const TWakeTimer&) = delete;
    TWakeTimer& operator=(const TWakeTimer&) = delete;
    bool Armed() const { return m_armed; }

private:
    timer_t m_timer{};
    bool m_armed = false;
};

// TIOCMIWAIT takes the lines to wait for as its argument's value.
void* CarrierLine() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(TIOCM_CD));
}

// How long a thread released by the driver's interrupt may take to run again: a change found at
// a wake-up is timed within this much before it.
constexpr TMonoNs kDriverWakeLatency = 200'000;

} // namespace

std::uint8_t ModemBits(int lines) {
    std::uint8_t bits = 0;
    if (lines & TIOCM_CAR)
        bits |= kMsRlsdOn;
    if (lines & TIOCM_RNG)
        bits |= kMsRingOn;
    if (lines & TIOCM_DSR)
        bits |= kMsDsrOn;
    if (lines & TIOCM_CTS)
        bits |= kMsCtsOn;
    return bits;
}

bool SettingsToTermios(const TComSettings& settings, termios& t) {
    speed_t speed = 0;
    if (!SpeedCode(settings.baud, speed))
        return false;
    tcflag_t size = 0;
    switch (settings.byteSize) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    if (settings.parity > 4 || settings.stopBits > kTwoStopBits)
        return false;

    cfmakeraw(&t);
    // CLOCAL always: the sensor drops DCD many times a second, and a port that watched carrier
    // would hang up and stop reading.
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= size;
    switch (settings.parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (settings.stopBits != kOneStopBit)
        t.c_cflag |= CSTOPB;
    if (settings.outxCtsFlow || settings.rtsControl == TRtsControl::Handshake)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (settings.outX)
        t.c_iflag |= IXON;
    if (settings.inX)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return true;
}

void SettingsFromTermios(const termios& t, TComSettings& settings) {
    settings.baud = SpeedBaud(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        settings.byteSize = 5;
        break;
    case CS6:
        settings.byteSize = 6;
        break;
    case CS7:
        settings.byteSize = 7;
        break;
    default:
        settings.byteSize = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        settings.parity = 0;
    else if (t.c_cflag & CMSPAR)
        settings.parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        settings.parity = (t.c_cflag & PARODD) ? 1 : 2;
    if (!(t.c_cflag & CSTOPB))
        settings.stopBits = kOneStopBit;
    else
        settings.stopBits = settings.byteSize == 5 ? kOne5StopBits : kTwoStopBits;
    settings.outxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    settings.outX = (t.c_iflag & IXON) != 0;
    settings.inX = (t.c_iflag & IXOFF) != 0;
    settings.xonChar = static_cast<char>(t.c_cc[VSTART]);
    settings.xoffChar = static_cast<char>(t.c_cc[VSTOP]);
}

int SystemIoctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}

TLinuxComDevice::TLinuxComDevice(TIoctl ioctl)
    : m_ioctl(ioctl), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!m_wake.Valid())
        m_wakeError = errno;
}

TLinuxComDevice::~TLinuxComDevice() {
    Close();
}

bool TLinuxComDevice::Fail(int error, std::string text) {
    std::lock_guard lock(m_stateLock);
    m_lastError = error;
    m_lastErrorText = std::move(text);
    return false;
}

bool TLinuxComDevice::FailErrno() {
    const int error = errno;
    if (IsLoss(error)) {
        MarkLost();
        return Fail(SystemCodeFromErrno(error), std::string(res::kReasonLost));
    }
    return Fail(SystemCodeFromErrno(error), SystemReason(error));
}

bool TLinuxComDevice::FailOpen(int error, const std::string& name) {
    const int code = SystemCodeFromErrno(error);
    if (code == kSysFileNotFound)
        return Fail(code, std::string(res::kReasonAbsent));
    if (code == kSysAccessDenied)
        return Fail(code, std::string(res::kReasonBusy));
    if (error == EACCES || error == EPERM)
        return Fail(code, AccessDeniedReason(TDeviceTree().AccessFacts(name)));
    return Fail(code, SystemReason(error));
}

void TLinuxComDevice::MarkLost() {
    if (!m_lost.exchange(true, std::memory_order_acq_rel))
        Wake();
}

int TLinuxComDevice::LastError() const {
    std::lock_guard lock(m_stateLock);
    return m_lastError;
}

std::string TLinuxComDevice::LastErrorText() const {
    std::lock_guard lock(m_stateLock);
    return m_lastErrorText;
}

bool TLinuxComDevice::Open(const std::string& name) {
    if (m_fd.load() >= 0)
        return Fail(kSysAccessDenied, std::string(res::kReasonBusy));
    if (!m_wake.Valid())
        return FailOpen(m_wakeError, name);
    m_name = name;
    // Decided before the open, which alone may already do something to a device (a watchdog
    // starts counting), and again on what was opened, in case the node changed in between.
    struct stat node {};
    if (::stat(name.c_str(), &node) != 0)
        return FailOpen(errno, name);
    const TDeviceTree system;
    if (!S_ISCHR(node.st_mode) || !system.SerialLine(node.st_rdev))
        return Fail(kSysFileNotFound, std::string(res::kReasonNotSerial));
    TUniqueFd opened(::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!opened.Valid())
        return FailOpen(errno, name);
    const int fd = opened.Get();
    if (struct stat device{}; ::fstat(fd, &device) != 0 || device.st_rdev != node.st_rdev) {
        opened.Reset();
        return Fail(kSysFileNotFound, std::string(res::kReasonNotSerial));
    }
    const auto refuse = [&opened, &name, this](int error) {
        opened.Reset();
        return FailOpen(error, name);
    };
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return refuse(errno);
    // TIOCEXCL refuses other openers of the tty (root excepted); the lock also covers root and
    // every program that locks serial devices the same way. Only a lock that is taken means a
    // holder: any other failure of the call is reported as what it is. A tty that another
    // program already made exclusive is held too, also when root may open it all the same.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
    if (int exclusive = 0; m_ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        return refuse(EBUSY);
    if (m_ioctl(fd, TIOCEXCL, nullptr) != 0)
        return refuse(errno);
    // What the close gives back. The lines as they are now: the tty layer raised DTR and RTS
    // at this very open if nobody held the line, and nothing earlier can be seen.
    TFound found{t, 0, false};
    found.linesKnown = m_ioctl(fd, TIOCMGET, &found.lines) == 0;
    // CLOCAL from the first moment, before any setting is written: a carrier drop on a line
    // that watches DCD hangs the tty up for good, and the sensor drops it many times a second.
    if (!(t.c_cflag & CLOCAL)) {
        t.c_cflag |= CLOCAL;
        if (::tcsetattr(fd, TCSANOW, &t) != 0) {
            const int error = errno;
            m_ioctl(fd, TIOCNXCL, nullptr);
            return refuse(error);
        }
    }
    {
        std::lock_guard lock(m_stateLock);
        m_extra = TComSettings{};
        SettingsFromTermios(t, m_extra);
        if (found.linesKnown) {
            m_extra.dtrControl =
                (found.lines & TIOCM_DTR) ? TDtrControl::Enable : TDtrControl::Disable;
            m_extra.rtsControl =
                (found.lines & TIOCM_RTS) ? TRtsControl::Enable : TRtsControl::Disable;
        }
        serial_icounter_struct counts{};
        m_haveCounts = m_ioctl(fd, TIOCGICOUNT, &counts) == 0;
        m_countsCarrier = m_haveCounts && DriverWaitsForCarrier(fd);
        if (m_haveCounts) {
            m_lastCounts[0] = static_cast<std::uint32_t>(counts.frame);
            m_lastCounts[1] = static_cast<std::uint32_t>(counts.overrun);
            m_lastCounts[2] = static_cast<std::uint32_t>(counts.parity);
            m_lastCounts[3] = static_cast<std::uint32_t>(counts.brk);
            m_lastCounts[4] = static_cast<std::uint32_t>(counts.buf_overrun);
        }
        m_lastError = 0;
        m_lastErrorText.clear();
    }
    m_mask.store(0);
    m_closing.store(false);
    m_lost.store(false);
    {
        std::unique_lock lock(m_fdLock);
        m_device = std::move(opened);
        m_found = found;
    }
    m_fd.store(fd, std::memory_order_release);
    return true;
}

bool TLinuxComDevice::DriverWaitsForCarrier(int fd) {
    // A wait cut short at once says that the driver has one; it also turns on, in an 8250's
    // driver, the modem-status interrupts that count every change (with CLOCAL set and no
    // RTS/CTS flow, nothing else would).
    const TWakeTimer timer(MonotonicNs() + kWakeRepeat);
    if (!timer.Armed())
        return false;
    return m_ioctl(fd, TIOCMIWAIT, CarrierLine()) == 0 || errno == EINTR;
}

bool TLinuxComDevice::CarrierChanges(std::uint32_t& changes) {
    // The hot path of the counted poll, as ModemStatus: no lock, callers keep Close away.
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0 || !m_countsCarrier)
        return false;
    serial_icounter_struct counts{};
    if (m_ioctl(fd, TIOCGICOUNT, &counts) != 0) {
        if (IsLoss(errno))
            MarkLost();
        return false;
    }
    changes = static_cast<std::uint32_t>(counts.dcd);
    return true;
}

TCarrierWait TLinuxComDevice::WaitCarrierChange(TMonoNs until,
                                                const std::function<bool()>& cancelled) {
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0 || !m_countsCarrier)
        return {TCarrierWaitOutcome::Unsupported, 0};
    {
        std::lock_guard waiter(m_waiterLock);
        m_waiter = ::pthread_self();
        m_waiting = true;
    }
    struct TLeave {
        TLinuxComDevice& device;
        ~TLeave() {
            std::lock_guard waiter(device.m_waiterLock);
            device.m_waiting = false;
        }
    } leave{*this};
    if (cancelled() || m_closing.load(std::memory_order_acquire) || MonotonicNs() >= until)
        return {TCarrierWaitOutcome::Ended, 0};
    const TWakeTimer timer(until);
    if (!timer.Armed())
        return {TCarrierWaitOutcome::Unsupported, 0};
    if (m_ioctl(fd, TIOCMIWAIT, CarrierLine()) == 0)
        return {TCarrierWaitOutcome::Changed, MonotonicNs() - kDriverWakeLatency};
    if (errno == EINTR)
        return {TCarrierWaitOutcome::Ended, 0};
    if (IsLoss(errno)) {
        MarkLost();
        return {TCarrierWaitOutcome::Lost, 0};
    }
    return {TCarrierWaitOutcome::Unsupported, 0};
}

void TLinuxComDevice::WakeCarrierWait() {
    for (;;) {
        {
            // Held while the signal is sent: the waiter cannot leave, and its thread end,
            // meanwhile.
            std::lock_guard waiter(m_waiterLock);
            if (!m_waiting)
                return;
            ::pthread_kill(m_waiter, WakeSignal());
        }
        std::this_thread::sleep_for(std::chrono::nanoseconds(kWakeRepeat));
    }
}

void TLinuxComDevice::Wake() {
    // The eventfd lives as long as this object, so a wake from any thread never reaches a
    // descriptor that a close has freed for another file.
    if (m_wake.Valid()) {
        const std::uint64_t one = 1;
        // A full counter already wakes the waiter, so a failed write loses nothing.
        [[maybe_unused]] const auto written = ::write(m_wake.Get(), &one, sizeof one);
    }
}

bool TLinuxComDevice::Close() {
    if (m_fd.load(std::memory_order_acquire) < 0)
        return false;
    m_closing.store(true, std::memory_order_release);
    Wake();
    WakeCarrierWait();
    std::unique_lock lock(m_fdLock);
    const int fd = m_fd.exchange(-1, std::memory_order_acq_rel);
    if (fd < 0)
        return false;
    // The line goes back as it was found: a console's getty, or the next program, finds its own
    // settings. A device that is gone takes nothing back.
    if (!m_lost.load(std::memory_order_acquire)) {
        ::tcsetattr(fd, TCSANOW, &m_found.settings);
        if (m_found.linesKnown)
            for (const int line : {TIOCM_DTR, TIOCM_RTS}) {
                int bit = line;
                m_ioctl(fd, (m_found.lines & line) ? TIOCMBIS : TIOCMBIC, &bit);
            }
    }
    m_ioctl(fd, TIOCNXCL, nullptr);
    m_device.Reset();
    return true;
}

bool TLinuxComDevice::SetQueueSizes(std::uint32_t, std::uint32_t) {
    // The tty layer sizes its own queues: any size is accepted.
    if (m_fd.load(std::memory_order_acquire) < 0)
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    return true;
}

bool TLinuxComDevice::ReadSettings(TComSettings& settings) {
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    termios t{};
    if (fd < 0 || ::tcgetattr(fd, &t) != 0)
        return fd < 0 ? Fail(kSysInvalidHandle, ErrnoText(EBADF)) : FailErrno();
    std::lock_guard state(m_stateLock);
    settings = m_extra;
    SettingsFromTermios(t, settings);
    return true;
}

bool TLinuxComDevice::WriteSettings(const TComSettings& settings) {
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    termios t{};
    if (fd < 0)
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    if (::tcgetattr(fd, &t) != 0)
        return FailErrno();
    if (!SettingsToTermios(settings, t)) {
        speed_t speed = 0;
        return Fail(kSysInvalidParameter,
                    RefusedSettingReason(settings, SpeedCode(settings.baud, speed)));
    }
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return FailErrno();
    // As with the Win32 settings record, an enabled or disabled control mode sets the line. A
    // tty without modem lines (a pseudo-terminal) answers ENOTTY: it has nothing to set.
    const auto setLine = [this, fd](int line, bool raised) {
        int bit = line;
        return m_ioctl(fd, raised ? TIOCMBIS : TIOCMBIC, &bit) == 0 || errno == ENOTTY;
    };
    if (settings.dtrControl != TDtrControl::Handshake &&
        !setLine(TIOCM_DTR, settings.dtrControl == TDtrControl::Enable))
        return FailErrno();
    const bool rtsManual =
        settings.rtsControl == TRtsControl::Enable || settings.rtsControl == TRtsControl::Disable;
    if (rtsManual && !setLine(TIOCM_RTS, settings.rtsControl == TRtsControl::Enable))
        return FailErrno();
    std::lock_guard state(m_stateLock);
    m_extra = settings;
    return true;
}

bool TLinuxComDevice::Escape(TEscapeFunction function) {
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0)
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    int line = 0;
    unsigned long request = TIOCMBIS;
    switch (function) {
    case TEscapeFunction::SetRts:
        line = TIOCM_RTS;
        break;
    case TEscapeFunction::ClrRts:
        line = TIOCM_RTS;
        request = TIOCMBIC;
        break;
    case TEscapeFunction::SetDtr:
        line = TIOCM_DTR;
        break;
    case TEscapeFunction::ClrDtr:
        line = TIOCM_DTR;
        request = TIOCMBIC;
        break;
    }
    if (m_ioctl(fd, request, &line) != 0)
        return FailErrno();
    return true;
}

std::uint8_t TLinuxComDevice::ModemStatus() {
    // The hot path of the DCD poll takes no lock of its own: callers never let it race with
    // Close (the dispatcher runs both under LineLock), so the descriptor stays valid here.
    const int fd = m_fd.load(std::memory_order_acquire);
    int lines = 0;
    if (fd >= 0 && m_ioctl(fd, TIOCMGET, &lines) == 0)
        return ModemBits(lines);
    if (fd >= 0 && IsLoss(errno))
        MarkLost();
    return 0;
}

bool TLinuxComDevice::SetEventMask(std::uint32_t mask) {
    std::shared_lock lock(m_fdLock);
    if (m_fd.load(std::memory_order_acquire) < 0)
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    const int fd = m_fd.load(std::memory_order_acquire);
    {
        // Bytes count from the moment the mask is set, as a driver reports them.
        int waiting = 0;
        const std::uint32_t inQueue =
            m_ioctl(fd, TIOCINQ, &waiting) == 0 ? static_cast<std::uint32_t>(waiting) : 0;
        std::lock_guard state(m_stateLock);
        m_seenInQueue = inQueue;
    }
    m_mask.store(mask, std::memory_order_release);
    m_maskGeneration.fetch_add(1, std::memory_order_acq_rel);
    Wake();
    return true;
}

TWaitOutcome TLinuxComDevice::WaitEvent(std::uint32_t& events) {
    events = 0;
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0 || m_closing.load(std::memory_order_acquire))
        return TWaitOutcome::Closed;
    if (m_lost.load(std::memory_order_acquire))
        return TWaitOutcome::Lost;
    const std::uint64_t generation = m_maskGeneration.load(std::memory_order_acquire);
    const std::uint32_t mask = m_mask.load(std::memory_order_acquire);
    if (mask == 0) {
        Fail(kSysInvalidParameter, ErrnoText(EINVAL));
        return TWaitOutcome::Refused;
    }
    for (;;) {
        std::uint64_t drained = 0;
        while (::read(m_wake.Get(), &drained, sizeof drained) > 0) {
        }
        if (m_closing.load(std::memory_order_acquire))
            return TWaitOutcome::Closed;
        if (m_lost.load(std::memory_order_acquire))
            return TWaitOutcome::Lost;
        if (m_maskGeneration.load(std::memory_order_acquire) != generation)
            return TWaitOutcome::Completed; // the mask changed: the wait ends with no event
        // Received bytes count once: those already reported, and not yet read, wake nobody. So
        // level-triggered input is watched only while no such byte waits; otherwise the bytes
        // wait for a reader, who reads them on its own pass.
        bool watchInput = (mask & kEvRxChar) != 0;
        int waiting = 0;
        if (watchInput && m_ioctl(fd, TIOCINQ, &waiting) != 0) {
            if (IsLoss(errno)) {
                MarkLost();
                continue;
            }
        } else if (watchInput) {
            std::lock_guard state(m_stateLock);
            if (static_cast<std::uint32_t>(waiting) > m_seenInQueue) {
                m_seenInQueue = static_cast<std::uint32_t>(waiting);
                events = kEvRxChar;
                return TWaitOutcome::Completed;
            }
            m_seenInQueue = static_cast<std::uint32_t>(waiting);
            watchInput = waiting == 0;
        }
        // No tty driver wakes poll() for the modem lines, and TIOCMIWAIT cannot be ended by a
        // close: their changes are not reported. The DCD poll reads the lines live anyway.
        pollfd fds[2] = {};
        fds[0].fd = fd;
        fds[0].events = watchInput ? POLLIN : 0;
        fds[1].fd = m_wake.Get();
        fds[1].events = POLLIN;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            FailErrno();
            return TWaitOutcome::Refused;
        }
        if (fds[0].revents & POLLNVAL)
            return TWaitOutcome::Closed;
        // A tty reports a hang-up (and nothing else ever again) once its device is gone.
        if (fds[0].revents & (POLLHUP | POLLERR))
            MarkLost();
    }
}

bool TLinuxComDevice::ClearError(std::uint32_t& errors, TComStatus& status) {
    errors = 0;
    status = TComStatus{};
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0)
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    int waiting = 0;
    if (m_ioctl(fd, TIOCINQ, &waiting) != 0)
        return FailErrno();
    status.inQueue = static_cast<std::uint32_t>(waiting);
    int unsent = 0;
    if (m_ioctl(fd, TIOCOUTQ, &unsent) == 0)
        status.outQueue = static_cast<std::uint32_t>(unsent);
    serial_icounter_struct counts{};
    if (m_ioctl(fd, TIOCGICOUNT, &counts) == 0) {
        const std::uint32_t now[5] = {
            static_cast<std::uint32_t>(counts.frame), static_cast<std::uint32_t>(counts.overrun),
            static_cast<std::uint32_t>(counts.parity), static_cast<std::uint32_t>(counts.brk),
            static_cast<std::uint32_t>(counts.buf_overrun)};
        constexpr std::uint32_t kBits[5] = {kCeFrame, kCeOverrun, kCeParity, kCeBreak, kCeRxOver};
        std::lock_guard state(m_stateLock);
        for (int i = 0; i < 5; ++i) {
            if (m_haveCounts && now[i] != m_lastCounts[i])
                errors |= kBits[i];
            m_lastCounts[i] = now[i];
        }
        m_haveCounts = true;
    }
    return true;
}

bool TLinuxComDevice::Purge(std::uint32_t flags) {
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0)
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    const bool input = flags & (kPurgeRxAbort | kPurgeRxClear);
    const bool output = flags & (kPurgeTxAbort | kPurgeTxClear);
    const int queue = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
    if ((input || output) && ::tcflush(fd, queue) != 0)
        return FailErrno();
    return true;
}

std::int32_t TLinuxComDevice::Read(std::uint8_t* buffer, std::uint32_t count) {
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0) {
        Fail(kSysInvalidHandle, ErrnoText(EBADF));
        return -1;
    }
    const ssize_t got = ::read(fd, buffer, count);
    if (got >= 0) {
        // What is read was reported: bytes left behind it, and new ones, are news again.
        std::lock_guard state(m_stateLock);
        m_seenInQueue -= std::min(m_seenInQueue, static_cast<std::uint32_t>(got));
        return static_cast<std::int32_t>(got);
    }
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    FailErrno();
    return -1;
}

std::int32_t TLinuxComDevice::Write(const std::uint8_t* buffer, std::uint32_t count) {
    std::shared_lock lock(m_fdLock);
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0) {
        Fail(kSysInvalidHandle, ErrnoText(EBADF));
        return -1;
    }
    const ssize_t sent = ::write(fd, buffer, count);
    if (sent >= 0)
        return static_cast<std::int32_t>(sent);
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    FailErrno();
    return -1;
}

} // namespace sornafex
