// The simulated sensor: its value syntax, the count of level changes at several frequencies, the
// loop-back lines, the exclusive open, its event wait and its driver-like count and change wait.

#include "base/mono_clock.h"
#include "base/ui_bridge.h"
#include "serial/ComPort.h"
#include "serial/sim_com_device.h"
#include "serial/sim_profile.h"
#include "tests/support/test_files.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace sornafex {
namespace {

// Spelt apart from the quiet sensors of the other test programs, which ctest may run at the
// same moment: a sensor is held by its exact name, machine-wide.
constexpr const char* kQuietSensor = "sim:0.000";

// A clock the test moves by hand; read from the dispatcher threads too.
class TManualClock {
public:
    double Now() const { return m_seconds.load(); }
    void Set(double seconds) { m_seconds.store(seconds); }
    std::function<double()> Function() {
        return [this] {
            return Now();
        };
    }

private:
    std::atomic<double> m_seconds{100.0};
};

struct TSpecCase {
    const char* text;
    std::optional<TSimSpec> expected;
};

class SimSpecTest : public ::testing::TestWithParam<TSpecCase> {};

TEST_P(SimSpecTest, Parses) {
    EXPECT_EQ(ParseSimSpec(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SimSpecTest,
    ::testing::Values(TSpecCase{"sim:40", TSimSpec{40, 40}}, TSpecCase{"sim:0", TSimSpec{0, 0}},
                      TSpecCase{"sim:12.5", TSimSpec{12.5, 12.5}},
                      TSpecCase{"sim:40-90", TSimSpec{40, 90}},
                      TSpecCase{"sim:90-40", TSimSpec{90, 40}}, TSpecCase{"sim:", std::nullopt},
                      TSpecCase{"sim:-5", std::nullopt}, TSpecCase{"sim:+5", std::nullopt},
                      TSpecCase{"sim:abc", std::nullopt}, TSpecCase{"sim:40-", std::nullopt},
                      TSpecCase{"sim:40-90-100", std::nullopt}, TSpecCase{"sim:1e3", std::nullopt},
                      TSpecCase{"sim:4 0", std::nullopt}, TSpecCase{"sim 40", std::nullopt},
                      TSpecCase{"/dev/some-device", std::nullopt}));

TEST(SimTransitions, AFixedFrequencyChangesTwiceAPeriod) {
    EXPECT_EQ(SimTransitionsAt({40, 40}, 1.0), 80u);
    EXPECT_EQ(SimTransitionsAt({40, 40}, 0.0), 0u);
    EXPECT_EQ(SimTransitionsAt({0, 0}, 1000.0), 0u);
    EXPECT_EQ(SimTransitionsAt({12.5, 12.5}, 2.0), 50u);
}

TEST(SimTransitions, AWanderingFrequencyAveragesItsBoundsOverAPeriod) {
    // Over a whole period the sine integrates to nothing: 2 × mid × 30 s changes.
    EXPECT_EQ(SimTransitionsAt({40, 90}, kSimWanderPeriodSeconds), 2u * 65u * 30u);
    // Half a period: mid·t + amp·2/ω cycles.
    const double omega = 2 * std::numbers::pi / kSimWanderPeriodSeconds;
    const double cycles = 65 * 15 + 25 * 2 / omega;
    EXPECT_EQ(SimTransitionsAt({40, 90}, 15), static_cast<std::uint64_t>(std::floor(2 * cycles)));
}

TEST(SimTransitions, AWanderingFrequencyStaysWithinItsBoundsInEverySecond) {
    for (double t = 0; t < 60; t += 1) {
        const auto changes = SimTransitionsAt({40, 90}, t + 1) - SimTransitionsAt({40, 90}, t);
        EXPECT_GE(changes, 2u * 40u - 1u) << t;
        EXPECT_LE(changes, 2u * 90u + 1u) << t;
    }
}

TEST(SimTransitions, TheTimeOfTheNthChangeIsWhenTheCountReachesIt) {
    struct TCase {
        TSimSpec sensor;
        std::uint64_t n;
    };
    // From a still line to 50 Hz in 0.2 s (the 10th change at its end), held to 10 s, then down
    // to a stop at 12.05 s: 5 + 490 + 51.25 cycles, 1092 changes and never a 1093rd.
    const TSimSpec profile{0, 50,
                           std::make_shared<const TSimProfile>(std::vector<TProfilePoint>{
                               {0, 0}, {0.2, 50}, {10, 50}, {12.05, 0}})};
    for (const TCase& c :
         {TCase{{40, 40}, 1}, TCase{{40, 40}, 81}, TCase{{40, 90}, 1}, TCase{{40, 90}, 3901},
          TCase{{0, 90}, 7}, TCase{profile, 1}, TCase{profile, 10}, TCase{profile, 11},
          TCase{profile, 555}, TCase{profile, 1092}}) {
        const double t = SimTransitionTime(c.sensor, c.n);
        EXPECT_EQ(SimTransitionsAt(c.sensor, t), c.n) << c.n;
        EXPECT_EQ(SimTransitionsAt(c.sensor, t - 1e-9), c.n - 1) << c.n;
    }
    EXPECT_DOUBLE_EQ(SimTransitionTime({40, 40}, 81), 81.0 / 80);
    EXPECT_DOUBLE_EQ(SimTransitionTime(profile, 10), 0.2);
    EXPECT_TRUE(std::isinf(SimTransitionTime({0, 0}, 1)));
    EXPECT_TRUE(std::isinf(SimTransitionTime(profile, 1093)));
}

// Polls the level as fast as the acquisition would and counts its changes over one second.
int CountChanges(TComDevice& device, TManualClock& clock, double start, double step) {
    int changes = 0;
    bool level = (device.ModemStatus() & kMsRlsdOn) != 0;
    for (double t = start + step; t <= start + 1.0 + 1e-9; t += step) {
        clock.Set(t);
        const bool now = (device.ModemStatus() & kMsRlsdOn) != 0;
        if (now != level)
            ++changes;
        level = now;
    }
    return changes;
}

class SimFrequencyTest : public ::testing::TestWithParam<double> {};

TEST_P(SimFrequencyTest, LevelChangesInAWindowAreTwiceTheFrequency) {
    const double f = GetParam();
    TManualClock clock;
    TSimComDevice device(clock.Function());
    ASSERT_TRUE(device.Open("sim:" + std::to_string(f)));
    // Poll four times faster than the changes come, from an arbitrary phase.
    const double step = 1.0 / std::max(8.0 * f, 100.0);
    const int changes = CountChanges(device, clock, 100.0 + 0.3137, step);
    EXPECT_NEAR(changes, 2 * f, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Frequencies, SimFrequencyTest,
                         ::testing::Values(0.0, 1.0, 7.0, 12.5, 40.0, 90.0, 250.0, 1000.0));

TEST(SimComDevice, CountsThroughThePortComponentMatchTwiceTheFrequency) {
    TManualClock clock;
    TQueuedUiBridge bridge;
    TPortDeviceMap map;
    map.Set(1, "sim:60");
    TComPort port;
    port.SetUiBridge(&bridge);
    port.SetDeviceMap(map);
    port.SetDeviceFactory(
        [&clock](const std::string&) { return std::make_unique<TSimComDevice>(clock.Function()); });
    port.SetComNumber(1);
    port.SetOpen(true);
    int changes = 0;
    bool level = port.CarrierLevel();
    for (int step = 1; step <= 1000; ++step) {
        clock.Set(100.0 + step / 1000.0);
        const bool now = port.CarrierLevel();
        changes += now != level;
        level = now;
    }
    EXPECT_NEAR(changes, 120, 1);
}

TEST(SimComDevice, DsrFollowsDtrAndCtsFollowsRtsRingStaysLow) {
    TSimComDevice device;
    ASSERT_TRUE(device.Open(kQuietSensor));
    EXPECT_EQ(device.ModemStatus(), 0);
    device.Escape(TEscapeFunction::SetDtr);
    EXPECT_EQ(device.ModemStatus(), kMsDsrOn);
    device.Escape(TEscapeFunction::SetRts);
    EXPECT_EQ(device.ModemStatus(), kMsDsrOn | kMsCtsOn);
    device.Escape(TEscapeFunction::ClrDtr);
    EXPECT_EQ(device.ModemStatus(), kMsCtsOn);
}

TEST(SimComDevice, AMalformedValueOrProfileIsAMissingDeviceThatSaysWhy) {
    const test::TScratchFolder folder;
    test::WriteBytes(folder / "p.txt", "0 50\n1 55\n1 60\n");
    const struct {
        std::string value;
        std::string reason;
    } rows[] = {
        {"sim:fast", "absent"},
        {"sim:file:" + folder / "absent.txt",
         "profil " + folder / "absent.txt" + " : Fichier introuvable"},
        {"sim:file:" + folder / "p.txt",
         "profil " + folder / "p.txt" + ", ligne 3 : les secondes doivent croître"},
    };
    for (const auto& row : rows) {
        TSimComDevice device;
        EXPECT_FALSE(device.Open(row.value));
        EXPECT_EQ(device.LastError(), kSysFileNotFound);
        EXPECT_EQ(device.LastErrorText(), row.reason);
    }
}

TEST(SimComDevice, ASecondOpenIsRefusedAsHeldElsewhere) {
    TSimComDevice first;
    TSimComDevice second;
    TSimComDevice other;
    ASSERT_TRUE(first.Open("sim:17"));
    EXPECT_FALSE(second.Open("sim:17"));
    EXPECT_EQ(second.LastError(), kSysAccessDenied);
    EXPECT_TRUE(other.Open("sim:18"));
    first.Close();
    EXPECT_TRUE(second.Open("sim:17"));
}

TEST(SimComDevice, ASecondProcessIsRefusedToo) {
    TSimComDevice holder;
    ASSERT_TRUE(holder.Open("sim:19"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TSimComDevice device;
        const bool opened = device.Open("sim:19");
        ::_exit(opened ? 0 : device.LastError());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kSysAccessDenied);
}

TEST(SimComDevice, AWaitEndsOnADcdChange) {
    TManualClock clock;
    TSimComDevice device(clock.Function());
    ASSERT_TRUE(device.Open("sim:10"));
    ASSERT_TRUE(device.SetEventMask(kComThreadEventMask));
    std::uint32_t events = 0;
    TWaitOutcome outcome = TWaitOutcome::Refused;
    std::thread waiter([&] { outcome = device.WaitEvent(events); });
    clock.Set(100.0 + 0.06); // past the first change at 50 ms
    waiter.join();
    EXPECT_EQ(outcome, TWaitOutcome::Completed);
    EXPECT_EQ(events, kEvRlsd);
}

TEST(SimComDevice, CloseEndsAPendingWait) {
    TSimComDevice device;
    ASSERT_TRUE(device.Open(kQuietSensor));
    ASSERT_TRUE(device.SetEventMask(kComThreadEventMask));
    TWaitOutcome outcome = TWaitOutcome::Completed;
    std::thread waiter([&] {
        std::uint32_t events = 0;
        outcome = device.WaitEvent(events);
    });
    device.Close();
    waiter.join();
    EXPECT_EQ(outcome, TWaitOutcome::Closed);
}

// The sensor's count and change wait, as a driver's: through the port component, a wait ends at
// the sensor's next change (no earlier than the change itself, which it times) and counts it, or
// at its deadline, or within milliseconds of a wake or a close, or at once once stopped.
TEST(SimComDevice, TheChangeWaitEndsAtTheNextChangeTheDeadlineAWakeOrAClose) {
    enum class TEnd { None, Wake, Close, StoppedBefore };
    const struct {
        const char* name;
        const char* sensor;
        TEnd end;
        TCarrierWaitOutcome outcome;
        std::uint32_t counted; // changes the count gained during the wait
        int mostMs;            // the wait's length at most
    } rows[] = {
        // A level of 100 ms: the count read before the wait is the one it starts from.
        {"the next change", "sim:5.00000", TEnd::None, TCarrierWaitOutcome::Changed, 1, 150},
        {"the deadline", "sim:0.00000", TEnd::None, TCarrierWaitOutcome::Ended, 0, 350},
        {"a wake", "sim:0.00000", TEnd::Wake, TCarrierWaitOutcome::Ended, 0, 80},
        {"a close", "sim:0.00000", TEnd::Close, TCarrierWaitOutcome::Ended, 0, 80},
        {"stopped before", "sim:0.00000", TEnd::StoppedBefore, TCarrierWaitOutcome::Ended, 0, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TQueuedUiBridge bridge;
        TPortDeviceMap map;
        map.Set(1, row.sensor);
        TComPort port;
        port.SetUiBridge(&bridge);
        port.SetDeviceMap(map);
        TSimComDevice* sim = nullptr;
        port.SetDeviceFactory([&sim](const std::string&) {
            auto device = std::make_unique<TSimComDevice>();
            sim = device.get();
            return device;
        });
        port.SetComNumber(1);
        port.SetOpen(true);
        std::uint32_t before = 0;
        std::uint32_t open = 0;
        ASSERT_TRUE(port.CarrierChanges(before, open));
        std::atomic<bool> stop{row.end == TEnd::StoppedBefore};
        const TMonoNs start = MonotonicNs();
        std::thread ender([&] {
            if (row.end != TEnd::Wake && row.end != TEnd::Close)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            stop.store(true);
            if (row.end == TEnd::Wake)
                port.WakeCarrierWait();
            else
                port.SetOpen(false);
        });
        const TCarrierWait wait = port.WaitCarrierChange(start + 300 * kNsPerMs, stop);
        const TMonoNs end = MonotonicNs();
        ender.join();
        EXPECT_EQ(wait.outcome, row.outcome);
        EXPECT_LE(end - start, row.mostMs * kNsPerMs);
        if (row.end == TEnd::Close)
            continue;
        std::uint32_t after = 0;
        ASSERT_TRUE(port.CarrierChanges(after, open));
        EXPECT_EQ(after - before, row.counted);
        if (wait.outcome == TCarrierWaitOutcome::Changed) {
            const auto changedAt = static_cast<TMonoNs>(
                (sim->OpenedAt() + SimTransitionTime(ParseSimSpec(row.sensor).value(), after)) *
                1e9);
            EXPECT_LE(wait.changedAfter, changedAt);
            EXPECT_LE(changedAt - wait.changedAfter, kNsPerMs);
            EXPECT_GE(end, changedAt);
        }
    }
}

TEST(SimComDevice, StartsAtAnotherConfigurationAndKeepsWhatIsWritten) {
    TSimComDevice device;
    ASSERT_TRUE(device.Open(kQuietSensor));
    TComSettings s;
    ASSERT_TRUE(device.ReadSettings(s));
    EXPECT_NE(s.baud, 19200);
    s.baud = 19200;
    s.byteSize = 8;
    s.parity = 0;
    ASSERT_TRUE(device.WriteSettings(s));
    TComSettings back;
    ASSERT_TRUE(device.ReadSettings(back));
    EXPECT_EQ(back, s);
    s.byteSize = 9;
    EXPECT_FALSE(device.WriteSettings(s));
    EXPECT_EQ(device.LastError(), kSysInvalidParameter);
}

} // namespace
} // namespace sornafex
