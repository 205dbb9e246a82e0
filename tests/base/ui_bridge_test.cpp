#include "base/ui_bridge.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace sornafex {
namespace {

// A bridge whose every round of message processing is counted; one round's message raises.
class TCountingBridge final : public TUiBridge {
public:
    explicit TCountingBridge(int raisingRound) : m_raisingRound(raisingRound) {}
    int rounds = 0;
    void RunOnUiThread(const std::function<void()>& call) override { call(); }
    void Post(std::function<void()> call) override { call(); }
    void ProcessMessages() override {
        if (++rounds == m_raisingRound)
            throw std::runtime_error("a message failed");
    }
    bool IsUiThread() const override { return true; }

private:
    int m_raisingRound;
};

TEST(ProcessMessagesUntil, ProcessesAtLeastOnceThenUntilDoneOrExpired) {
    constexpr int kNever = 1000;
    const struct {
        const char* name;
        int doneAt;    // done() holds once this many rounds ran
        int expiredAt; // expired() likewise; kNever: no limit given
        int raisingRound;
        bool result;
        int rounds;
    } rows[] = {
        {"done from the start", 0, kNever, 0, true, 1},
        {"done after three rounds", 3, kNever, 0, true, 3},
        {"expired first", kNever, 2, 0, false, 2},
        {"done and expired in one round", 2, 2, 0, true, 2},
        {"a raising message", 4, kNever, 2, true, 4},
    };
    for (const auto& row : rows) {
        TCountingBridge bridge(row.raisingRound);
        const auto after = [&bridge](int round) {
            return [&bridge, round] {
                return bridge.rounds >= round;
            };
        };
        const bool result =
            row.expiredAt != kNever
                ? bridge.ProcessMessagesUntil(after(row.doneAt), after(row.expiredAt))
                : bridge.ProcessMessagesUntil(after(row.doneAt));
        EXPECT_EQ(result, row.result) << row.name;
        EXPECT_EQ(bridge.rounds, row.rounds) << row.name;
    }
}

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
