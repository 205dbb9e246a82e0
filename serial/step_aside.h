#pragma once

// A thread that polls in a tight loop re-takes its lock within nanoseconds of releasing it, long
// before a thread woken to take that lock has run: left alone, the waiter would wait for as long
// as the loop runs. A waiter announces itself around its attempt; the loop, after each release,
// waits until nobody is announced. One atomic load per poll while nobody waits.

#include <atomic>

namespace sornafex {

class TStepAside {
public:
    // A waiter, before it asks for the lock, and once it has it (or gave up).
    void Announce() { m_waiting.fetch_add(1, std::memory_order_acq_rel); }
    void Withdraw() {
        m_waiting.fetch_sub(1, std::memory_order_acq_rel);
        m_waiting.notify_all();
    }
    // Whether a waiter is announced now.
    bool Announced() const { return m_waiting.load(std::memory_order_acquire) > 0; }
    // The polling loop, after it released the lock; never while holding it.
    void Yield() const {
        for (int waiting = m_waiting.load(std::memory_order_acquire); waiting > 0;
             waiting = m_waiting.load(std::memory_order_acquire))
            m_waiting.wait(waiting, std::memory_order_acquire);
    }

private:
    std::atomic<int> m_waiting{0};
};

} // namespace sornafex
