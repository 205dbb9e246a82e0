#include "serial/com_dispatcher.h"

#include "base/uRes.h"
#include "base/ui_bridge.h"
#include "serial/com_ticks.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <stdexcept>
#include <thread>

namespace sornafex {

namespace {

// How long a dispatcher thread sleeps in LineLock before it looks at the stop flag again.
constexpr auto kLineLockSlice = std::chrono::milliseconds(20);

} // namespace

// ---- Threads ----------------------------------------------------------------------------------

// A dispatcher thread runs at once and, however its loop ends (an exception included), runs its
// exit step: clear the dispatcher's reference to it, count itself out of ActiveThreads. A thread
// that skipped that step would leave ActiveThreads above 0 for ever and the close hanging.
class TDispatcherThread {
public:
    TDispatcherThread(TComDispatcher& dispatcher, std::atomic<TDispatcherThread*>& reference)
        : m_dispatcher(dispatcher), m_reference(reference) {}
    virtual ~TDispatcherThread() = default;
    TDispatcherThread(const TDispatcherThread&) = delete;
    TDispatcherThread& operator=(const TDispatcherThread&) = delete;

    // Counted and referenced before it runs, so that a close never misses a thread that exists
    // but has not yet run a line; both undone when the system refuses the thread.
    void Start() {
        m_dispatcher.m_activeThreads.fetch_add(1, std::memory_order_acq_rel);
        m_reference.store(this, std::memory_order_release);
        try {
            m_thread = m_dispatcher.LaunchThread([this] { Run(); });
        } catch (...) {
            m_reference.store(nullptr, std::memory_order_release);
            m_dispatcher.CountThreadOut();
            throw;
        }
    }
    void Join() {
        if (m_thread.joinable())
            m_thread.join();
    }

protected:
    virtual void Execute() = 0;
    // Called when Execute ends through an exception, before the exit step.
    virtual void OnError() {}
    void ExitStep() { m_dispatcher.ThreadEnded(this, m_reference); }

    TComDispatcher& m_dispatcher;

private:
    void Run() {
        try {
            Execute();
        } catch (...) {
            m_dispatcher.ReportThreadError(std::current_exception());
            OnError();
            ExitStep();
        }
    }

    std::atomic<TDispatcherThread*>& m_reference;
    std::thread m_thread;
};

// Waits for device events and hands each one to the processing thread.
class TComThread final : public TDispatcherThread {
public:
    using TDispatcherThread::TDispatcherThread;

private:
    void Execute() override {
        TComDispatcher& d = m_dispatcher;
        TComDevice& device = *d.m_device;
        device.SetEventMask(kComThreadEventMask);
        d.m_handshakeSignal.Raise();
        for (;;) {
            // A stop that came before the wait began would not end it.
            if (d.m_threadsStopping.load(std::memory_order_acquire))
                return End();
            std::uint32_t events = 0;
            const TWaitOutcome outcome = device.WaitEvent(events);
            if (outcome == TWaitOutcome::Closed)
                return End();
            if (outcome == TWaitOutcome::Lost) {
                d.DeviceLost();
                return End();
            }
            if (outcome == TWaitOutcome::Completed) {
                d.m_eventWord.store(events, std::memory_order_release);
                if (events & kEvRing)
                    d.LatchRing();
            }
            if (d.m_threadsStopping.load(std::memory_order_acquire))
                return End();
            d.m_eventSignal.Raise();
            d.m_signals.Wait(d.m_readySignal, TSignalGroup::kInfinite);
            if (d.m_threadsStopping.load(std::memory_order_acquire))
                return End();
        }
    }
    void End() {
        m_dispatcher.m_handshakeSignal.Raise();
        ExitStep();
    }
};

// Processes events: modem status, line errors and received data, at least every 50 ms.
class TDispThread final : public TDispatcherThread {
public:
    using TDispatcherThread::TDispatcherThread;

private:
    void Execute() override {
        TComDispatcher& d = m_dispatcher;
        d.m_handshakeSignal.Raise();
        for (;;) {
            d.m_signals.Wait(d.m_eventSignal, 50);
            if (d.m_threadsStopping.load(std::memory_order_acquire)) {
                d.m_finishOnExit.store(true, std::memory_order_release);
                return ExitStep();
            }
            d.ProcessEvents();
            if (d.m_threadsStopping.load(std::memory_order_acquire))
                break;
        }
        d.m_handshakeSignal.Raise();
        d.m_finishOnExit.store(true, std::memory_order_release);
        ExitStep();
    }
    void OnError() override { m_dispatcher.m_finishOnExit.store(true, std::memory_order_release); }
};

// Writes what QueueOutput put into the output ring.
class TOutThread final : public TDispatcherThread {
public:
    using TDispatcherThread::TDispatcherThread;

private:
    void Execute() override {
        TComDispatcher& d = m_dispatcher;
        d.m_handshakeSignal.Raise();
        for (;;) {
            const int which = d.m_signals.WaitAny({&d.m_outputSignal, &d.m_outputStopSignal},
                                                  TSignalGroup::kInfinite);
            if (which == TSignalGroup::kFailed)
                break; // the signals are closed: the dispatcher is stopping
            if (which == 0) {
                if (d.m_threadsStopping.load(std::memory_order_acquire))
                    break;
                WriteQueued();
            } else {
                d.m_handshakeSignal.Raise(); // acknowledges a purge
            }
            if (d.m_threadsStopping.load(std::memory_order_acquire))
                break;
        }
        ExitStep();
    }

