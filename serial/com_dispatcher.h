#pragma once

// The per-port I/O engine. One dispatcher exists for each open port (and briefly for each probe of
// a port, port_probe.h): it owns the device, its settings record, the modem-status shadow, three
// re-entrant locks, five signals and, while the port is open, three threads of its own:
//   TComThread   waits for device events and hands each one over;
//   TDispThread  processes them: modem status, line errors, received data (at least every 50 ms);
//   TOutThread   writes queued output.
// The logic is written once here over the device seam (com_device.h).
//
// Result codes: 0 success, positive nothing done, negative failure (com_errors.h).
//
// Threads. Construction, PortSetup, PortShutdown, the settings operations and destruction run on
// the UI thread. ReadDcd / ReadModemStatus may be called from any thread at any time while the
// dispatcher exists: they serialise with the settings writes and the processing thread on
// LineLock. Lock order: InputLock may be held while OutputLock is taken, nothing else nests, and
// nothing that holds LineLock takes another dispatcher lock.

#include "serial/com_device.h"
#include "serial/com_errors.h"
#include "serial/com_signal.h"
#include "serial/step_aside.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sornafex {

class TUiBridge;
class TCustomComPort;
class TDispatcherThread;

// SetupOptions bits handed to PortSetup.
inline constexpr std::uint8_t kSetupDtr = 0x01;     // initial DTR level raised
inline constexpr std::uint8_t kSetupRts = 0x02;     // initial RTS level raised
inline constexpr std::uint8_t kSetupDtrFlow = 0x10; // DTR driven by flow control
inline constexpr std::uint8_t kSetupRtsFlow = 0x20; // RTS driven by flow control

// Hardware flow bits of ApplyHardwareFlow.
inline constexpr std::uint8_t kHwFlowUseDtr = 1;
inline constexpr std::uint8_t kHwFlowUseRts = 2;
inline constexpr std::uint8_t kHwFlowRequireDsr = 4;
inline constexpr std::uint8_t kHwFlowRequireCts = 8;

// Software flow mode bits of EnableSoftwareFlow.
inline constexpr std::uint8_t kSwFlowTransmit = 1;
inline constexpr std::uint8_t kSwFlowReceive = 2;

// "Keep the device's current value" in ApplyLineSettings.
inline constexpr std::int32_t kKeepBaud = 0;
inline constexpr std::uint8_t kKeepParity = 5;
inline constexpr std::uint8_t kKeepDataBits = 9;
inline constexpr std::uint8_t kKeepStopBits = 3;

// MsrShadow: the kMs* line bits of com_device.h in the high nibble, change bits in the low one.
inline constexpr std::uint8_t kMsrCtsChanged = 0x01;
inline constexpr std::uint8_t kMsrDsrChanged = 0x02;
inline constexpr std::uint8_t kMsrRingSeen = 0x04;
inline constexpr std::uint8_t kMsrDcdChanged = 0x08;
// Clear masks of ReadModemStatus.
inline constexpr std::uint8_t kClearDcdChange = 0xF7;  // ReadDcd
inline constexpr std::uint8_t kClearAllChanges = 0xF0; // PortSetup's first reading
inline constexpr std::uint8_t kClearNothing = 0xFF;    // RefreshModemStatus

// PurgeQueue targets.
inline constexpr int kPurgeOutput = 0;
inline constexpr int kPurgeInput = 1;

inline constexpr std::uint32_t kReceiveBufferSize = 8192;
// Event mask of the event thread.
inline constexpr std::uint32_t kComThreadEventMask = 0x1F9;

// Starts a thread running body; throws std::system_error when the system refuses one.
using TThreadLauncher = std::function<std::thread(std::function<void()> body)>;

class TComDispatcher {
public:
    // owner: the port component, or none for a probe. bridge: UI messages keep being processed
    // during the waits for the threads when it is set and the wait runs on its UI thread; null
    // gives plain waits. factory: makes the device at OpenDevice; empty uses MakeSystemDevice.
    explicit TComDispatcher(TCustomComPort* owner = nullptr, TUiBridge* bridge = nullptr,
                            TDeviceFactory factory = {});
    // Shuts the port down (PortShutdown), waits until every dispatcher thread has ended (UI
    // messages keep being processed) and leaves the registry.
    ~TComDispatcher();
    TComDispatcher(const TComDispatcher&) = delete;
    TComDispatcher& operator=(const TComDispatcher&) = delete;

