#include "acquisition/capture_loop.h"

#include <atomic>
#include <cstdint>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace sornafex {
namespace {

// A scripted line and clock. Poll i (1-based) happens step ms after poll i-1, the first one step
// ms after the loop read its starting tick; the loop is asked to stop during the last poll. The
// loop polls at full speed, so it never sleeps.
struct TScriptedLine {
    std::uint64_t now = 0; // milliseconds
    std::uint32_t step = 100;
    std::vector<int> levels;     // level of each poll
    std::uint32_t handOffMs = 0; // time a hand-off takes
    std::atomic<bool> stop{false};
    std::size_t polls = 0;
    std::vector<TSample> samples;
    std::vector<TCaptureWindow> windows;
    std::vector<TTickCount> handOffTicks;
    std::vector<TMonoNs> changes;
    std::vector<TMonoNs> uncertainties;
    std::vector<TMonoNs> blindests;

    bool Read() {
        now += step;
        const bool level = levels.at(polls) != 0;
        if (++polls == levels.size())
            stop.store(true);
        return level;
    }
    void Run() {
        TFullSpeedPolling pacing;
        CaptureLoop([this] { return Read(); },
                    [this] { return static_cast<TMonoNs>(now) * 1'000'000; }, pacing,
                    [](TMonoNs) { ADD_FAILURE() << "a loop at full speed slept"; },
                    [this](TSample sample, const TCaptureWindow& window) {
                        samples.push_back(sample);
                        windows.push_back(window);
                        handOffTicks.push_back(static_cast<TTickCount>(now));
                        now += handOffMs;
                    },
                    [this](TMonoNs at, TMonoNs uncertainty, TMonoNs blindest) {
                        changes.push_back(at);
                        uncertainties.push_back(uncertainty);
                        blindests.push_back(blindest);
                    },
                    stop);
    }
};

std::vector<int> Repeat(int level, std::size_t count) {
    return std::vector<int>(count, level);
}

std::vector<int> Join(std::initializer_list<std::vector<int>> parts) {
    std::vector<int> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct TLoopCase {
    std::string name;
    TTickCount start;
    std::uint32_t step;
    std::vector<int> levels;
    std::vector<TSample> expected;
};

class CaptureLoopCases : public testing::TestWithParam<TLoopCase> {};

TEST_P(CaptureLoopCases, GivesTheExpectedSamples) {
    const TLoopCase& c = GetParam();
    TScriptedLine line;
    line.now = c.start;
    line.step = c.step;
    line.levels = c.levels;
    line.Run();
    EXPECT_EQ(line.samples, c.expected);
    EXPECT_EQ(line.polls, c.levels.size());
}

// With 100 ms steps the eleventh poll is the first after more than 1000 ms and closes the window.
INSTANTIATE_TEST_SUITE_P(
    Windows, CaptureLoopCases,
    testing::Values(
        TLoopCase{"FiveChangesGiveTwo", 0, 100, Join({{0, 1, 0, 1, 0, 1}, Repeat(1, 5)}), {2}},
        TLoopCase{"SixChangesGiveThree", 0, 100, Join({{0, 1, 0, 1, 0, 1, 0}, Repeat(0, 4)}), {3}},
        TLoopCase{"QuietLineGivesZeroEveryWindow", 5000, 100, Repeat(1, 33), {0, 0, 0}},
        // Ten polls reach exactly 1000 ms: the window stays open and the partial window is lost.
        TLoopCase{"ExactlyOneSecondDoesNotClose", 0, 100, Join({{0, 1, 0, 1}, Repeat(1, 6)}), {}},
        TLoopCase{"SinglePollAtExactlyOneSecond", 0, 1000, {0}, {}},
        TLoopCase{"SinglePollOneMillisecondLater", 0, 1001, {0}, {0}},
        TLoopCase{"ThousandAfterFourQuartersDoesNotClose", 0, 250, {0, 1, 0, 1}, {}},
        TLoopCase{"FifthQuarterCloses", 0, 250, {0, 1, 0, 1, 0}, {2}},
        // Two changes, the second at the closing poll: it counts in the closing window.
        TLoopCase{"ChangeAtTheClosingPollCounts", 0, 100, Join({{0, 1}, Repeat(1, 8), {0}}), {1}},
        // Window 1 ends at level 1; window 2 starts with a change back to 0 that must count there.
        TLoopCase{"PreviousLevelCarriesOver",
                  0,
                  100,
                  Join({Repeat(0, 10), {1}, {0, 1}, Repeat(1, 9)}),
                  {0, 1}},
        // The first poll only gives the starting level: a line that is high from the start has
        // changed nothing.
        TLoopCase{"FirstPollCountsNoChange", 0, 100, Join({{1, 0}, Repeat(0, 9)}), {0}},
        // 2^32 - 512: the window wraps the tick count and still closes after 1000 ms, not before.
        TLoopCase{"WrapInsideAWindow",
                  0xFFFFFE00u,
                  100,
                  Join({{0, 1, 0, 1, 0, 1, 0}, Repeat(0, 4), {1, 0}, Repeat(0, 9)}),
                  {3, 1}},
        TLoopCase{
            "WrapStillWaitsTheFullSecond", 0xFFFFFF9Cu, 100, Join({{0, 1}, Repeat(1, 8)}), {}}),
    [](const testing::TestParamInfo<TLoopCase>& info) { return info.param.name; });

TEST(CaptureLoop, PollsOnceWhenStopWasAlreadyRequested) {
    TScriptedLine line;
    line.levels = Repeat(1, 5);
    line.stop.store(true);
    line.Run();
    EXPECT_EQ(line.polls, 1u);
    EXPECT_TRUE(line.samples.empty());
}

TEST(CaptureLoop, NextWindowStartsAfterTheHandOff) {
    // A hand-off of 5 s: were its time counted, the second window would close at its first poll
    // with a single change.
    TScriptedLine line;
    line.handOffMs = 5000;
    line.levels = Join({Repeat(0, 11), {1, 0, 1, 0}, Repeat(0, 7)});
    line.Run();
    EXPECT_EQ(line.samples, (std::vector<TSample>{0, 2}));
    ASSERT_EQ(line.handOffTicks.size(), 2u);
    EXPECT_EQ(line.handOffTicks[1] - line.handOffTicks[0], 5000u + 1100u);
    // No poll during the hand-off: changes could have come and gone there unseen.
    constexpr TMonoNs kMs = 1'000'000;
    EXPECT_EQ(line.blindests, (std::vector<TMonoNs>{5100 * kMs, 100 * kMs, 100 * kMs, 100 * kMs}));
}

TEST(CaptureLoop, HandsTheChangeTimesWithTheSampleAndEachOneAsItIsFound) {
    // Polls at 100, 200, ... 1100 ms; changes seen at 300 ms and 600 ms, after polls at 200 ms
    // and 500 ms; the eleventh poll closes the window.
    TScriptedLine line;
    line.levels = Join({{0, 0, 1, 1, 1, 0}, Repeat(0, 5)});
    line.Run();
    constexpr TMonoNs kMs = 1'000'000;
    ASSERT_EQ(line.windows.size(), 1u);
    EXPECT_EQ(line.windows[0], (TCaptureWindow{.openedAt = 0,
                                               .closedAt = 1100 * kMs,
                                               .changes = 2,
                                               .firstChangeAt = 250 * kMs,
                                               .lastChangeAt = 550 * kMs}));
    EXPECT_EQ(line.changes, (std::vector<TMonoNs>{250 * kMs, 550 * kMs}));
    EXPECT_EQ(line.uncertainties, (std::vector<TMonoNs>{50 * kMs, 50 * kMs}));
}

TEST(CaptureLoop, SourceErrorEndsTheLoop) {
    std::atomic<bool> stop{false};
    int polls = 0;
    TMonoNs now = 0;
    TFullSpeedPolling pacing;
    EXPECT_THROW(CaptureLoop(
                     [&] {
                         if (++polls == 3)
                             throw std::runtime_error("line lost");
                         return false;
                     },
                     [&] { return now += 10'000'000; }, pacing, [](TMonoNs) {},
                     [](TSample, const TCaptureWindow&) {}, stop),
                 std::runtime_error);
    EXPECT_EQ(polls, 3);
}

TEST(TicksSince, IsTheSignedDifferenceModuloTwoToThe32) {
    EXPECT_EQ(TicksSince(1000u, 0u), 1000);
    EXPECT_EQ(TicksSince(0x00000010u, 0xFFFFFFF0u), 0x20);
    EXPECT_EQ(TicksSince(5u, 10u), -5);
}

} // namespace
} // namespace sornafex