    void WriteQueued() {
        TComDispatcher& d = m_dispatcher;
        std::vector<std::uint8_t> chunk;
        for (;;) {
            {
                std::lock_guard lock(d.m_outputLock);
                const std::size_t count = d.m_output.Count();
                if (count == 0)
                    return;
                const std::size_t size = d.m_output.data.size();
                const std::size_t first = std::min(count, size - d.m_output.tail);
                chunk.assign(d.m_output.data.begin() + static_cast<std::ptrdiff_t>(d.m_output.tail),
                             d.m_output.data.begin() +
                                 static_cast<std::ptrdiff_t>(d.m_output.tail + first));
            }
            std::size_t done = 0;
            while (done < chunk.size()) {
                const std::int32_t written = d.m_device->Write(
                    chunk.data() + done, static_cast<std::uint32_t>(chunk.size() - done));
                if (written < 0)
                    return;
                if (written == 0) {
                    // The device takes no more for now: wait a little, unless told to stop.
                    const int stop = d.m_signals.WaitAny({&d.m_outputStopSignal}, 10);
                    if (stop == 0)
                        d.m_handshakeSignal.Raise();
                    if (stop != TSignalGroup::kTimeout)
                        return;
                    continue;
                }
                done += static_cast<std::size_t>(written);
                std::lock_guard lock(d.m_outputLock);
                const std::size_t size = d.m_output.data.size();
                if (size == 0)
                    return; // the ring was freed meanwhile
                d.m_output.tail = (d.m_output.tail + static_cast<std::size_t>(written)) % size;
                d.m_output.full = false;
            }
        }
    }
};

// ---- Registry ---------------------------------------------------------------------------------

namespace {

// The one process-wide state of the serial layer: every dispatcher's position, so that a
// notification carrying a position finds its dispatcher. Guarded by RegistryLock.
struct TRegistry {
    std::mutex lock;
    std::vector<TComDispatcher*> entries;
};

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

} // namespace

std::size_t TComDispatcher::TRing::Count() const {
    if (full)
        return data.size();
    return head >= tail ? head - tail : data.size() - tail + head;
}

TComDispatcher::TComDispatcher(TCustomComPort* owner, TUiBridge* bridge, TDeviceFactory factory)
    : m_owner(owner), m_bridge(bridge), m_factory(std::move(factory)) {
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    const auto free = std::find(registry.entries.begin(), registry.entries.end(), nullptr);
    if (free != registry.entries.end()) {
        *free = this;
        m_registryIndex = static_cast<int>(free - registry.entries.begin());
    } else {
        registry.entries.push_back(this);
        m_registryIndex = static_cast<int>(registry.entries.size() - 1);
    }
}

TComDispatcher::~TComDispatcher() {
    PortShutdown();
    WaitProcessing([this] { return ActiveThreads() == 0; }, 0);
    // Joined outside every lock: the exit step of the processing thread takes LineLock.
    for (auto& thread : m_threadObjects)
        thread->Join();
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    if (m_registryIndex >= 0 && static_cast<std::size_t>(m_registryIndex) < registry.entries.size())
        registry.entries[static_cast<std::size_t>(m_registryIndex)] = nullptr;
    while (!registry.entries.empty() && registry.entries.back() == nullptr)
        registry.entries.pop_back();
}

std::size_t TComDispatcher::RegistrySize() {
    TRegistry& registry = Registry();
    std::lock_guard lock(registry.lock);
    return registry.entries.size();
}

void TComDispatcher::SetDisplayName(std::string name) {
    m_displayName = std::move(name);
}

void TComDispatcher::SetThreadErrorHandler(std::function<void(std::exception_ptr)> handler) {
    const TLineGuard lock(*this);
    m_threadErrorHandler = std::move(handler);
}

void TComDispatcher::SetLostHandler(std::function<void()> handler) {
    const TLineGuard lock(*this);
    m_lostHandler = std::move(handler);
}

void TComDispatcher::SetThreadLauncher(TThreadLauncher launcher) {
    const TLineGuard lock(*this);
    m_threadLauncher = std::move(launcher);
}

std::thread TComDispatcher::LaunchThread(std::function<void()> body) {
    // Under LineLock: StartThreads holds it.
    if (m_threadLauncher)
        return m_threadLauncher(std::move(body));
    return std::thread(std::move(body));
}

void TComDispatcher::DeviceLost() {
    // A close already under way holds LineLock and waits for this thread: it closes the device
    // itself, and the owner is not told of a loss it no longer cares about.
    if (!LockLineUnlessStopping())
        return;
    std::function<void()> handler;
    {
        std::lock_guard lock(m_lineLock, std::adopt_lock);
        // Released at once, not at the owner's close: until every descriptor of a vanished
        // device is closed, the kernel keeps its name and a replugged adapter gets another one.
        if (m_device && m_device->Close())
            m_handle.store(-1, std::memory_order_release);
        m_lastSystemError = kSysFileNotFound;
        m_lastSystemErrorText = res::kReasonLost;
        handler = m_lostHandler;
    }
    if (handler)
        handler();
}

void TComDispatcher::ReportThreadError(std::exception_ptr error) {
    std::function<void(std::exception_ptr)> handler;
    {
        const TLineGuard lock(*this);
        handler = m_threadErrorHandler;
    }
    if (handler) {
        try {
            handler(error);
        } catch (...) {
            // A failing report must not keep the thread from its exit step.
        }
    }
}

void TComDispatcher::ThreadEnded(TDispatcherThread* thread,
                                 std::atomic<TDispatcherThread*>& reference) {
    TDispatcherThread* expected = thread;
    reference.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
    // The processing thread's reference is cleared before ReleaseResources takes LineLock, so a
    // StopThreads holding the lock sees it gone and finishes.
    if (&reference == &m_dispThread && m_finishOnExit.load(std::memory_order_acquire)) {
        ReleaseResources();
        m_finishOnExit.store(false, std::memory_order_release);
    }
    CountThreadOut();
}

void TComDispatcher::CountThreadOut() {
    if (m_activeThreads.fetch_sub(1, std::memory_order_acq_rel) == 1)
        m_threadsRunning.store(false, std::memory_order_release);
    { std::lock_guard lock(m_exitMutex); }
    m_threadExited.notify_all();
}

bool TComDispatcher::WaitProcessing(const std::function<bool()>& done, std::uint32_t ticks) {
    const TTickDeadline deadline(ticks);
    const auto expired = [&deadline, ticks] {
        return ticks != 0 && deadline.Expired();
    };
    if (m_bridge != nullptr && m_bridge->IsUiThread())
        return done() || m_bridge->ProcessMessagesUntil(done, expired);
    std::unique_lock lock(m_exitMutex);
    while (!done()) {
        if (expired())
            return false;
        m_threadExited.wait_for(lock, std::chrono::milliseconds(10), done);
    }
    return true;
}

// ---- Device primitives ------------------------------------------------------------------------

int TComDispatcher::OpenDevice(const std::string& name, std::uint32_t, std::uint32_t) {
    std::unique_ptr<TComDevice> device;
    try {
        device = m_factory ? m_factory(name) : MakeSystemDevice(name);
    } catch (const std::bad_alloc&) {
        return ecOutOfMemory;
    }
    const TLineGuard lock(*this);
    if (!device) {
        m_lastSystemError = kSysFileNotFound;
        m_lastSystemErrorText = ErrnoText(ENOENT);
        return -1;
    }
    if (!device->Open(name)) {
        m_lastSystemError = device->LastError();
        m_lastSystemErrorText = device->LastErrorText();
        return -1;
    }
    m_lastSystemError = 0;
    m_lastSystemErrorText.clear();
    m_device = std::move(device);
    m_handle.store(m_device->Handle(), std::memory_order_release);
    return m_handle.load();
}

int TComDispatcher::CloseDevice() {
    if (!m_device || m_handle.load() < 0)
        return -1;
    if (m_threadsRunning.load(std::memory_order_acquire)) {
        m_threadsStopping.store(true, std::memory_order_release);
        m_device->SetEventMask(0);
        m_readySignal.Raise();
        m_handshakeSignal.Clear();
    }
    // Under LineLock: a DCD read in progress finishes its status query before the descriptor
    // goes, and none starts on a closed one.
    const TLineGuard lock(*this);
    if (!m_device->Close())
        return -1;
    m_handle.store(-1, std::memory_order_release);
    return 0;
}

bool TComDispatcher::DeviceOpen() const {
    return m_device && m_handle.load() >= 0;
}

int TComDispatcher::LastSystemError() const {
    const TLineGuard lock(*this);
    return m_lastSystemError;
}

std::string TComDispatcher::LastSystemErrorText() const {
    const TLineGuard lock(*this);
    return m_lastSystemErrorText;
}

int TComDispatcher::EscapeLine(TEscapeFunction function) {
    if (m_device)
        m_device->Escape(function);
    return 0;
}

int TComDispatcher::PurgeQueue(int which) {
    if (!m_device)
        return ecNotOpen;
    if (which == kPurgeOutput) {
        if (m_outThread.load(std::memory_order_acquire) != nullptr) {
            m_outputStopSignal.Raise();
            m_signals.Wait(m_handshakeSignal, 5000);
        }
        std::lock_guard lock(m_outputLock);
        m_output.Reset();
        if (!m_device->Purge(kPurgeTxAbort | kPurgeTxClear))
            return -m_device->LastError();
        return 0;
    }
    std::lock_guard lock(m_inputLock);
    m_input.Reset();
    if (!m_device->Purge(kPurgeRxAbort | kPurgeRxClear))
        return -m_device->LastError();
    return 0;
}

std::uint32_t TComDispatcher::ReadLineErrors(TComStatus& status) {
    if (!m_device)
        return 0;
    std::uint32_t errors = 0;
    if (!m_device->ClearError(errors, status))
        return 0;
    std::lock_guard lock(m_outputLock);
    status.outQueue = static_cast<std::uint32_t>(m_output.Count());
    return errors;
}

int TComDispatcher::DeviceFailure() const {
    const int system = m_device ? m_device->LastError() : 0;
    return system > 0 ? -system : -1;
}

int TComDispatcher::ReadSettings(TComSettings& settings) {
    if (!m_device || !m_device->ReadSettings(settings))
        return -1;
    return 0;
}

int TComDispatcher::WriteSettings(const TComSettings& settings) {
    if (!m_device)
        return ecNotOpen;
    if (m_device->WriteSettings(settings))
        return 0;
    const TLineGuard lock(*this);
    m_lastSystemError = m_device->LastError();
    m_lastSystemErrorText = m_device->LastErrorText();
    return m_lastSystemError > 0 ? -m_lastSystemError : -1;
}

int TComDispatcher::ReadData(std::uint8_t* buffer, std::uint32_t count) {
    if (!m_device)
        return -1;
    return m_device->Read(buffer, count);
}

int TComDispatcher::QueueOutput(const std::uint8_t* buffer, std::uint32_t count) {
    std::uint32_t accepted = 0;
    {
        std::lock_guard lock(m_outputLock);
        const std::size_t size = m_output.data.size();
        while (accepted < count && size != 0 && !m_output.full) {
            m_output.data[m_output.head] = buffer[accepted++];
            m_output.head = (m_output.head + 1) % size;
            m_output.full = m_output.head == m_output.tail;
        }
    }
    if (accepted != 0)
        m_outputSignal.Raise();
    return static_cast<int>(accepted);
}

bool TComDispatcher::SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) {
    if (!m_device)
        return false;
    if (m_device->SetQueueSizes(inSize, outSize))
        return true;
    const TLineGuard lock(*this);
    m_lastSystemError = m_device->LastError();
    m_lastSystemErrorText = m_device->LastErrorText();
    return false;
}

