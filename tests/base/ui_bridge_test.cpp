#include "base/ui_bridge.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace sornafex {
namespace {

TEST(QueuedUiBridge, CallsFromAnotherThreadRunOnTheUiThreadInOrder) {
    TQueuedUiBridge bridge;
    const auto ui = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        for (int i = 0; i < 5; ++i)
            bridge.RunOnUiThread([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), ui);
                order.push_back(i);
            });
        workerDone = true;
    });
    ASSERT_TRUE(bridge.PumpUntil([&] { return workerDone.load(); }, 10000));
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(QueuedUiBridge, ErrorOnTheUiThreadIsRaisedInTheCaller) {
    TQueuedUiBridge bridge;
    std::atomic<bool> caught{false};
    std::thread worker([&] {
        try {
            bridge.RunOnUiThread([] { throw std::runtime_error("boom"); });
        } catch (const std::runtime_error& error) {
            caught = std::string(error.what()) == "boom";
        }
    });
    ASSERT_TRUE(bridge.PumpUntil([&] { return caught.load(); }, 10000));
    worker.join();
}

TEST(QueuedUiBridge, OnTheUiThreadACallRunsAtOnceAndPostsWaitForThePump) {
    TQueuedUiBridge bridge;
    int ran = 0;
    bridge.RunOnUiThread([&] { ++ran; });
    EXPECT_EQ(ran, 1);
    bridge.Post([&] { ++ran; });
    bridge.Post([&] { bridge.Post([&] { ++ran; }); });
    EXPECT_EQ(ran, 1);
    bridge.ProcessMessages();
    // A call posted while pumping waits for the next pump.
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(bridge.Pending(), 1u);
    bridge.ProcessMessages();
    EXPECT_EQ(ran, 3);
}

} // namespace
} // namespace sornafex
