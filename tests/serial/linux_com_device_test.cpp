// The Linux tty device, on pseudo-terminals: exclusive open, errno mapping, the termios that is
// really set (read back on the master side), the event wait and its end, the reasons of a refused
// open, and a device lost and found again under a port that is being read.

#include "base/mono_clock.h"
#include "base/ui_bridge.h"
#include "base/unique_fd.h"
#include "serial/ComPort.h"
#include "serial/com_errors.h"
#include "serial/linux_com_device.h"
#include "tests/serial/pty.h"
#include "tests/support/test_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <optional>
#include <poll.h>
#include <stdlib.h>
#include <stop_token>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sornafex {
namespace {

using test::TPty;

// The targets of the descriptors this process holds.
std::vector<std::string> OpenFiles() {
    std::vector<std::string> targets;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        targets.push_back(std::filesystem::read_symlink(entry.path(), error).string());
    }
    return targets;
}
// Whether a descriptor names path, also once its device is gone (a hung-up pseudo-terminal's
// node is removed, and /proc then says "(deleted)").
bool Holds(const std::string& path) {
    const auto files = OpenFiles();
    return std::any_of(files.begin(), files.end(), [&](const std::string& file) {
        return file == path || file == path + " (deleted)";
    });
}

// What /proc says this process (and a child forked from it) is called.
std::string OwnName() {
    std::string name = test::ReadBytes("/proc/self/comm");
    name.erase(name.find('\n'));
    return name;
}

// A child process that runs body, tells the parent it is ready (or, with a line of its own, what
// it found), and ends when the parent lets it go.
class TChild {
public:
    explicit TChild(const std::function<std::string()>& body) {
        int ready[2] = {-1, -1};
        int release[2] = {-1, -1};
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            const std::string said = body() + "\n";
            [[maybe_unused]] const auto written = ::write(ready[1], said.data(), said.size());
            char byte = 0;
            [[maybe_unused]] const auto got = ::read(release[0], &byte, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        m_release = release[1];
        char c = 0;
        while (::read(ready[0], &c, 1) == 1 && c != '\n')
            m_said += c;
        ::close(ready[0]);
    }
    ~TChild() {
        if (m_release >= 0)
            ::close(m_release);
        if (m_pid > 0)
            ::waitpid(m_pid, nullptr, 0);
    }
    pid_t Pid() const { return m_pid; }
    const std::string& Said() const { return m_said; }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    std::string m_said;
};

TComSettings Line19200N81() {
    TComSettings s;
    s.baud = 19200;
    s.byteSize = 8;
    s.parity = 0;
    s.stopBits = kOneStopBit;
    s.dtrControl = TDtrControl::Enable;
    s.rtsControl = TRtsControl::Enable;
    return s;
}

// The modem lines by their absolute values: swapping two of them must not go unnoticed.
TEST(ModemBits, EachLineHasItsOwnBit) {
    const struct {
        int line;
        std::uint8_t bit;
    } rows[] = {{TIOCM_CAR, 0x80},
                {TIOCM_RNG, 0x40},
                {TIOCM_DSR, 0x20},
                {TIOCM_CTS, 0x10},
                {TIOCM_DTR | TIOCM_RTS | TIOCM_LE | TIOCM_ST | TIOCM_SR, 0x00},
                {TIOCM_CAR | TIOCM_RNG | TIOCM_DSR | TIOCM_CTS, 0xF0}};
    for (const auto& row : rows)
        EXPECT_EQ(ModemBits(row.line), row.bit) << std::hex << row.line;
}

struct TTermiosCase {
    std::uint8_t parity;
    std::uint8_t byteSize;
    std::uint8_t stopBits;
    tcflag_t set;
    tcflag_t clear;
};

class TermiosMappingTest : public ::testing::TestWithParam<TTermiosCase> {};

TEST_P(TermiosMappingTest, FramingBitsAndRawModeWithClocal) {
    const TTermiosCase& c = GetParam();
    TComSettings s = Line19200N81();
    s.parity = c.parity;
    s.byteSize = c.byteSize;
    s.stopBits = c.stopBits;
    termios t{};
    t.c_lflag = ICANON | ECHO | ISIG;
    t.c_cflag = HUPCL | PARENB | CSTOPB;
    ASSERT_TRUE(SettingsToTermios(s, t));
    EXPECT_EQ(t.c_cflag & c.set, c.set);
    EXPECT_EQ(t.c_cflag & c.clear, 0u);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_cflag & CREAD);
    EXPECT_TRUE(t.c_cflag & HUPCL) << "HUPCL stays as the device had it";
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    TComSettings back;
    SettingsFromTermios(t, back);
    EXPECT_EQ(back.parity, c.parity);
    EXPECT_EQ(back.byteSize, c.byteSize);
    EXPECT_EQ(back.stopBits, c.stopBits);
}