void TComDispatcher::FreeBuffers() {
    // Under LineLock; each buffer is freed only while it exists, so whichever of two
    // ReleaseResources runs second frees nothing.
    {
        std::lock_guard lock(m_inputLock);
        std::vector<std::uint8_t>().swap(m_input.data);
        m_input.Reset();
    }
    std::lock_guard lock(m_outputLock);
    std::vector<std::uint8_t>().swap(m_output.data);
    m_output.Reset();
}

void TComDispatcher::ReleaseResources() {
    const TLineGuard lock(*this);
    m_finishOnExit.store(false, std::memory_order_release);
    if (m_threadsRunning.load(std::memory_order_acquire))
        StopThreads();
    FreeBuffers();
}

void TComDispatcher::StartThreads() {
    const TLineGuard lock(*this);
    if (m_threadsRunning.load(std::memory_order_acquire))
        throw std::runtime_error("Dispatcher already started");
    m_threadsRunning.store(true, std::memory_order_release);
    m_threadsStopping.store(false, std::memory_order_release);
    // Room first: a thread object that runs must never be dropped by a failing push_back.
    m_threadObjects.reserve(m_threadObjects.size() + 3);
    const auto start = [this](std::unique_ptr<TDispatcherThread> thread) {
        thread->Start(); // a refused thread never ran: its object is simply dropped
        m_threadObjects.push_back(std::move(thread));
        m_signals.Wait(m_handshakeSignal, 3000);
    };
    try {
        start(std::make_unique<TComThread>(*this, m_comThread));
        start(std::make_unique<TDispThread>(*this, m_dispThread));
        start(std::make_unique<TOutThread>(*this, m_outThread));
    } catch (...) {
        StopThreads();
        throw;
    }
}

