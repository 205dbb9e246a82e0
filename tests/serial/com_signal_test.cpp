#include "serial/com_signal.h"

#include <gtest/gtest.h>
#include <thread>

namespace sornafex {
namespace {

class SignalTest : public ::testing::Test {
protected:
    TSignalGroup group;
    TSignal autoSignal{group, TSignal::TReset::Auto};
    TSignal manualSignal{group, TSignal::TReset::Manual};
};

TEST_F(SignalTest, SignalsStartInvalidAndWaitsOnThemFail) {
    EXPECT_FALSE(autoSignal.Valid());
    autoSignal.Raise();
    EXPECT_EQ(group.WaitAny({&autoSignal}, 0), TSignalGroup::kFailed);
}

TEST_F(SignalTest, AnAutoResetSignalIsConsumedByOneWait) {
    autoSignal.Create();
    autoSignal.Raise();
    EXPECT_TRUE(group.Wait(autoSignal, 0));
    EXPECT_EQ(group.WaitAny({&autoSignal}, 0), TSignalGroup::kTimeout);
}

TEST_F(SignalTest, AManualResetSignalStaysRaisedUntilCleared) {
    manualSignal.Create();
    manualSignal.Raise();
    EXPECT_TRUE(group.Wait(manualSignal, 0));
    EXPECT_TRUE(group.Wait(manualSignal, 0));
    manualSignal.Clear();
    EXPECT_FALSE(group.Wait(manualSignal, 0));
}

TEST_F(SignalTest, WaitAnyNamesTheSignalThatWasRaised) {
    autoSignal.Create();
    manualSignal.Create();
    manualSignal.Raise();
    EXPECT_EQ(group.WaitAny({&autoSignal, &manualSignal}, 0), 1);
}

TEST_F(SignalTest, ARaiseFromAnotherThreadEndsAnEndlessWait) {
    autoSignal.Create();
    std::thread raiser([&] { autoSignal.Raise(); });
    EXPECT_TRUE(group.Wait(autoSignal, TSignalGroup::kInfinite));
    raiser.join();
}

TEST_F(SignalTest, ClosingASignalEndsAWaitOnIt) {
    autoSignal.Create();
    std::thread closer([&] { autoSignal.Close(); });
    EXPECT_EQ(group.WaitAny({&autoSignal}, TSignalGroup::kInfinite), TSignalGroup::kFailed);
    closer.join();
}

} // namespace
} // namespace sornafex