INSTANTIATE_TEST_SUITE_P(
    ParityAndStopBits, TermiosMappingTest,
    ::testing::Values(TTermiosCase{0, 8, kOneStopBit, CS8, PARENB | CSTOPB},
                      TTermiosCase{1, 8, kOneStopBit, CS8 | PARENB | PARODD, CMSPAR},
                      TTermiosCase{2, 7, kOneStopBit, CS7 | PARENB, PARODD | CMSPAR},
                      TTermiosCase{3, 8, kTwoStopBits, PARENB | CMSPAR | PARODD | CSTOPB, 0},
                      TTermiosCase{4, 6, kTwoStopBits, CS6 | PARENB | CMSPAR | CSTOPB, PARODD},
                      TTermiosCase{0, 5, kOne5StopBits, CS5 | CSTOPB, PARENB}));

TEST(TermiosMapping, FlowFieldsBecomeCrtsctsAndXonXoff) {
    TComSettings s = Line19200N81();
    s.outxCtsFlow = true;
    s.outX = true;
    s.inX = true;
    s.xonChar = 1;
    s.xoffChar = 2;
    termios t{};
    ASSERT_TRUE(SettingsToTermios(s, t));
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_iflag & IXON);
    EXPECT_TRUE(t.c_iflag & IXOFF);
    EXPECT_EQ(t.c_cc[VSTART], 1);
    EXPECT_EQ(t.c_cc[VSTOP], 2);
}

// The tty as an earlier user may have left it: 9600 7E2, canonical, echoing, watching DCD.
void LeaveAtAnotherConfiguration(const TPty& pty) {
    termios t = pty.Termios();
    cfsetspeed(&t, B9600);
    t.c_cflag = (t.c_cflag & ~(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB;
    t.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(::tcsetattr(pty.Master(), TCSANOW, &t), 0);
}

void ExpectRaw19200N81WithClocal(const TPty& pty) {
    const termios t = pty.Termios();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST(LinuxComDevice, ASecondOpenOfTheSameTtyIsRefusedAsHeldElsewhere) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice first;
    TLinuxComDevice second;
    ASSERT_TRUE(first.Open(pty.Slave())) << first.LastErrorText();
    EXPECT_FALSE(second.Open(pty.Slave()));
    EXPECT_EQ(second.LastError(), kSysAccessDenied);
    EXPECT_EQ(second.LastErrorText(), "occupé par un autre programme");
    first.Close();
    EXPECT_TRUE(second.Open(pty.Slave())) << second.LastErrorText();
}

TEST(LinuxComDevice, PermissionDeniedSaysWhichGroupWouldHelp) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to try the open as another account";
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    // The tty as a serial port is: read and write for its owner and its group.
    const group* dialout = ::getgrnam("dialout");
    const gid_t gid = dialout ? dialout->gr_gid : 0;
    const std::string groupName = dialout ? "dialout" : ::getgrgid(0)->gr_name;
    ASSERT_EQ(::chown(pty.Slave().c_str(), 0, gid), 0);
    ASSERT_EQ(::chmod(pty.Slave().c_str(), 0660), 0);
    const std::string slave = pty.Slave();
    TChild nobody([&] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            return std::string("no account");
        TLinuxComDevice device;
        if (device.Open(slave))
            return std::string("opened");
        return std::to_string(device.LastError()) + " " + device.LastErrorText();
    });
    if (nobody.Said() == "no account")
        GTEST_SKIP() << "could not become the account nobody";
    EXPECT_EQ(nobody.Said(), std::to_string(kSysErrnoBase + EACCES) +
                                 " accès refusé : ce compte n'est pas dans le groupe « " +
                                 groupName + " »");
}