void TComDispatcher::StopThreads() {
    const TLineGuard lock(*this);
    if (!m_threadsRunning.load(std::memory_order_acquire))
        return;
    m_threadsStopping.store(true, std::memory_order_release);
    const auto gone = [](const std::atomic<TDispatcherThread*>& reference) {
        return [&reference] {
            return reference.load(std::memory_order_acquire) == nullptr;
        };
    };
    if (m_outThread.load() != nullptr) {
        m_outputStopSignal.Raise();
        WaitProcessing(gone(m_outThread), 0);
    }
    if (m_comThread.load() != nullptr) {
        if (m_device)
            m_device->SetEventMask(0);
        m_readySignal.Raise();
        m_handshakeSignal.Clear();
        WaitProcessing(gone(m_comThread), 0);
    }
    if (m_dispThread.load() != nullptr) {
        if (!WaitProcessing(gone(m_dispThread), 36)) {
            m_eventSignal.Raise();
            if (!WaitProcessing(gone(m_dispThread), 36)) {
                // Given up: forget it here. It never waits for LineLock once stopping is set,
                // so it ends on its own; the destructor waits for ActiveThreads and joins it.
                m_dispThread.store(nullptr, std::memory_order_release);
            }
        }
    }
    CloseSignals();
}

void TComDispatcher::CloseSignals() {
    for (TSignal* signal :
         {&m_eventSignal, &m_readySignal, &m_handshakeSignal, &m_outputSignal, &m_outputStopSignal})
        if (signal->Valid())
            signal->Close();
}

