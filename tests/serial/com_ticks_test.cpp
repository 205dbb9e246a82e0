#include "serial/com_ticks.h"

#include <gtest/gtest.h>

namespace sornafex {
namespace {

TEST(TickDeadline, EndsWhenTheTickPassesStartPlusCount) {
    const TTickDeadline wait(36, 1000);
    EXPECT_FALSE(wait.Expired(1000));
    EXPECT_FALSE(wait.Expired(1036));
    EXPECT_TRUE(wait.Expired(1037));
}

TEST(TickDeadline, AClockThatWentBackCountsAsExpired) {
    const TTickDeadline wait(36, 1000);
    EXPECT_TRUE(wait.Expired(999));
    EXPECT_TRUE(wait.Expired(0));
}

TEST(TickDeadline, LongWaitsAreCutToTheLimit) {
    const TTickDeadline wait(0xFFFFFFFFu, 0);
    EXPECT_FALSE(wait.Expired(kMaxTickWait));
    EXPECT_TRUE(wait.Expired(kMaxTickWait + 1));
}

} // namespace
} // namespace sornafex