TEST(LinuxComDevice, ClocalIsSetFromTheOpenOnBeforeAnySettingIsWritten) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    LeaveAtAnotherConfiguration(pty);
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    EXPECT_NE(pty.Termios().c_cflag & CLOCAL, 0u);
}

// What an open of each says, and that a refused one wrote nothing (a pseudo-terminal made the
// controlling terminal of a child in a session of its own stands for the program's own).
TEST(LinuxComDevice, OnlyASerialLineIsOpenedAndNoOtherDeviceIsTouched) {
    test::TScratchFolder folder;
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string file = folder / "file";
    test::WriteBytes(file, "19200 8N1\n");
    const std::string kNotSerial = "n'est pas un port série";
    const struct {
        const char* name;
        std::string path;
        std::string reason;
    } rows[] = {
        {"missing", folder / "ttyUSB9", "absent"},
        {"null device", "/dev/null", kNotSerial},
        {"fifo", fifo, kNotSerial},
        {"plain file", file, kNotSerial},
        {"pseudo-terminal multiplexer", "/dev/ptmx", kNotSerial},
    };
    for (const auto& row : rows) {
        TLinuxComDevice device;
        EXPECT_FALSE(device.Open(row.path)) << row.name;
        EXPECT_EQ(device.LastError(), kSysFileNotFound) << row.name;
        EXPECT_EQ(device.LastErrorText(), row.reason) << row.name;
    }
    EXPECT_EQ(test::ReadBytes(file), "19200 8N1\n");

    TPty own;
    ASSERT_TRUE(own.Ok());
    const termios before = own.Termios();
    const std::string slave = own.Slave();
    TChild child([&] {
        if (::setsid() < 0 || ::open(slave.c_str(), O_RDWR) < 0)
            return std::string("no controlling terminal");
        TLinuxComDevice device;
        return device.Open(slave) ? std::string("opened") : device.LastErrorText();
    });
    EXPECT_EQ(child.Said(), kNotSerial) << "its own controlling terminal";
    EXPECT_EQ(own.Termios().c_cflag, before.c_cflag);
}

TEST(LinuxComDevice, WrittenSettingsAreWhatTheTtyRunsAndReadsBack) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    TComSettings s = Line19200N81();
    s.xoffLim = 4096;
    ASSERT_TRUE(device.WriteSettings(s)) << device.LastErrorText();
    TComSettings back;
    ASSERT_TRUE(device.ReadSettings(back));
    EXPECT_EQ(back, s);
}

// The device's ioctl calls, counted, with one request failing on demand.
struct TIoctlFault {
    static inline std::atomic<unsigned long> request{0};
    static inline std::atomic<int> error{0};
    static inline std::atomic<int> calls{0};
    static int Call(int fd, unsigned long asked, void* argument) {
        ++calls;
        if (asked == request.load()) {
            errno = error.load();
            return -1;
        }
        return SystemIoctl(fd, asked, argument);
    }
    TIoctlFault() { Clear(); }
    ~TIoctlFault() { Clear(); }
    static void Clear() {
        request = 0;
        error = 0;
    }
};

// A line whose DTR or RTS cannot be set refuses the settings; one that has no modem lines at
// all, as a pseudo-terminal, has nothing to set.
TEST(LinuxComDevice, ASettingsWriteChecksTheModemLineCalls) {
    const struct {
        const char* name;
        unsigned long request;
        int error;
        TDtrControl dtr;
        bool written;
        int code;
    } rows[] = {
        {"DTR raise refused", TIOCMBIS, EPERM, TDtrControl::Enable, false, kSysErrnoBase + EPERM},
        {"DTR drop on a lost line", TIOCMBIC, EIO, TDtrControl::Disable, false, kSysFileNotFound},
        {"no modem lines", TIOCMBIS, ENOTTY, TDtrControl::Enable, true, 0},
    };
    for (const auto& row : rows) {
        TPty pty;
        ASSERT_TRUE(pty.Ok());
        TIoctlFault fault;
        TLinuxComDevice device(TIoctlFault::Call);
        ASSERT_TRUE(device.Open(pty.Slave())) << row.name;
        TComSettings s = Line19200N81();
        s.dtrControl = row.dtr;
        TIoctlFault::request = row.request;
        TIoctlFault::error = row.error;
        EXPECT_EQ(device.WriteSettings(s), row.written) << row.name;
        EXPECT_EQ(device.LastError(), row.code) << row.name;
    }
}