void TComDispatcher::SetThreadBoost(std::uint8_t boost) {
    // Threads of the normal time-sharing class all run at one priority on Linux, and raising it
    // needs privileges the program does not have: the boost is kept for what it is, and 0 (the
    // only value the program uses) is the normal priority anyway.
    const TLineGuard lock(*this);
    m_threadBoost = boost;
}

std::uint8_t TComDispatcher::ThreadBoost() const {
    const TLineGuard lock(*this);
    return m_threadBoost;
}

void TComDispatcher::SetHandlerMode(int mode) {
    const TLineGuard lock(*this);
    if (mode == 1) {
        m_ownerHandlesTriggers = true;
        m_handlerServiceNeeded = true;
    } else if (mode == 2) {
        m_ownerHandlesTriggers = false;
        m_handlerServiceNeeded = false; // no other window, procedure or event handler exists
    } else {
        m_handlerServiceNeeded = m_ownerHandlesTriggers;
    }
}

bool TComDispatcher::HandlerServiceNeeded() const {
    const TLineGuard lock(*this);
    return m_handlerServiceNeeded;
}

// ---- Modem status -----------------------------------------------------------------------------

int TComDispatcher::ModemRead(std::uint8_t clearMask) {
    const std::uint8_t status = m_device ? m_device->ModemStatus() : 0;
    m_msrShadow = static_cast<std::uint8_t>((status & 0xF0) | (m_msrShadow & 0x0F));
    if (m_ringLatch.load(std::memory_order_relaxed) &&
        m_ringLatch.exchange(false, std::memory_order_acq_rel))
        m_msrShadow |= kMsrRingSeen;
    const std::uint8_t result = m_msrShadow;
    m_msrShadow &= clearMask;
    return result;
}

