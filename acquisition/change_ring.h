#pragma once

// The way every level change the counting loop finds reaches the UI thread: a single-producer,
// single-consumer ring of change times. The loop pushes each change as it finds it and never
// waits: when the ring is full the change is dropped, and the consumer sees the loss as a jump in
// the changes' numbers. The UI thread drains the ring at its own pace.

#include "base/mono_clock.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sornafex {

// The index-th level change of a run (0 for the first one after its start), found at a poll and
// timed by ChangeTimeOf, to within ± uncertainty; blindest is the longest pause of the polls since
// the change before (see CaptureLoop).
struct TChangeStamp {
    std::uint64_t index = 0;
    TMonoNs at = 0;
    TMonoNs uncertainty = 0;
    TMonoNs blindest = 0;
    friend bool operator==(const TChangeStamp&, const TChangeStamp&) = default;
};

class TChangeRing {
public:
    // 80 s of a 50 Hz line, or 0.4 s of a 10 kHz one, between two drains.
    static constexpr std::size_t kCapacity = 8192;

    // Producer side: the counting loop's thread only. Wait-free.
    void Push(TMonoNs at, TMonoNs uncertainty = 0, TMonoNs blindest = 0) noexcept {
        const std::uint64_t index = m_produced++;
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tail.load(std::memory_order_acquire) == kCapacity)
            return;
        m_slots[head % kCapacity] = TChangeStamp{index, at, uncertainty, blindest};
        m_head.store(head + 1, std::memory_order_release);
    }

    // Consumer side: appends what was pushed since the last drain, oldest first; returns how
    // many stamps it appended.
    std::size_t Drain(std::vector<TChangeStamp>& out) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        const std::size_t head = m_head.load(std::memory_order_acquire);
        for (std::size_t i = tail; i != head; ++i)
            out.push_back(m_slots[i % kCapacity]);
        m_tail.store(head, std::memory_order_release);
        return head - tail;
    }

    // Empties the ring and numbers the next change 0. Only while no producer runs (before a run's
    // worker is launched): the worker's launch orders it before the first Push.
    void Reset() noexcept {
        m_produced = 0;
        m_head.store(0, std::memory_order_relaxed);
        m_tail.store(0, std::memory_order_relaxed);
    }

private:
    std::array<TChangeStamp, kCapacity> m_slots{};
    // Producer-owned: changes found, dropped ones included.
    std::uint64_t m_produced = 0;
    // The two ends sit on lines of their own, so that the loop's pushes and the UI's drains do
    // not make each other's cache line travel.
    alignas(64) std::atomic<std::size_t> m_head{0};
    alignas(64) std::atomic<std::size_t> m_tail{0};
};

} // namespace sornafex