// While nothing happens on an open line, the event wait makes no call at all: it sleeps in
// poll() until the device or a close wakes it.
TEST(LinuxComDevice, AnIdleWaitAsksTheDeviceNothing) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TIoctlFault fault;
    TLinuxComDevice device(TIoctlFault::Call);
    ASSERT_TRUE(device.Open(pty.Slave()));
    ASSERT_TRUE(device.SetEventMask(kComThreadEventMask));
    std::uint32_t events = 0;
    std::thread waiter([&] { device.WaitEvent(events); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const int before = TIoctlFault::calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int during = TIoctlFault::calls.load() - before;
    device.Close();
    waiter.join();
    EXPECT_LE(during, 1);
}

TEST(LinuxComDevice, AModemQueryThatFailsReadsAsNoLineAsserted) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    EXPECT_EQ(device.ModemStatus(), 0); // a pseudo-terminal has no modem lines
    device.Close();
    EXPECT_EQ(device.ModemStatus(), 0);
}

TEST(LinuxComDevice, ReceivedBytesEndAWaitAndCanBeRead) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    TComSettings s = Line19200N81();
    ASSERT_TRUE(device.WriteSettings(s));
    ASSERT_TRUE(device.SetEventMask(kComThreadEventMask));
    std::uint32_t events = 0;
    TWaitOutcome outcome = TWaitOutcome::Refused;
    std::thread waiter([&] { outcome = device.WaitEvent(events); });
    ASSERT_EQ(::write(pty.Master(), "abc", 3), 3);
    waiter.join();
    EXPECT_EQ(outcome, TWaitOutcome::Completed);
    EXPECT_EQ(events, kEvRxChar);
    std::uint32_t errors = 0;
    TComStatus status;
    ASSERT_TRUE(device.ClearError(errors, status));
    EXPECT_EQ(status.inQueue, 3u);
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(device.Read(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
    EXPECT_EQ(device.Read(buffer, sizeof buffer), 0);
}

// A driver that counts DCD changes and waits for them, on a pseudo-terminal, which has neither:
// TIOCGICOUNT gives the count, TIOCMIWAIT sleeps until a signal ends it (as the kernel's does) or,
// when asked, returns after 10 ms with one change more.
struct TCountingDriver {
    static inline std::atomic<std::uint32_t> dcd{0};
    static inline std::atomic<bool> changeSoon{false};
    static int Call(int fd, unsigned long asked, void* argument) {
        if (asked == TIOCGICOUNT) {
            *static_cast<serial_icounter_struct*>(argument) = {};
            static_cast<serial_icounter_struct*>(argument)->dcd = static_cast<int>(dcd.load());
            return 0;
        }
        if (asked == TIOCMIWAIT) {
            if (changeSoon.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ++dcd;
                return 0;
            }
            return ::poll(nullptr, 0, 5000) < 0 ? -1 : 0;
        }
        return SystemIoctl(fd, asked, argument);
    }
};

// Where the driver has a count, the device reads it and its change wait ends at the change, at
// the deadline, or within milliseconds of a wake or a close; a pseudo-terminal's driver refuses
// the count, and the device says it has none, at once, so that the loop paces its polls instead.
TEST(LinuxComDevice, TheChangeWaitEndsAtTheChangeTheDeadlineAWakeOrAClose) {
    enum class TEnd { None, Wake, Close };
    const struct {
        const char* name;
        TIoctl ioctl;
        bool changeSoon;
        TEnd end;
        TCarrierWaitOutcome outcome;
        std::uint32_t counted;
        int mostMs;
    } rows[] = {
        {"a pseudo-terminal", SystemIoctl, false, TEnd::None, TCarrierWaitOutcome::Unsupported, 0,
         5},
        {"the change", TCountingDriver::Call, true, TEnd::None, TCarrierWaitOutcome::Changed, 1,
         50},
        {"the deadline", TCountingDriver::Call, false, TEnd::None, TCarrierWaitOutcome::Ended, 0,
         150},
        {"a wake", TCountingDriver::Call, false, TEnd::Wake, TCarrierWaitOutcome::Ended, 0, 80},
        {"a close", TCountingDriver::Call, false, TEnd::Close, TCarrierWaitOutcome::Ended, 0, 80},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TPty pty;
        ASSERT_TRUE(pty.Ok());
        TCountingDriver::changeSoon = row.changeSoon;
        TLinuxComDevice device(row.ioctl);
        ASSERT_TRUE(device.Open(pty.Slave()));
        std::uint32_t before = 0;
        const bool counts = device.CarrierChanges(before);
        EXPECT_EQ(counts, row.ioctl != SystemIoctl);
        std::atomic<bool> stop{false};
        const TMonoNs start = MonotonicNs();
        std::thread ender([&] {
            if (row.end == TEnd::None)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            stop.store(true);
            if (row.end == TEnd::Wake)
                device.WakeCarrierWait();
            else
                device.Close();
        });
        const TCarrierWait wait =
            device.WaitCarrierChange(start + 100 * kNsPerMs, [&] { return stop.load(); });
        const TMonoNs end = MonotonicNs();
        ender.join();
        EXPECT_EQ(wait.outcome, row.outcome);
        EXPECT_LE(end - start, row.mostMs * kNsPerMs);
        std::uint32_t after = before;
        EXPECT_EQ(device.CarrierChanges(after), counts && row.end != TEnd::Close);
        EXPECT_EQ(after - before, row.counted);
        if (wait.outcome == TCarrierWaitOutcome::Changed) {
            EXPECT_LE(wait.changedAfter, end);
        }
    }
}

struct TWaitEndCase {
    const char* name;
    std::function<void(TLinuxComDevice&, TPty&)> end;
    TWaitOutcome outcome;
    // A mask set before the wait began refuses the wait instead of ending it.
    bool refusedWhenFirst = false;
};

class WaitEndTest : public ::testing::TestWithParam<TWaitEndCase> {};

// Whether the waiter already waits or not, what ends the wait ends it (or the next one) within
// milliseconds: a close, a new mask, the device going away.
TEST_P(WaitEndTest, EndsAPendingWaitWithin50Ms) {
    using Clock = std::chrono::steady_clock;
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    ASSERT_TRUE(device.SetEventMask(kComThreadEventMask));
    std::uint32_t events = 1;
    TWaitOutcome outcome = TWaitOutcome::Refused;
    std::atomic<bool> ended{false};
    Clock::time_point endedAt;
    std::thread waiter([&] {
        outcome = device.WaitEvent(events);
        endedAt = Clock::now();
        ended = true;
    });
    const Clock::time_point asked = Clock::now();
    GetParam().end(device, pty);
    // A wait that does not end is ended by a close, so that the test fails instead of hanging.
    for (int i = 0; i < 1000 && !ended; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!ended)
        device.Close();
    waiter.join();
    EXPECT_LT(endedAt - asked, std::chrono::milliseconds(50));
    if (!(GetParam().refusedWhenFirst && outcome == TWaitOutcome::Refused)) {
        EXPECT_EQ(outcome, GetParam().outcome);
    }
    EXPECT_EQ(events, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, WaitEndTest,
    ::testing::Values(TWaitEndCase{"Close", [](TLinuxComDevice& d, TPty&) { d.Close(); },
                                   TWaitOutcome::Closed},
                      TWaitEndCase{"MaskZero", [](TLinuxComDevice& d, TPty&) { d.SetEventMask(0); },
                                   TWaitOutcome::Completed, true},
                      TWaitEndCase{"HangUp", [](TLinuxComDevice&, TPty& p) { p.CloseMaster(); },
                                   TWaitOutcome::Lost}),
    [](const ::testing::TestParamInfo<TWaitEndCase>& info) { return info.param.name; });

// ---- Through the port component -------------------------------------------------------------

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        map.Set(1, pty.Slave());
        port.SetUiBridge(&bridge);
        port.SetDeviceMap(map);
        port.SetComNumber(1);
    }

    TPty pty;
    TPortDeviceMap map;
    TQueuedUiBridge bridge;
    TComPort port;
};