std::uint8_t TComDispatcher::ReadModemStatus(std::uint8_t clearMask) {
    std::uint8_t status = 0;
    {
        std::lock_guard lock(m_lineLock);
        status = static_cast<std::uint8_t>(ModemRead(clearMask));
    }
    m_lineWaiters.Yield();
    return status;
}

bool TComDispatcher::ReadDcd() {
    return (ReadModemStatus(kClearDcdChange) & kMsRlsdOn) != 0;
}

bool TComDispatcher::ReadCarrierChanges(std::uint32_t& changes) {
    bool counted = false;
    {
        std::lock_guard lock(m_lineLock);
        counted = m_device && m_device->CarrierChanges(changes);
    }
    m_lineWaiters.Yield();
    return counted;
}

TCarrierWait TComDispatcher::WaitCarrierChange(TMonoNs until,
                                               const std::function<bool()>& cancelled) {
    // The device is made before the port is open and kept until the dispatcher goes.
    if (!m_device)
        return {TCarrierWaitOutcome::Unsupported, 0};
    return m_device->WaitCarrierChange(until, cancelled);
}

void TComDispatcher::WakeCarrierWait() {
    if (m_device)
        m_device->WakeCarrierWait();
}

void TComDispatcher::RefreshLocked() {
    const std::uint8_t old = m_msrShadow;
    const std::uint8_t now = static_cast<std::uint8_t>(ModemRead(kClearNothing));
    m_msrShadow |= static_cast<std::uint8_t>(((now ^ old) & 0xF0) >> 4);
}

void TComDispatcher::RefreshModemStatus() {
    const TLineGuard lock(*this);
    RefreshLocked();
}

std::uint8_t TComDispatcher::MsrShadow() const {
    const TLineGuard lock(*this);
    return m_msrShadow;
}

void TComDispatcher::LatchRing() {
    m_ringLatch.store(true, std::memory_order_release);
}

int TComDispatcher::SetDtrLine(bool level) {
    const TLineGuard lock(*this);
    if (m_dtrFlow)
        return 1;
    if (EscapeLine(level ? TEscapeFunction::SetDtr : TEscapeFunction::ClrDtr) < 0)
        return ecBadArgument;
    m_dtrState = level;
    return 0;
}

int TComDispatcher::SetRtsLine(bool level) {
    const TLineGuard lock(*this);
    if (m_rtsFlow)
        return 1;
    if (EscapeLine(level ? TEscapeFunction::SetRts : TEscapeFunction::ClrRts) < 0)
        return ecBadArgument;
    m_rtsState = level;
    return 0;
}

// ---- The processing thread's pass -------------------------------------------------------------

