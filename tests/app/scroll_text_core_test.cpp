#include "app/scroll_text_core.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace sornafex {
namespace {

using namespace std::chrono_literals;

struct TEstimateCase {
    std::vector<int> widths;
    int lineHeight;
    int frameWidth;
    int frameHeight;
    int expected;
};

class BlockHeightTest : public testing::TestWithParam<TEstimateCase> {};

TEST_P(BlockHeightTest, LinesPerItemTimesLineHeightAtLeastTheFrame) {
    const TEstimateCase& c = GetParam();
    EXPECT_EQ(EstimateBlockHeight(c.widths, c.lineHeight, c.frameWidth, c.frameHeight), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockHeightTest,
    testing::Values(
        // The about box: two items wider than the 201-pixel frame, two lines each.
        TEstimateCase{{250, 230}, 13, 201, 25, 52},
        TEstimateCase{{150, 120}, 13, 201, 25, 26}, // one line each
        TEstimateCase{{201}, 13, 201, 10, 26},      // exactly the width: integer division
        TEstimateCase{{700}, 13, 201, 25, 52},      // 700 / 201 = 3, plus one
        TEstimateCase{{0}, 13, 201, 25, 25},        // an empty item: one line, below the frame
        TEstimateCase{{0, 0, 0}, 13, 201, 5, 39},   // empty items still count one line each
        TEstimateCase{{}, 13, 201, 25, 25},         // no items: the frame
        TEstimateCase{{250}, 0, 201, 25, 25},       // no line height: the frame
        TEstimateCase{{250}, 13, 0, 25, 25}));      // no frame width: the frame

TEST(ScrollCycle, OpensAtTheTopThenLeavesAndEntersAtTheBottom) {
    TScrollCycle cycle(25, 52, 1);
    EXPECT_EQ(cycle.BlockTop(), 0);
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), -53); // just past the top
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), 25); // at the bottom edge
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), 24);
}

TEST(ScrollCycle, AFullTurnTakesFrameAndBlockHeightPlusTwoSteps) {
    TScrollCycle cycle(25, 52, 1);
    cycle.Step();
    cycle.Step();
    ASSERT_EQ(cycle.BlockTop(), 25);
    // From 25 up to -53 is 78 steps, and one more jumps back to the bottom edge.
    for (int i = 0; i < 78; ++i)
        cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), -53);
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), 25);
}

TEST(ScrollCycle, ResetRestartsTheCycleWithoutMovingTheText) {
    TScrollCycle cycle(25, 52, 1);
    for (int i = 0; i < 10; ++i)
        cycle.Step();
    const int shown = cycle.BlockTop();
    cycle.SetHeights(25, 40);
    EXPECT_EQ(cycle.BlockTop(), shown);
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), -41);
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), 25);
}

TEST(ScrollCycle, LargerStepsClimbFaster) {
    TScrollCycle cycle(25, 52, 3);
    cycle.Step();
    cycle.Step();
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), 22);
}

TEST(ScrollCycle, DraggingMovesTheTextWithThePointerAndStopsTheSteps) {
    TScrollCycle cycle(25, 52, 1);
    cycle.Step();
    cycle.Step();
    cycle.Step(); // top 24
    cycle.BeginDrag(100);
    EXPECT_TRUE(cycle.Dragging());
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), 24) << "steps do nothing while dragging";
    cycle.DragTo(90);
    EXPECT_EQ(cycle.BlockTop(), 14);
    cycle.DragTo(95);
    EXPECT_EQ(cycle.BlockTop(), 19);
    cycle.EndDrag();
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), 18) << "the steps resume from where the text was left";
}

