#pragma once

// TWorkerThread: a component that runs an event handler on a thread of its own and reports the
// thread's end back on the user-interface thread. Each thread it starts is a THiddenThread.
//
// Threading contract: Execute, OneThreadIsRunning, RunningCount, the setters and destruction are
// called on the UI thread (the thread of the bridge); OnBegin, OnFinish, OnFinishAll and the error
// box run there too. OnExecute runs on the started thread. Terminate and Terminated may be called
// from any thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sornafex {

class TUiBridge;
class TUiServices;
class TWorkerThread;

// sender is always null for the component's notifications, as its owner expects.
using TNotifyEvent = std::function<void(void* sender)>;
using TExecuteEvent = std::function<void(TWorkerThread* sender, void* parameter)>;

// Caption and text format of the box that reports an exception escaping OnExecute.
inline constexpr std::string_view kWorkerErrorCaption = "Erreur d'application";
inline constexpr std::string_view kWorkerErrorFormat = "Exception %s dans le module %s à %p.\n%s%s";

// The text of that box: class name, module (the program file), error address, then the message
// with a closing full stop when it lacks one.
std::string WorkerErrorText(const std::exception& error, std::string_view module,
                            const void* address);

// One thread of a TWorkerThread. Created suspended by Execute; its body calls OnExecute, reports
// an escaping std::exception in the error box, then has its end handled on the UI thread.
class THiddenThread {
public:
    THiddenThread(const THiddenThread&) = delete;
    THiddenThread& operator=(const THiddenThread&) = delete;

    // The OS thread identifier (gettid), never 0.
    std::uint32_t ThreadID() const { return m_threadId; }
    bool Suspended() const { return m_suspended.load(std::memory_order_acquire); }
    bool TerminateRequested() const { return m_terminateRequested.load(std::memory_order_acquire); }
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    bool FreeOnTerminate() const { return m_freeOnTerminate; }
    int ExitValue() const { return m_exitValue; }

    // Runs call on the UI thread and blocks this thread until it ran; its exception is re-raised
    // here.
    void RunOnUiThread(const std::function<void()>& call);

private:
    friend class TWorkerThread;

    // Starts the OS thread, parked until Resume or Abandon.
    THiddenThread(TWorkerThread& owner, TExecuteEvent handler, void* parameter);
    ~THiddenThread();

    void Resume();
    void RequestTerminate();
    // For a thread that never ran: ends the parked OS thread without running the body and joins it.
    void Abandon();
    void Body();
    void ReportError(const std::exception& error);

    TWorkerThread& m_owner;
    const TExecuteEvent m_onExecute;
    void* const m_parameter;

    std::thread m_thread;
    std::uint32_t m_threadId = 0;
    std::mutex m_gateMutex;
    std::condition_variable m_gate;
    bool m_resumed = false;   // guarded by m_gateMutex
    bool m_abandoned = false; // guarded by m_gateMutex

    std::atomic<bool> m_suspended{true};
    std::atomic<bool> m_terminateRequested{false};
    std::atomic<bool> m_finished{false};
    // Set on the UI thread before Resume; the gate orders them before the body reads them.
    bool m_freeOnTerminate = true;
    std::function<void(THiddenThread&)> m_onTerminate;
    int m_exitValue = 0;

    std::exception_ptr m_error;
    const void* m_errorAddress = nullptr;
};

class TWorkerThread {
public:
    TWorkerThread(TUiBridge& bridge, TUiServices& ui);
    // Asks every live thread to terminate, then waits (running the threads' UI-thread calls
    // meanwhile) until the end of each has been handled.
    ~TWorkerThread();
    TWorkerThread(const TWorkerThread&) = delete;
    TWorkerThread& operator=(const TWorkerThread&) = delete;

    // Starts a thread that calls OnExecute(this, parameter). Returns its OS identifier, or 0 when
    // none was started: Exclusive with a thread still counted as running, or no OnExecute. An error
    // of OnBegin or of the thread's creation reaches the caller, with nothing started or counted.
    std::uint32_t Execute(void* parameter);

    bool OneThreadIsRunning() const { return m_runningCount > 0; }
    // Threads started by Execute whose end has not yet been handled on the UI thread.
    int RunningCount() const { return m_runningCount; }

    // Sets the terminate request of every live thread and resumes the suspended ones.
    void Terminate();
    // True when every live thread has its terminate request set; true when there is none.
    bool Terminated() const;
    // Starts a thread of this component left suspended (RunOnCreate false). False when id names no
    // suspended thread of this component.
    bool Resume(std::uint32_t threadId);

    bool Exclusive() const { return m_exclusive; }
    void SetExclusive(bool value) { m_exclusive = value; }
    bool RunOnCreate() const { return m_runOnCreate; }
    void SetRunOnCreate(bool value) { m_runOnCreate = value; }
    bool FreeOnTerminate() const { return m_freeOnTerminate; }
    void SetFreeOnTerminate(bool value) { m_freeOnTerminate = value; }

    void SetOnBegin(TNotifyEvent handler) { m_onBegin = std::move(handler); }
    void SetOnExecute(TExecuteEvent handler) { m_onExecute = std::move(handler); }
    void SetOnFinish(TNotifyEvent handler) { m_onFinish = std::move(handler); }
    void SetOnFinishAll(TNotifyEvent handler) { m_onFinishAll = std::move(handler); }

    TUiBridge& Bridge() const { return m_bridge; }

private:
    friend class THiddenThread;

    // The on-terminate callback of every thread; runs on the UI thread.
    void HandleThreadTerminate(THiddenThread& sender);
    void ShowThreadError(const std::exception& error, const void* address);
    // Called by a self-freeing thread as its very last act.
    void NoteThreadExit();

    TUiBridge& m_bridge;
    TUiServices& m_ui;

    int m_runningCount = 0;
    mutable std::mutex m_threadsLock;
    std::vector<THiddenThread*> m_threads; // guarded by m_threadsLock
    bool m_exclusive = true;
    bool m_runOnCreate = true;
    TNotifyEvent m_onBegin;
    TExecuteEvent m_onExecute;
    TNotifyEvent m_onFinish;
    TNotifyEvent m_onFinishAll;
    bool m_freeOnTerminate = true;

    // Threads that free themselves still run a little after their end was handled; destruction
    // waits for them here so that none outlives the component.
    std::mutex m_exitMutex;
    std::condition_variable m_exited;
    int m_liveSelfFreeing = 0; // guarded by m_exitMutex
    // Ended threads with FreeOnTerminate false, destroyed (joined) with the component.
    std::vector<THiddenThread*> m_kept;
};

} // namespace sornafex
