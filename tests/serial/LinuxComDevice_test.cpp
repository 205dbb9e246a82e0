// The Linux tty device, on pseudo-terminals: exclusive open, errno mapping, the termios that is
// really set (read back on the master side), the event wait and its end.

#include "base/ui_bridge.h"
#include "serial/ComErrors.h"
#include "serial/ComPort.h"
#include "serial/LinuxComDevice.h"
#include "serial/PortProbe.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace sornafex {
namespace {

// A pseudo-terminal: the device under test is the slave side, the test holds the master.
class TPty {
public:
    TPty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) == 0)
            m_slave = name;
    }
    ~TPty() {
        if (m_master >= 0)
            ::close(m_master);
    }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    bool Ok() const { return m_master >= 0 && !m_slave.empty(); }
    int Master() const { return m_master; }
    const std::string& Slave() const { return m_slave; }
    // The slave's termios, as the master side sees it.
    termios Termios() const {
        termios t{};
        ::tcgetattr(m_master, &t);
        return t;
    }

private:
    int m_master = -1;
    std::string m_slave;
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

struct TErrnoCase {
    int error;
    int code;
};

class ErrnoMappingTest : public ::testing::TestWithParam<TErrnoCase> {};

TEST_P(ErrnoMappingTest, BecomesTheCodeOfTheTable) {
    EXPECT_EQ(SystemCodeFromErrno(GetParam().error), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(OpenFailures, ErrnoMappingTest,
                         ::testing::Values(TErrnoCase{ENOENT, 2}, TErrnoCase{ENODEV, 2},
                                           TErrnoCase{ENXIO, 2}, TErrnoCase{EIO, 2},
                                           TErrnoCase{ENOTTY, 2}, TErrnoCase{EBUSY, 5},
                                           TErrnoCase{EWOULDBLOCK, 5}, TErrnoCase{EACCES, 5},
                                           TErrnoCase{EPERM, 5}, TErrnoCase{ENOMEM, 8},
                                           TErrnoCase{EMFILE, 4}, TErrnoCase{ENFILE, 4},
                                           TErrnoCase{EINVAL, EINVAL}, TErrnoCase{EROFS, EROFS}));

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

TEST(TermiosMapping, UnknownSpeedsAndByteSizesAreRefused) {
    TComSettings s = Line19200N81();
    termios t{};
    s.baud = 12345;
    EXPECT_FALSE(SettingsToTermios(s, t));
    s = Line19200N81();
    s.byteSize = 9;
    EXPECT_FALSE(SettingsToTermios(s, t));
}

TEST(LinuxComDevice, ASecondOpenOfTheSameTtyIsRefusedAsHeldElsewhere) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice first;
    TLinuxComDevice second;
    ASSERT_TRUE(first.Open(pty.Slave())) << first.LastErrorText();
    EXPECT_FALSE(second.Open(pty.Slave()));
    EXPECT_EQ(second.LastError(), kSysAccessDenied);
    EXPECT_EQ(second.LastErrorText(), std::strerror(EBUSY));
    first.Close();
    EXPECT_TRUE(second.Open(pty.Slave())) << second.LastErrorText();
}

TEST(LinuxComDevice, ClocalIsSetFromTheOpenOnBeforeAnySettingIsWritten) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    termios before = pty.Termios();
    before.c_cflag &= ~CLOCAL;
    ASSERT_EQ(::tcsetattr(pty.Master(), TCSANOW, &before), 0);
    ASSERT_EQ(pty.Termios().c_cflag & CLOCAL, 0u);
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    EXPECT_NE(pty.Termios().c_cflag & CLOCAL, 0u);
}

TEST(LinuxComDevice, EverySettingsWriteKeepsClocal) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    for (const std::uint8_t parity : {0, 1, 2, 3, 4}) {
        TComSettings s = Line19200N81();
        s.parity = parity;
        s.outxCtsFlow = parity % 2 == 1;
        ASSERT_TRUE(device.WriteSettings(s));
        EXPECT_NE(pty.Termios().c_cflag & CLOCAL, 0u) << int(parity);
    }
}

TEST(LinuxComDevice, AMissingPathIsNoSuchDevice) {
    TLinuxComDevice device;
    EXPECT_FALSE(device.Open("/dev/sornafex-no-such-tty"));
    EXPECT_EQ(device.LastError(), kSysFileNotFound);
    EXPECT_EQ(device.LastErrorText(), std::strerror(ENOENT));
}

