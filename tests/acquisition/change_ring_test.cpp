#include "acquisition/change_ring.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace sornafex {
namespace {

TEST(ChangeRing, DrainsInOrderAndShowsDroppedChangesAsAJumpInTheNumbers) {
    struct TCase {
        const char* name;
        std::size_t pushed;
        std::size_t drainedAfter; // pushes before a first drain; 0: none
        std::vector<std::uint64_t> firstIndices;
        std::size_t count;
        std::uint64_t untimed = 0; // before each push
    };
    const std::size_t full = TChangeRing::kCapacity;
    const TCase cases[] = {
        {"Empty", 0, 0, {}, 0},
        {"Some", 3, 0, {0, 1, 2}, 3},
        {"ExactlyFull", full, 0, {0, 1}, full},
        // The ring keeps the oldest: the newest are dropped until the UI drains.
        {"Overflowing", full + 5, 0, {0, 1}, full},
        // After a drain, a change numbered past the dropped ones comes next.
        {"OverflowThenDrain", full + 5, full + 5, {full + 5}, 1},
        // Changes a driver counted and no poll saw take their numbers too.
        {"UntimedBeforeEach", 3, 0, {2, 5, 8}, 3, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto ring = std::make_unique<TChangeRing>();
        std::vector<TChangeStamp> out;
        for (std::size_t i = 0; i < c.pushed; ++i)
            ring->Push(static_cast<TMonoNs>(i) * 10, 0, 0, c.untimed);
        if (c.drainedAfter != 0) {
            ring->Drain(out);
            out.clear();
            ring->Push(1);
        }
        EXPECT_EQ(ring->Drain(out), c.count);
        ASSERT_EQ(out.size(), c.count);
        for (std::size_t i = 0; i < c.firstIndices.size(); ++i)
            EXPECT_EQ(out[i].index, c.firstIndices[i]);
        for (std::size_t i = 1; i < out.size(); ++i)
            EXPECT_LT(out[i - 1].index, out[i].index);
    }
}

// The loop's thread pushes while the UI thread drains: every change arrives once, in order,
// with its own time (run under ThreadSanitizer).
TEST(ChangeRing, ConcurrentDrainsSeeEveryChangeOnce) {
    constexpr std::uint64_t kChanges = 200'000;
    auto ring = std::make_unique<TChangeRing>();
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (std::uint64_t i = 0; i < kChanges; ++i) {
            ring->Push(static_cast<TMonoNs>(i) * 3);
            if (i % 1024 == 0)
                std::this_thread::yield();
        }
        done.store(true);
    });
    std::vector<TChangeStamp> seen;
    std::uint64_t expected = 0;
    bool inOrder = true;
    for (bool last = false; !last;) {
        last = done.load();
        seen.clear();
        ring->Drain(seen);
        for (const TChangeStamp& stamp : seen) {
            // A full ring drops changes: they show as a jump, never as a repeat or a stale time.
            inOrder = inOrder && stamp.index >= expected &&
                      stamp.at == static_cast<TMonoNs>(stamp.index) * 3;
            expected = stamp.index + 1;
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_GT(expected, 0u);
}

} // namespace
} // namespace sornafex