bool TComDispatcher::LockLineUnlessStopping() {
    // StopThreads holds LineLock while it waits for this thread; blocking here for good would
    // keep both waiting until the give-up. So the wait sleeps in the lock a slice at a time and
    // gives up once stopping is set. (The system clock: a timed lock on it is one the thread
    // checkers understand, and a clock step only makes one slice longer or shorter.)
    m_lineWaiters.Announce();
    bool locked = false;
    while (
        !(locked = m_lineLock.try_lock_until(std::chrono::system_clock::now() + kLineLockSlice))) {
        if (m_threadsStopping.load(std::memory_order_acquire))
            break;
    }
    m_lineWaiters.Withdraw();
    return locked;
}

void TComDispatcher::ProcessEvents() {
    const std::uint32_t events = m_eventWord.load(std::memory_order_acquire);
    if (events & kEvModemLines) {
        if (!LockLineUnlessStopping())
            return;
        std::lock_guard lock(m_lineLock, std::adopt_lock);
        RefreshLocked();
    }
    if (events & (kEvBreak | kEvErr)) {
        TComStatus status;
        const std::uint32_t errors = ReadLineErrors(status) & 0x1F;
        if (!LockLineUnlessStopping())
            return;
        std::lock_guard lock(m_lineLock, std::adopt_lock);
        m_lineErrors |= errors;
    }
    PullReceivedData();
    m_readySignal.Raise();
}

void TComDispatcher::PullReceivedData() {
    std::lock_guard lock(m_inputLock);
    const std::size_t size = m_input.data.size();
    if (size == 0 || m_input.full)
        return;
    TComStatus status;
    ReadLineErrors(status);
    if (status.inQueue == 0)
        return;
    // At most two pieces: up to the end of the buffer, then from its start, never over unread
    // data (nothing in the program consumes it, so the buffer fills once and then stays full).
    for (int piece = 0; piece < 2 && !m_input.full && status.inQueue > 0; ++piece) {
        const std::size_t room =
            m_input.head >= m_input.tail ? size - m_input.head : m_input.tail - m_input.head;
        const auto want = static_cast<std::uint32_t>(std::min<std::size_t>(room, status.inQueue));
        // A failed read counts as nothing read: the next pass tries again.
        const int got = ReadData(m_input.data.data() + m_input.head, want);
        if (got <= 0)
            break;
        status.inQueue -= static_cast<std::uint32_t>(got);
        m_input.head = (m_input.head + static_cast<std::size_t>(got)) % size;
        m_input.full = m_input.head == m_input.tail;
    }
}

// ---- State ------------------------------------------------------------------------------------

TComSettings TComDispatcher::PortSettings() const {
    const TLineGuard lock(*this);
    return m_portSettings;
}
std::int32_t TComDispatcher::RememberedBaud() const {
    const TLineGuard lock(*this);
    return m_rememberedBaud;
}
std::uint32_t TComDispatcher::LineErrors() const {
    const TLineGuard lock(*this);
    return m_lineErrors;
}
bool TComDispatcher::DtrState() const {
    const TLineGuard lock(*this);
    return m_dtrState;
}
bool TComDispatcher::RtsState() const {
    const TLineGuard lock(*this);
    return m_rtsState;
}
bool TComDispatcher::DtrFlow() const {
    const TLineGuard lock(*this);
    return m_dtrFlow;
}
bool TComDispatcher::RtsFlow() const {
    const TLineGuard lock(*this);
    return m_rtsFlow;
}
std::size_t TComDispatcher::InputCount() const {
    std::lock_guard lock(m_inputLock);
    return m_input.Count();
}
std::size_t TComDispatcher::OutputCount() const {
    std::lock_guard lock(m_outputLock);
    return m_output.Count();
}
bool TComDispatcher::BuffersAllocated() const {
    std::lock_guard inputLock(m_inputLock);
    std::lock_guard outputLock(m_outputLock);
    return !m_input.data.empty() || !m_output.data.empty();
}
void TComDispatcher::SetRs485Mode(bool on) {
    const TLineGuard lock(*this);
    m_rs485 = on;
}
bool TComDispatcher::Rs485Mode() const {
    const TLineGuard lock(*this);
    return m_rs485;
}

} // namespace sornafex