    TCustomComPort* Owner() const { return m_owner; }
    // Position in the process-wide registry; −1 before registration.
    int RegistryIndex() const { return m_registryIndex; }
    // Positions in use, empty ones included (trailing empty ones are removed).
    static std::size_t RegistrySize();

    // The name shown for the port ("COM3").
    void SetDisplayName(std::string name);
    const std::string& DisplayName() const { return m_displayName; }

    // Errors of dispatcher threads that end through an exception are handed here (on the ending
    // thread) before the thread runs its exit step; without a handler they are dropped.
    void SetThreadErrorHandler(std::function<void(std::exception_ptr)> handler);
    // Called once, on the event thread, when the device is lost (unplugged, hung up), after the
    // device was closed: the descriptor is already released, and DCD reads as not asserted.
    // Not called when the loss meets a close already under way.
    void SetLostHandler(std::function<void()> handler);
    // How the three threads are started (empty: std::thread).
    void SetThreadLauncher(TThreadLauncher launcher);

    // ---- Device primitives --------------------------------------------------------------------
    // Opens the device exclusively (sizes are not used; see SetQueueSizes). Returns a positive
    // handle, −1 with LastSystemError() set, or −8 when memory ran out.
    int OpenDevice(const std::string& name, std::uint32_t inSize, std::uint32_t outSize);
    // Ends the event thread's wait, then closes the device. 0, or −1 when no device was open.
    int CloseDevice();
    bool DeviceOpen() const;
    int DeviceHandle() const { return m_handle.load(std::memory_order_acquire); }
    // The system code and the system's own words for the last failed device call (kept after
    // the device is closed again).
    int LastSystemError() const;
    std::string LastSystemErrorText() const;
    // The device object of the open (or last opened) device; null before OpenDevice. For
    // measurements and tests that need the bare device next to the dispatcher.
    TComDevice* Device() const { return m_device.get(); }

