#include "acquisition/capture_pacing.h"
#include "serial/sim_com_device.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace sornafex {
namespace {

constexpr TMonoNs kUs = 1'000;
constexpr TMonoNs kMs = 1'000'000;
constexpr TMonoNs kSecond = 1'000'000'000;

// Level changes of a sensor from its start up to t seconds.
using TTransitions = std::function<std::uint64_t(double seconds)>;

TTransitions Steady(double hertz) {
    return [hertz](double t) {
        return SimTransitionsAt(TSimSpec{hertz, hertz}, t);
    };
}

// hertz, then stepped from `at` seconds on.
TTransitions Stepping(double hertz, double stepped, double at) {
    return [=](double t) {
        const double cycles = t < at ? hertz * t : hertz * at + stepped * (t - at);
        return static_cast<std::uint64_t>(2 * cycles);
    };
}

TTransitions Stopping(double hertz, double stopsAt) {
    return [=](double t) {
        return SimTransitionsAt(TSimSpec{hertz, hertz}, std::min(t, stopsAt));
    };
}

// The paced loop against a sensor in virtual time: nothing here reads the real clock. A poll
// takes 1 µs; a sleep ends at its deadline plus a wake-up delay of usualDelay to usualDelay +
// delaySpread, and of lateSpike once in 50 (a machine busy with other work); a hand-off takes
// 50 µs.
struct TVirtualRun {
    struct TStretch {
        TMonoNs from;
        TMonoNs to;
    };

    TTransitions transitions;
    std::size_t windowsWanted = 4;
    TMonoNs usualDelay = 20 * kUs;
    TMonoNs delaySpread = 60 * kUs;
    TMonoNs lateSpike = 400 * kUs;
    std::function<void()> onSleep;

    const TMonoNs start = 1000 * kSecond;
    TMonoNs now = start;
    TMonoNs awakeFrom = start;
    std::uint64_t polls = 0;
    std::vector<TStretch> sleeps; // as asked for
    std::vector<TStretch> awake;  // polling without a pause
    std::vector<TCaptureWindow> windows;
    std::atomic<bool> stop{false};
    std::uint32_t noise = 1;

    std::uint64_t ChangesAt(TMonoNs t) const {
        return transitions(static_cast<double>(t - start) / kSecond);
    }
    bool Read() {
        now += kUs;
        ++polls;
        return ChangesAt(now) & 1;
    }
    void Sleep(TMonoNs until) {
        awake.push_back({awakeFrom, now});
        sleeps.push_back({now, until});
        noise = noise * 1103515245u + 12345u;
        const TMonoNs usual =
            usualDelay + static_cast<TMonoNs>((noise >> 8) % (delaySpread / kUs + 1)) * kUs;
        const TMonoNs delay = (noise >> 16) % 50 == 0 ? std::max(lateSpike, usual) : usual;
        now = std::max(now, until) + delay;
        awakeFrom = now;
        if (onSleep)
            onSleep();
    }
    void Run() {
        TPacedPolling pacing;
        CaptureLoop([this] { return Read(); }, [this] { return now; }, pacing,
                    [this](TMonoNs until) { Sleep(until); },
                    [this](TSample, const TCaptureWindow& window) {
                        windows.push_back(window);
                        now += 50 * kUs;
                        if (windows.size() == windowsWanted)
                            stop.store(true);
                    },
                    stop);
    }

    // The sensor's own count for window i: its changes between the poll that closed the window
    // before (or the window's opening) and the poll that closed this one.
    std::int64_t TrueChanges(std::size_t i) const {
        const TMonoNs from = i == 0 ? windows[0].openedAt : windows[i - 1].closedAt;
        return static_cast<std::int64_t>(ChangesAt(windows[i].closedAt) - ChangesAt(from));
    }
    // The share of the time from `from` on that the loop spent polling.
    double AwakeShareFrom(TMonoNs from) const {
        TMonoNs asleep = 0;
        for (std::size_t i = 1; i < awake.size(); ++i)
            asleep += std::max<TMonoNs>(0, awake[i].from - std::max(from, awake[i - 1].to));
        return 1.0 - static_cast<double>(asleep) / static_cast<double>(now - from);
    }
    // The most changes a stretch of polling from `from` on went through: 1 when every stretch
    // was the guard around one change, 2 or more when the loop polled through whole levels.
    std::uint64_t MostChangesInAStretchFrom(TMonoNs from) const {
        std::uint64_t most = 0;
        for (const TStretch& stretch : awake)
            if (stretch.from >= from)
                most = std::max(most, ChangesAt(stretch.to) - ChangesAt(stretch.from));
        return most;
    }
    static TMonoNs LongestFrom(const std::vector<TStretch>& stretches, TMonoNs from) {
        TMonoNs longest = 0;
        for (const TStretch& stretch : stretches)
            if (stretch.from >= from)
                longest = std::max(longest, stretch.to - stretch.from);
        return longest;
    }
    // A true change within a poll of t.
    bool IsChangeTime(TMonoNs t) const { return ChangesAt(t + kUs) != ChangesAt(t - kUs); }
};

struct TSensorCase {
    std::string name;
    TTransitions transitions;
    double maxAwakeShare; // after the first window, when the rhythm is learnt
    std::int64_t maxCountError = 1;

