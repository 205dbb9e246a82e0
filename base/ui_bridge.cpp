#include "base/ui_bridge.h"

#include "base/mono_clock.h"

#include <chrono>
#include <condition_variable>
#include <exception>

namespace sornafex {

namespace {

// Between two rounds of a wait: long enough to give the processor back, short enough for the
// interface not to notice.
constexpr auto kWaitRoundPause = std::chrono::milliseconds(1);

} // namespace

bool TUiBridge::ProcessMessagesUntil(const std::function<bool()>& done,
                                     const std::function<bool()>& expired) {
    for (;;) {
        try {
            ProcessMessages();
        } catch (...) {
            // The toolkit's bridge reports a posted call's failure itself; a waiter for
            // something else would only lose its wait over it.
        }
        if (done())
            return true;
        if (expired && expired())
            return false;
        std::this_thread::sleep_for(kWaitRoundPause);
    }
}

TQueuedUiBridge::TQueuedUiBridge() : m_uiThread(std::this_thread::get_id()) {}

bool TQueuedUiBridge::IsUiThread() const {
    return std::this_thread::get_id() == m_uiThread;
}

void TQueuedUiBridge::RunOnUiThread(const std::function<void()>& call) {
    if (IsUiThread()) {
        call();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    std::exception_ptr error;
    Post([&] {
        try {
            call();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
    if (error)
        std::rethrow_exception(error);
}

void TQueuedUiBridge::Post(std::function<void()> call) {
    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(call));
}

void TQueuedUiBridge::ProcessMessages() {
    // Only what is queued now: a call that posts again must not keep this loop going for ever.
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_queue);
    }
    for (auto& call : batch)
        call();
}

std::size_t TQueuedUiBridge::Pending() const {
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

bool TQueuedUiBridge::PumpUntil(const std::function<bool()>& predicate, int timeoutMs) {
    const TMonoNs deadline = MonotonicNs() + timeoutMs * kNsPerMs;
    return ProcessMessagesUntil(predicate, [deadline] { return MonotonicNs() >= deadline; });
}

} // namespace sornafex