    int EscapeLine(TEscapeFunction function);
    int PurgeQueue(int which);
    // Reads and clears the device's errors; status.outQueue is the output ring's fill. Returns
    // the error bits (0 when the call failed).
    std::uint32_t ReadLineErrors(TComStatus& status);
    int ReadSettings(TComSettings& settings);
    int WriteSettings(const TComSettings& settings);
    // Reads what the device has received (never blocks): bytes read, or −1.
    int ReadData(std::uint8_t* buffer, std::uint32_t count);
    // Copies into the output ring for the output thread; returns the bytes accepted.
    int QueueOutput(const std::uint8_t* buffer, std::uint32_t count);
    bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize);
    // Stops the threads and frees both buffers.
    void ReleaseResources();
    // Starts the three threads, waiting up to 3000 ms for each to report; throws
    // std::runtime_error("Dispatcher already started") when they already run. When the system
    // refuses a thread (std::system_error), the threads already started are stopped again and the
    // error is raised.
    void StartThreads();
    // Ends the three threads. The processing thread is given up after two waits of 36 ticks; it
    // then ends on its own (it never waits for LineLock while stopping) and the destructor waits
    // for it.
    void StopThreads();
    void SetThreadBoost(std::uint8_t boost);
    // 1: the owner handles triggers; 2: it does not; 0: recompute.
    void SetHandlerMode(int mode);
    bool HandlerServiceNeeded() const;

    // ---- Modem status ------------------------------------------------------------------------
    // Live status: the four line bits of one device query merged with the change bits kept in
    // MsrShadow (and the ring latch); returns the merged byte, then clears what clearMask clears.
    // When a dispatcher thread waits for LineLock, it gets the lock before this caller can take it
    // again; so a caller must not hold LineLock itself.
    std::uint8_t ReadModemStatus(std::uint8_t clearMask);
    // ReadModemStatus(kClearDcdChange): the DCD level of one live query.
    bool ReadDcd();
    // The driver's count of DCD changes (TComDevice::CarrierChanges), under LineLock as
    // ReadModemStatus; false when the device keeps none or is closed.
    bool ReadCarrierChanges(std::uint32_t& changes);
    // TComDevice::WaitCarrierChange and WakeCarrierWait, without any lock: the device ends the
    // wait itself when it is closed. The caller keeps the dispatcher alive meanwhile.
    TCarrierWait WaitCarrierChange(TMonoNs until, const std::function<bool()>& cancelled);
    void WakeCarrierWait();
    // ReadModemStatus(kClearNothing), then sets the change bit of every line that moved since the
    // shadow's previous reading.
    void RefreshModemStatus();
    std::uint8_t MsrShadow() const;
    // Marks a ring event; it shows as kMsrRingSeen in the next reading.
    void LatchRing();

    // 1 (nothing done) when the line is driven by flow control; 0 when set; −1002 on failure.
    int SetDtrLine(bool level);
    int SetRtsLine(bool level);

    // ---- Device setup (com_dispatcher_setup.cpp) ---------------------------------------------
    // Opens, sizes, raises DTR/RTS (before anything else is written), takes a fresh modem
    // reading, applies the line settings and starts the threads. Any failure shuts down again
    // and is returned: −8, or the negated system code of the failed call (a thread the system
    // refuses included), with LastSystemErrorText() saying why.
    int PortSetup(const std::string& name, std::int32_t baud, std::uint8_t parity,
                  std::uint8_t dataBits, std::uint8_t stopBits, std::uint32_t inSize,
                  std::uint32_t outSize, std::uint8_t options);
    // Purges and closes the device, stops the threads and frees the buffers. DTR and RTS are left
    // as they are.
    void PortShutdown();
    // Writes baud/parity/data bits/stop bits (the kKeep* values keep the device's own), only when
    // they differ from the device's; waits for the output to drain first.
    int ApplyLineSettings(std::int32_t baud, std::uint8_t parity, std::uint8_t dataBits,
                          std::uint8_t stopBits);
    // −1002 without change when bufferFull < bufferResume or bufferFull > the input size.
    int ApplyHardwareFlow(std::uint32_t bufferFull, std::uint32_t bufferResume, std::uint8_t bits);
    int EnableSoftwareFlow(std::uint32_t bufferFull, std::uint32_t bufferResume,
                           std::uint8_t modeBits);
    int DisableSoftwareFlow();
    int SetFlowChars(char xon, char xoff);
    // Sets the manual lines' control modes from their states, writes settings, remembers the
    // baud and raises the manual lines again (RTS not in RS-485 mode).
    int StoreSettings(TComSettings& settings);
    void WaitOutputDrained();

    // ---- State -------------------------------------------------------------------------------
    int ActiveThreads() const { return m_activeThreads.load(std::memory_order_acquire); }
    bool ThreadsRunning() const { return m_threadsRunning.load(std::memory_order_acquire); }
    TComSettings PortSettings() const;
    std::int32_t RememberedBaud() const;
    std::uint32_t LineErrors() const;
    bool DtrState() const;
    bool RtsState() const;
    bool DtrFlow() const;
    bool RtsFlow() const;
    std::uint32_t InputSize() const { return m_inSize; }
    std::uint32_t OutputSize() const { return m_outSize; }
    // Bytes waiting in the received-data buffer, in the output ring.
    std::size_t InputCount() const;
    std::size_t OutputCount() const;
    bool BuffersAllocated() const;
    void SetRs485Mode(bool on);
    bool Rs485Mode() const;
    std::uint8_t ThreadBoost() const;

