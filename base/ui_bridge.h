#pragma once

// The one way for another thread to reach the user-interface thread, and for a UI-thread wait to
// keep the interface alive. The Qt implementation lives in the program; toolkit-free tests use
// TQueuedUiBridge and pump it by hand.

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sornafex {

class TUiBridge {
public:
    virtual ~TUiBridge() = default;

    // Runs call on the UI thread and returns once it ran. An exception thrown by call is
    // re-raised here, in the calling thread. Called on the UI thread, it runs call directly.
    virtual void RunOnUiThread(const std::function<void()>& call) = 0;
    // Queues call for the UI thread and returns at once.
    virtual void Post(std::function<void()> call) = 0;
    // On the UI thread: handles the calls and events that are waiting, then returns.
    virtual void ProcessMessages() = 0;
    virtual bool IsUiThread() const = 0;

    // On the UI thread: processes pending messages, at least once, until done() holds or
    // expired() does (empty: no limit), giving the processor back for a moment between rounds so
    // that a long wait does not spin a core. What a processed message raises is dropped and the
    // wait goes on: the waiter is no place to report it. True when done() held.
    bool ProcessMessagesUntil(const std::function<bool()>& done,
                              const std::function<bool()>& expired = {});
};

// A bridge whose "UI thread" is the thread that created it and whose message queue is emptied
// only by ProcessMessages. Tests use it to decide exactly when the UI side runs.
class TQueuedUiBridge final : public TUiBridge {
public:
    TQueuedUiBridge();

    void RunOnUiThread(const std::function<void()>& call) override;
    void Post(std::function<void()> call) override;
    void ProcessMessages() override;
    bool IsUiThread() const override;

    // Calls waiting to be processed.
    std::size_t Pending() const;
    // ProcessMessagesUntil(predicate) for at most timeoutMs; true when predicate() held.
    bool PumpUntil(const std::function<bool()>& predicate, int timeoutMs);

private:
    std::thread::id m_uiThread;
    mutable std::mutex m_mutex;
    std::deque<std::function<void()>> m_queue;
};

} // namespace sornafex