TEST_F(PtyPortTest, AnOpenPortRunsRaw19200N81WithClocal) {
    LeaveAtAnotherConfiguration(pty);
    port.SetOpen(true);
    ExpectRaw19200N81WithClocal(pty);
    EXPECT_FALSE(port.CarrierLevel());
}

// What TIOCMGET says of a tty's modem lines: its answer, or why it has none (a pseudo-terminal
// has none, and says so).
struct TModemLines {
    int bits = 0;
    int error = 0;
    bool operator==(const TModemLines&) const = default;
};
TModemLines ModemLinesOf(const std::string& tty) {
    const TUniqueFd fd(::open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    TModemLines lines;
    if (::ioctl(fd.Get(), TIOCMGET, &lines.bits) != 0)
        lines.error = errno;
    return lines;
}

// The tty as the machine's console or another program had set it: after the port's open and
// close, every field is as it was, and so are the modem lines.
TEST_F(PtyPortTest, ACloseGivesBackTheSettingsAndLinesFoundAtTheOpen) {
    termios t = pty.Termios();
    cfsetspeed(&t, B9600);
    t.c_cflag &= ~CLOCAL;
    t.c_lflag |= ICANON;
    ASSERT_EQ(::tcsetattr(pty.Master(), TCSANOW, &t), 0);
    const termios before = pty.Termios();
    const TModemLines linesBefore = ModemLinesOf(pty.Slave());

    port.SetOpen(true);
    const termios open = pty.Termios();
    ASSERT_NE(cfgetospeed(&open), cfgetospeed(&before)) << "the port set nothing";
    port.SetOpen(false);

    const termios after = pty.Termios();
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_line, before.c_line);
    EXPECT_EQ(cfgetispeed(&after), cfgetispeed(&before));
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    for (std::size_t i = 0; i < NCCS; ++i)
        EXPECT_EQ(after.c_cc[i], before.c_cc[i]) << "c_cc[" << i << "]";
    EXPECT_EQ(ModemLinesOf(pty.Slave()), linesBefore);
}