private:
    friend class TDispatcherThread;
    friend class TComThread;
    friend class TDispThread;
    friend class TOutThread;

    struct TRing {
        std::vector<std::uint8_t> data;
        std::size_t head = 0;
        std::size_t tail = 0;
        bool full = false;
        std::size_t Count() const;
        void Reset() { head = tail = 0, full = false; }
    };

    // Runs the waits of StopThreads and of destruction: until done() holds or ticks (0: no
    // limit) passed, processing UI messages when the bridge's UI thread is the caller.
    bool WaitProcessing(const std::function<bool()>& done, std::uint32_t ticks);
    void ProcessEvents();
    void PullReceivedData();
    void RefreshLocked();
    void FreeBuffers();
    // A dispatcher thread's LineLock: gives up (false) instead of waiting once the threads are
    // told to stop, so StopThreads holding the lock never waits on it.
    bool LockLineUnlessStopping();
    // The event thread's part of a loss: closes the device, then calls the lost handler.
    void DeviceLost();
    std::thread LaunchThread(std::function<void()> body);
    // A thread counted out of ActiveThreads; the last one clears ThreadsRunning.
    void CountThreadOut();
    void ThreadEnded(TDispatcherThread* thread, std::atomic<TDispatcherThread*>& reference);
    void ReportThreadError(std::exception_ptr error);
    void CloseSignals();
    int ModemRead(std::uint8_t clearMask); // under LineLock
    // The negated system code of the device's last failure (−1 when it gave none).
    int DeviceFailure() const;

    TCustomComPort* m_owner;
    TUiBridge* m_bridge;
    TDeviceFactory m_factory;
    int m_registryIndex = -1;
    std::string m_displayName;
    std::function<void(std::exception_ptr)> m_threadErrorHandler; // LineLock
    std::function<void()> m_lostHandler;                          // LineLock
    TThreadLauncher m_threadLauncher;                             // LineLock

    // Timed, so that a dispatcher thread can wait for it in the kernel and still give up when the
    // threads are told to stop.
    mutable std::recursive_timed_mutex m_lineLock;
    // Threads waiting for LineLock: the DCD poll steps aside until they have it.
    mutable TStepAside m_lineWaiters;

    // LineLock as every thread but the DCD poll takes it: announced first, so that the poll,
    // which takes it again within nanoseconds of releasing it, lets this thread in.
    class TLineGuard {
    public:
        explicit TLineGuard(const TComDispatcher& dispatcher) : m_dispatcher(dispatcher) {
            m_dispatcher.m_lineWaiters.Announce();
            m_dispatcher.m_lineLock.lock();
            m_dispatcher.m_lineWaiters.Withdraw();
        }
        ~TLineGuard() { m_dispatcher.m_lineLock.unlock(); }
        TLineGuard(const TLineGuard&) = delete;
        TLineGuard& operator=(const TLineGuard&) = delete;

    private:
        const TComDispatcher& m_dispatcher;
    };
    mutable std::recursive_mutex m_outputLock;
    mutable std::recursive_mutex m_inputLock;

    std::unique_ptr<TComDevice> m_device;
    std::atomic<int> m_handle{-1};
    int m_lastSystemError = 0;         // LineLock
    std::string m_lastSystemErrorText; // LineLock

    // LineLock
    std::uint32_t m_lineErrors = 0;
    std::uint32_t m_inSize = 0;
    std::uint32_t m_outSize = 0;
    std::uint8_t m_msrShadow = 0;
    TComSettings m_portSettings;
    std::int32_t m_rememberedBaud = 0;
    bool m_dtrState = false;
    bool m_dtrFlow = false;
    bool m_rtsState = false;
    bool m_rtsFlow = false;
    bool m_rs485 = false;
    bool m_ownerHandlesTriggers = false;
    bool m_handlerServiceNeeded = false;
    std::uint8_t m_threadBoost = 0;

    std::atomic<std::uint32_t> m_eventWord{0};
    std::atomic<bool> m_ringLatch{false};
    std::atomic<bool> m_threadsStopping{false};
    std::atomic<bool> m_threadsRunning{false};
    std::atomic<bool> m_finishOnExit{false};
    std::atomic<int> m_activeThreads{0};

    std::atomic<TDispatcherThread*> m_comThread{nullptr};
    std::atomic<TDispatcherThread*> m_dispThread{nullptr};
    std::atomic<TDispatcherThread*> m_outThread{nullptr};
    // Every thread object ever started; joined by the destructor once ActiveThreads is 0.
    std::vector<std::unique_ptr<TDispatcherThread>> m_threadObjects; // LineLock
    std::mutex m_exitMutex;
    std::condition_variable m_threadExited;

    TRing m_input;  // InputLock
    TRing m_output; // OutputLock

    TSignalGroup m_signals;
    TSignal m_eventSignal{m_signals, TSignal::TReset::Auto};
    TSignal m_readySignal{m_signals, TSignal::TReset::Auto};
    TSignal m_handshakeSignal{m_signals, TSignal::TReset::Auto};
    TSignal m_outputSignal{m_signals, TSignal::TReset::Auto};
    TSignal m_outputStopSignal{m_signals, TSignal::TReset::Auto};
};

} // namespace sornafex