TEST(LinuxComDevice, AFileThatIsNoTtyIsNoSuchDevice) {
    TLinuxComDevice device;
    EXPECT_FALSE(device.Open("/dev/null"));
    EXPECT_EQ(device.LastError(), kSysFileNotFound);
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

TEST(LinuxComDevice, CloseEndsAPendingWait) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    ASSERT_TRUE(device.SetEventMask(kComThreadEventMask));
    TWaitOutcome outcome = TWaitOutcome::Completed;
    std::thread waiter([&] {
        std::uint32_t events = 0;
        outcome = device.WaitEvent(events);
    });
    EXPECT_TRUE(device.Close());
    waiter.join();
    EXPECT_EQ(outcome, TWaitOutcome::Closed);
}

TEST(LinuxComDevice, ANewMaskEndsAPendingWaitWithoutEvent) {
    TPty pty;
    ASSERT_TRUE(pty.Ok());
    TLinuxComDevice device;
    ASSERT_TRUE(device.Open(pty.Slave()));
    ASSERT_TRUE(device.SetEventMask(kEvRlsd));
    std::uint32_t events = 1;
    TWaitOutcome outcome = TWaitOutcome::Refused;
    std::thread waiter([&] { outcome = device.WaitEvent(events); });
    // Whether the waiter already waits or not, the new mask ends that wait (or the next one).
    ASSERT_TRUE(device.SetEventMask(0));
    waiter.join();
    EXPECT_NE(outcome, TWaitOutcome::Closed);
    EXPECT_EQ(events, 0u);
}

// ---- Through the port component -------------------------------------------------------------

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok());
        map.Set(1, pty.Slave());
        map.Set(2, pty.Slave());
        map.Set(3, "/dev/sornafex-no-such-tty");
        for (TComPort* port : {&port1, &port2}) {
            port->SetUiBridge(&bridge);
            port->SetDeviceMap(map);
        }
        port1.SetComNumber(1);
        port2.SetComNumber(2);
    }

    TPty pty;
    TPortDeviceMap map;
    TQueuedUiBridge bridge;
    TComPort port1;
    TComPort port2;
};

TEST_F(PtyPortTest, AnOpenPortRunsRaw19200N81WithClocal) {
    // Leave the tty at another configuration first, like an earlier user.
    termios before = pty.Termios();
    cfsetspeed(&before, B9600);
    before.c_cflag = (before.c_cflag & ~(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB;
    before.c_lflag |= ICANON | ECHO;
    ASSERT_EQ(::tcsetattr(pty.Master(), TCSANOW, &before), 0);

    port1.SetOpen(true);
    const termios t = pty.Termios();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & PARENB, 0u);
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_FALSE(port1.CarrierLevel());
}

TEST_F(PtyPortTest, ATtyHeldByAnotherPortRaisesAlreadyOpen) {
    port1.SetOpen(true);
    try {
        port2.SetOpen(true);
        FAIL() << "no exception";
    } catch (const EAlreadyOpen& e) {
        EXPECT_STREQ(e.what(), "ie_Open - device already open");
    }
    EXPECT_EQ(port2.LastOpenFailure().reason, std::strerror(EBUSY));
    EXPECT_FALSE(port2.Open());
    port1.SetOpen(false);
    port2.SetOpen(true);
    EXPECT_TRUE(port2.Open());
}

TEST_F(PtyPortTest, AMissingTtyRaisesBadIdThenAnotherPortOpens) {
    port2.SetComNumber(3);
    try {
        port2.SetOpen(true);
        FAIL() << "no exception";
    } catch (const EBadId& e) {
        EXPECT_STREQ(e.what(), "ie_BadId - Specified comport doesn't exist");
    }
    EXPECT_FALSE(port2.Open());
    port2.SetComNumber(2);
    port2.SetOpen(true);
    EXPECT_TRUE(port2.Open());
}

TEST_F(PtyPortTest, TheProbeSeesAFreeAndAHeldTtyAsPresent) {
    EXPECT_TRUE(ProbeDevicePresent(pty.Slave()));
    port1.SetOpen(true);
    EXPECT_TRUE(ProbeDevicePresent(pty.Slave()));
    EXPECT_FALSE(ProbeDevicePresent("/dev/sornafex-no-such-tty"));
}

TEST_F(PtyPortTest, TwoHundredOpensAndClosesLeaveNoThread) {
    for (int cycle = 0; cycle < 200; ++cycle) {
        port1.SetOpen(true);
        ASSERT_EQ(port1.Dispatcher()->ActiveThreads(), 3) << cycle;
        port1.SetOpen(false);
        ASSERT_EQ(TComDispatcher::RegistrySize(), 0u) << cycle;
    }
}

} // namespace
} // namespace sornafex