// The other program opens the tty without TIOCEXCL and only locks it; the port says who it is.
TEST_F(PtyPortTest, ALockHeldByAnotherProcessIsHeldElsewhereAndNamesThatProcess) {
    const std::string slave = pty.Slave();
    TChild holder([&] {
        const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? "locked" : "failed";
    });
    ASSERT_EQ(holder.Said(), "locked");
    EXPECT_THROW(port.SetOpen(true), EAlreadyOpen);
    EXPECT_EQ(port.Describe(), "Com 1 : " + slave + "\noccupé par un autre programme : " +
                                   OwnName() + " (pid " + std::to_string(holder.Pid()) + ")");
    EXPECT_FALSE(Holds(slave)) << "a refused open keeps no descriptor";
}

TEST_F(PtyPortTest, ARefusedSettingNamesTheValue) {
    port.SetOpen(true);
    const struct {
        std::function<void()> write;
        const char* message;
    } rows[] = {{[&] { port.SetBaud(14400); }, "vitesse 14400 non prise en charge"},
                {[&] { port.SetDataBits(4); }, "4 bits de données non pris en charge"}};
    for (const auto& row : rows) {
        try {
            row.write();
            ADD_FAILURE() << "no exception: " << row.message;
        } catch (const ESerialException& e) {
            EXPECT_STREQ(e.what(), row.message);
        }
        // The refused value stays stored: put it back before the next row.
        port.SetBaud(19200);
        port.SetDataBits(8);
    }
}

