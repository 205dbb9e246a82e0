#include "base/ui_bridge.h"

#include <chrono>
#include <exception>

namespace sornafex {

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
    m_posted.notify_all();
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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ProcessMessages();
        if (predicate())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return predicate();
        // The predicate may turn true without a post (another thread finishing its work), so
        // the wait is short rather than until the next post.
        std::unique_lock lock(m_mutex);
        m_posted.wait_for(lock, std::chrono::milliseconds(2), [&] { return !m_queue.empty(); });
    }
}

} // namespace sornafex