    friend void PrintTo(const TSensorCase& c, std::ostream* os) { *os << c.name; }
};

class PacedCounting : public testing::TestWithParam<TSensorCase> {};

// Every window counts what the sensor did (±1 for a change at a window's edge), no sleep keeps
// the stop flag unread longer than kLongestSleep, and slow sensors leave the loop asleep.
TEST_P(PacedCounting, CountsEveryWindowAndSleepsThroughTheLevels) {
    TVirtualRun run;
    run.transitions = GetParam().transitions;
    run.Run();
    ASSERT_EQ(run.windows.size(), run.windowsWanted);
    for (std::size_t i = 0; i < run.windows.size(); ++i)
        EXPECT_NEAR(run.windows[i].changes, run.TrueChanges(i), GetParam().maxCountError)
            << "window " << i;
    EXPECT_LE(TVirtualRun::LongestFrom(run.sleeps, run.start), TPacedPolling::kLongestSleep);
    EXPECT_LE(run.AwakeShareFrom(run.windows[0].closedAt), GetParam().maxAwakeShare);
}

INSTANTIATE_TEST_SUITE_P(
    Sensors, PacedCounting,
    testing::Values(TSensorCase{"OneHertz", Steady(1), 0.03},
                    TSensorCase{"FiftyHertz", Steady(50), 0.03},
                    TSensorCase{"FourHundredHertz", Steady(400), 0.25},
                    TSensorCase{"ThousandHertz", Steady(1000), 0.5},
                    // Its levels are shorter than the 400 µs wake-up delay plus the guard: the
                    // first such delay hides a pair of changes, and the loop then no longer sleeps.
                    TSensorCase{"TwoThousandHertz", Steady(2000), 1, 2},
                    TSensorCase{"WanderingFortyToNinety",
                                [](double t) {
                                    return SimTransitionsAt(TSimSpec{40, 90}, t);
                                },
                                0.03}),
    [](const testing::TestParamInfo<TSensorCase>& info) { return info.param.name; });

// Once the rhythm is learnt, every change is timed to within a poll, and the loop never falls back
// to polling through a whole level, though each change comes earlier than the guard alone allows.
TEST(PacedPolling, WakesBeforeEachChangeThatComesEarlierThanTheGuard) {
    const struct {
        const char* name;
        TMonoNs usualDelay;
        TTransitions transitions;
    } rows[] = {
        // 10 Hz rising by 0.6 Hz a second: each change comes 150 to 250 µs before the last period
        // predicts it.
        {"rising rhythm", 20 * kUs,
         [](double t) {
             return static_cast<std::uint64_t>(2 * (10 * t + 0.3 * t * t));
         }},
        // Every sleep ends 300 to 360 µs late.
        {"late wake-ups", 300 * kUs, Steady(50)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TVirtualRun run;
        run.usualDelay = row.usualDelay;
        run.lateSpike = 0;
        run.transitions = row.transitions;
        run.Run();
        for (std::size_t i = 0; i < run.windows.size(); ++i) {
            EXPECT_NEAR(run.windows[i].changes, run.TrueChanges(i), 1) << "window " << i;
            if (i == 0)
                continue;
            EXPECT_TRUE(run.IsChangeTime(run.windows[i].firstChangeAt)) << "window " << i;
            EXPECT_TRUE(run.IsChangeTime(run.windows[i].lastChangeAt)) << "window " << i;
        }
        EXPECT_EQ(run.MostChangesInAStretchFrom(run.windows[0].closedAt), 1u);
    }
}

TEST(PacedPolling, FallsBackOnAStepAndCountsTheNextWindowExactly) {
    // 50 Hz, then 500 Hz from 1.5 s on, in the second window.
    TVirtualRun run;
    run.windowsWanted = 3;
    run.transitions = Stepping(50, 500, 1.5);
    run.Run();
    ASSERT_EQ(run.windows.size(), 3u);
    EXPECT_NEAR(run.windows[0].changes, run.TrueChanges(0), 1);
    EXPECT_NEAR(run.windows[2].changes, run.TrueChanges(2), 1);
    // After the step the loop polls through the new levels without pause...
    EXPECT_GE(run.MostChangesInAStretchFrom(run.start + 1500 * kMs), 2u);
    // ...and sleeps through them again once it has learnt them.
    EXPECT_LE(run.AwakeShareFrom(run.windows[1].closedAt), 0.5);
}

// A line without a driver's count can hide pairs of changes between two looks once it rises
// fourfold or more within a level: the window that holds the rise loses at most 2k changes (k
// hertz of its sample) for a rise of k times, none below four times, whatever the moment of the
// rise; the next window is exact again.
TEST(PacedPolling, TheWindowOfASharpRiseLosesAtMostTwiceItsFactor) {
    const struct {
        double hertz;
        double factor;
        std::int64_t mostLost;
    } rows[] = {
        {50, 3, 0}, {100, 3, 0}, {50, 4, 8}, {100, 8, 16}, {10, 16, 32}, {50, 32, 64},
    };
    for (const auto& row : rows) {
        for (int phase = 0; phase < 20; ++phase) {
            SCOPED_TRACE(std::to_string(row.hertz) + " Hz x" + std::to_string(row.factor) +
                         ", phase " + std::to_string(phase));
            TVirtualRun run;
            run.windowsWanted = 3;
            run.transitions = Stepping(row.hertz, row.hertz * row.factor, 1.1 + phase * 0.0173);
            run.Run();
            ASSERT_EQ(run.windows.size(), 3u);
            const std::int64_t lost = run.TrueChanges(1) - run.windows[1].changes;
            EXPECT_GE(lost, -1);
            EXPECT_LE(lost, std::max<std::int64_t>(row.mostLost, 1));
            EXPECT_NEAR(run.windows[2].changes, run.TrueChanges(2), 1);
        }
    }
}

TEST(PacedPolling, ARhythmFiveTimesFasterCannotHideBetweenTheLooks) {
    // 10 Hz, then 50 Hz from 1.5 s on: every fifth change of the new rhythm falls where the old
    // one predicts a change. With wake-up delays that never vary, only the looks' own jitter
    // shows the changes in between.
    TVirtualRun run;
    run.windowsWanted = 3;
    run.delaySpread = 0;
    run.lateSpike = 0;
    run.transitions = Stepping(10, 50, 1.5);
    run.Run();
    ASSERT_EQ(run.windows.size(), 3u);
    EXPECT_NEAR(run.windows[2].changes, run.TrueChanges(2), 1);
}

TEST(PacedPolling, LooksAtALineThatStoppedEveryOneToTwoMilliseconds) {
    // 50 Hz for half a second, then nothing.
    TVirtualRun run;
    run.windowsWanted = 2;
    run.transitions = Stopping(50, 0.5);
    run.Run();
    EXPECT_NEAR(run.windows[0].changes, run.TrueChanges(0), 1);
    EXPECT_EQ(run.windows[1].changes, 0);
    const TMonoNs quiet = run.start + 500 * kMs + TPacedPolling::kQuietAfter + 20 * kMs;
    EXPECT_LE(TVirtualRun::LongestFrom(run.sleeps, quiet), TPacedPolling::kQuietLook);
    EXPECT_LE(run.AwakeShareFrom(quiet), 0.01);
}

TEST(PacedPolling, StopDuringASleepEndsTheLoopAtItsNextPoll) {
    TVirtualRun run;
    run.transitions = Steady(10);
    std::uint64_t pollsAtStop = 0;
    run.onSleep = [&] {
        if (run.sleeps.size() == 100) {
            run.stop.store(true);
            pollsAtStop = run.polls;
        }
    };
    run.Run();
    EXPECT_EQ(run.sleeps.size(), 100u);
    EXPECT_EQ(run.polls, pollsAtStop + 1);
}

} // namespace
} // namespace sornafex