// The port's device is a link, as /dev/serial/by-id/ names are: udev removes it when the adapter
// goes, and makes it again, to whatever tty the adapter now is, when it comes back.
TEST(PtyLoss, AHangUpClosesThePortAtOnceAndTheDeviceBackIsReopenedAndSetUp) {
    test::TScratchFolder folder;
    const std::string link = folder / "sensor";
    TPty first;
    ASSERT_TRUE(first.Ok());
    std::filesystem::create_symlink(first.Slave(), link);
    std::optional<TPty> back; // the device when it comes back, as another tty
    TPortDeviceMap map;
    map.Set(1, link);
    TQueuedUiBridge bridge;
    std::vector<TPortEvent> events;
    TComPort port;
    port.SetUiBridge(&bridge);
    port.SetDeviceMap(map);
    port.SetComNumber(1);
    port.SetReopenPeriod(std::chrono::milliseconds(20));
    port.SetOnPortEvent([&](TPortEvent event) { events.push_back(event); });
    port.SetOpen(true);
    // The worker's reads go on across the loss and the reopen (and end before the port goes,
    // however the test ends).
    std::atomic<long> reads{0};
    const std::jthread worker([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            port.CarrierLevel();
            ++reads;
        }
    });

    // The link goes first: once the tty is gone its number is free, and another program's
    // pseudo-terminal may take it.
    std::filesystem::remove(link);
    first.CloseMaster();
    // The port's own thread lets the descriptor go, before the UI thread hears of the loss: until
    // then the kernel would give a replugged adapter another name.
    const auto lostAt = std::chrono::steady_clock::now();
    while (Holds(first.Slave()) &&
           std::chrono::steady_clock::now() - lostAt < std::chrono::seconds(1))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(Holds(first.Slave())) << "the lost tty's descriptor is released at once";
    ASSERT_TRUE(bridge.PumpUntil([&] { return !events.empty(); }, 1000)) << "not seen in 1 s";
    EXPECT_LT(std::chrono::steady_clock::now() - lostAt, std::chrono::seconds(1));
    EXPECT_EQ(events, std::vector<TPortEvent>{TPortEvent::Lost});
    EXPECT_FALSE(port.Open());
    EXPECT_TRUE(port.Lost());
    EXPECT_FALSE(port.CarrierLevel());
    EXPECT_EQ(port.Describe(), "Com 1 : " + link + "\ndébranché ou perdu");

    back.emplace();
    ASSERT_TRUE(back->Ok());
    LeaveAtAnotherConfiguration(*back);
    std::filesystem::create_symlink(back->Slave(), link);
    ASSERT_TRUE(bridge.PumpUntil([&] { return events.size() == 2; }, 5000));
    EXPECT_EQ(events[1], TPortEvent::Reopened);
    EXPECT_TRUE(port.Open());
    EXPECT_FALSE(port.Lost());
    EXPECT_EQ(port.Describe(), "Com 1 : " + link);
    ExpectRaw19200N81WithClocal(*back);

    const long before = reads.load();
    EXPECT_TRUE(bridge.PumpUntil([&] { return reads.load() > before + 100; }, 5000));
}

TEST(PtyPortCycles, TwoHundredOpenCloseAndLossCyclesLeaveNoDescriptorOrThread) {
    TQueuedUiBridge bridge;
    TComPort port;
    port.SetUiBridge(&bridge);
    port.SetComNumber(1);
    const std::size_t filesBefore = OpenFiles().size();
    for (int cycle = 0; cycle < 200; ++cycle) {
        TPty pty;
        ASSERT_TRUE(pty.Ok());
        TPortDeviceMap map;
        map.Set(1, pty.Slave());
        port.SetDeviceMap(map);
        port.SetOpen(true);
        ASSERT_EQ(port.Dispatcher()->ActiveThreads(), 3) << cycle;
        if (cycle % 2 == 1) {
            pty.CloseMaster();
            ASSERT_TRUE(bridge.PumpUntil([&] { return port.Lost(); }, 5000)) << cycle;
        }
        port.SetOpen(false);
        ASSERT_EQ(TComDispatcher::RegistrySize(), 0u) << cycle;
    }
    EXPECT_EQ(OpenFiles().size(), filesBefore);
}

} // namespace
} // namespace sornafex