TEST(ScrollCycle, DraggingWrapsAtBothEnds) {
    TScrollCycle cycle(25, 52, 1);
    cycle.BeginDrag(0);
    cycle.DragTo(-52);
    EXPECT_EQ(cycle.BlockTop(), -52) << "one block height above the frame is still in the cycle";
    cycle.DragTo(-53);
    EXPECT_EQ(cycle.BlockTop(), 25) << "beyond it the text jumps to the bottom edge";
    cycle.DragTo(-52);
    EXPECT_EQ(cycle.BlockTop(), -52) << "below the bottom edge it jumps a block height above";
    cycle.EndDrag();
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), -53);
}

TEST(ScrollCycle, ADragBeforeTheFirstStepStartsFromWhereTheTextIsShown) {
    TScrollCycle cycle(25, 52, 1);
    cycle.BeginDrag(10);
    cycle.DragTo(7);
    EXPECT_EQ(cycle.BlockTop(), -3);
    cycle.EndDrag();
    cycle.Step();
    EXPECT_EQ(cycle.BlockTop(), -4);
}

TEST(ScrollCycle, PointerMovesWithoutAPressAreIgnored) {
    TScrollCycle cycle(25, 52, 1);
    cycle.DragTo(40);
    EXPECT_EQ(cycle.BlockTop(), 0);
    EXPECT_FALSE(cycle.Dragging());
}

TEST(ScrollTimer, StepsRunOnTheUiThreadOnlyWhenItProcessesMessages) {
    TQueuedUiBridge bridge;
    const auto uiThread = std::this_thread::get_id();
    int steps = 0;
    bool allOnUiThread = true;
    TScrollTimer timer(bridge, 1ms, [&] {
        allOnUiThread = allOnUiThread && std::this_thread::get_id() == uiThread;
        ++steps;
    });
    timer.Start();
    EXPECT_TRUE(timer.Running());
    ASSERT_TRUE(bridge.PumpUntil([&] { return steps >= 3; }, 60000));
    timer.Stop();
    EXPECT_FALSE(timer.Running());
    EXPECT_TRUE(allOnUiThread);
}

TEST(ScrollTimer, StopEndsAThreadWaitingOnTheUiThreadAndItsStepDoesNothing) {
    TQueuedUiBridge bridge;
    int steps = 0;
    TScrollTimer timer(bridge, 1ms, [&] { ++steps; });
    timer.Start();
    // The thread has slept and now waits for the UI thread to run its step.
    while (bridge.Pending() == 0)
        std::this_thread::yield();
    timer.Stop();
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(bridge.Pending(), 0u);
    bridge.ProcessMessages();
    EXPECT_EQ(steps, 0) << "nothing arrives after Stop";
}

TEST(ScrollTimer, StopWakesASleepingThread) {
    // With an hour's delay, Stop returns only because it interrupts the sleep.
    TQueuedUiBridge bridge;
    int steps = 0;
    TScrollTimer timer(bridge, std::chrono::hours(1), [&] { ++steps; });
    timer.Start();
    timer.Stop();
    EXPECT_EQ(steps, 0);
}

TEST(ScrollTimer, RestartsAfterAStopAndStartingTwiceKeepsOneThread) {
    TQueuedUiBridge bridge;
    int steps = 0;
    TScrollTimer timer(bridge, 1ms, [&] { ++steps; });
    timer.Stop(); // not running: nothing to do
    timer.Start();
    timer.Start();
    ASSERT_TRUE(bridge.PumpUntil([&] { return steps >= 1; }, 60000));
    timer.Stop();
    const int before = steps;
    timer.Start();
    ASSERT_TRUE(bridge.PumpUntil([&] { return steps > before; }, 60000));
}

TEST(ScrollTimer, DestroyingARunningTimerStopsIt) {
    TQueuedUiBridge bridge;
    std::atomic<int> steps = 0;
    {
        TScrollTimer timer(bridge, 1ms, [&] { ++steps; });
        timer.Start();
        ASSERT_TRUE(bridge.PumpUntil([&] { return steps >= 1; }, 60000));
    }
    const int after = steps;
    bridge.ProcessMessages();
    EXPECT_EQ(steps, after);
}

} // namespace
} // namespace sornafex
