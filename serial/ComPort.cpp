#include "serial/ComPort.h"

#include "base/errors.h"
#include "base/uRes.h"
#include "base/ui_bridge.h"
#include "base/ui_services.h"
#include "serial/com_errors.h"
#include "serial/port_probe.h"
#include "serial/port_reasons.h"

#include <charconv>
#include <condition_variable>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace sornafex {

namespace {

// The number in a list entry "COM<n>": its text from the fourth character on, in decimal.
int EntryNumber(const std::string& entry) {
    if (entry.size() <= 3)
        return 0;
    int number = 0;
    const char* first = entry.data() + 3;
    const char* last = entry.data() + entry.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last)
        return 0;
    return number;
}

// Ratios of the flow buffer marks to the input size.
constexpr double kHwFullRatio = 0.9;
constexpr double kHwResumeRatio = 0.1;
constexpr double kSwFullRatio = 0.75;
constexpr double kSwResumeRatio = 0.25;

constexpr std::uint32_t kMaxTraceSize = 4000000;
constexpr std::uint32_t kMaxLogSize = 16000000;

// Sets a flag for the length of a scope, however the scope is left.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~TFlagGuard() { m_flag = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& m_flag;
};

} // namespace

std::string TBaseComponent::Version() const {
    return "1.0";
}

// Calls a task every period on a thread of its own until it is destroyed; the thread sleeps in
// between, and the destruction wakes it at once.
class TCustomComPort::TRetryTimer {
public:
    TRetryTimer(std::chrono::milliseconds period, std::function<void()> task,
                const TThreadLauncher& launcher) {
        auto body = [this, period, task = std::move(task)] {
            std::unique_lock lock(m_mutex);
            while (!m_wake.wait_for(lock, period, [this] { return m_stop; })) {
                lock.unlock();
                task();
                lock.lock();
            }
        };
        m_thread = launcher ? launcher(std::move(body)) : std::thread(std::move(body));
    }
    ~TRetryTimer() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    TRetryTimer(const TRetryTimer&) = delete;
    TRetryTimer& operator=(const TRetryTimer&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false; // m_mutex
    std::thread m_thread;
};

TCustomComPort::TCustomComPort(TComPortContext context)
    : m_context(std::move(context)), m_life(std::make_shared<TLife>(TLife{this})) {}

TCustomComPort::~TCustomComPort() {
    StopRetrying();
    // A call already posted for this port finds nothing when it runs.
    m_life.reset();
    if (State() == TComPortState::cpsOpen) {
        try {
            DeactivatePort();
        } catch (...) {
            // A destructor must not throw; the dispatcher's own destructor has closed the device.
        }
    }
}

int TCustomComPort::RaiseForCode(int code) const {
    if (code >= 0 || !m_dispatcher || -code != m_dispatcher->LastSystemError())
        return sornafex::RaiseForCode(code);
    return sornafex::RaiseForCode(code, m_dispatcher->LastSystemErrorText());
}

std::string TCustomComPort::Describe() const {
    std::string text =
        res::FormatStr(res::FormatInt(res::kPortToolTipFormat, m_comNumber), DeviceName());
    if (!Open() && m_lastOpenFailure.code != 0 && !m_lastOpenFailure.reason.empty())
        text.append("\n").append(m_lastOpenFailure.reason);
    return text;
}

void TCustomComPort::SetState(TComPortState state) {
    m_stateChange.Announce();
    // A wait for DCD holds the lock for as long as the line is still; announced, it lets go.
    if (TComDispatcher* dispatcher = m_dispatcherRef.load(std::memory_order_acquire))
        dispatcher->WakeCarrierWait();
    {
        std::lock_guard lock(m_carrierLock);
        m_stateChange.Withdraw();
        m_state.store(state, std::memory_order_release);
        if (state == TComPortState::cpsOpen)
            ++m_opens;
    }
}

std::string TCustomComPort::DeviceName() const {
    return m_context.devices.DeviceFor(m_comNumber);
}

// ---- Open and close ---------------------------------------------------------------------------

void TCustomComPort::SetOpen(bool value) {
    // Asked to open or close, the port stops looking for a lost device on its own.
    StopRetrying();
    // Open still reads true while a close is under way (it processes UI messages meanwhile):
    // what is asked now is what the port becomes once the close has ended.
    if (State() == TComPortState::cpsClosing) {
        m_openPending = value;
        return;
    }
    if (value == Open())
        return;
    if (value)
        ActivatePort();
    else
        DeactivatePort();
}

bool TCustomComPort::CarrierLevel() const {
    // Every change of the open state waits for a read in progress, so the dispatcher stays alive
    // for the length of the read; the lock is otherwise only ever taken by this thread.
    bool level = false;
    {
        std::lock_guard lock(m_carrierLock);
        TComDispatcher* dispatcher = m_dispatcherRef.load(std::memory_order_acquire);
        level = m_state.load(std::memory_order_acquire) == TComPortState::cpsOpen &&
                dispatcher != nullptr && dispatcher->ReadDcd();
    }
    m_stateChange.Yield();
    return level;
}

bool TCustomComPort::CarrierChanges(std::uint32_t& changes, std::uint32_t& open) const {
    bool counted = false;
    {
        std::lock_guard lock(m_carrierLock);
        TComDispatcher* dispatcher = m_dispatcherRef.load(std::memory_order_acquire);
        counted = m_state.load(std::memory_order_acquire) == TComPortState::cpsOpen &&
                  dispatcher != nullptr && dispatcher->ReadCarrierChanges(changes);
        open = m_opens;
    }
    m_stateChange.Yield();
    return counted;
}

TCarrierWait TCustomComPort::WaitCarrierChange(TMonoNs until, const std::atomic<bool>& stop) const {
    TCarrierWait result{TCarrierWaitOutcome::Unsupported, 0};
    {
        // Held for the whole wait, so that the dispatcher stays; a change of the open state
        // announces itself and wakes the wait before it asks for the lock.
        std::lock_guard lock(m_carrierLock);
        TComDispatcher* dispatcher = m_dispatcherRef.load(std::memory_order_acquire);
        if (m_state.load(std::memory_order_acquire) == TComPortState::cpsOpen && dispatcher)
            result = dispatcher->WaitCarrierChange(until, [this, &stop] {
                return stop.load(std::memory_order_acquire) || m_stateChange.Announced();
            });
    }
    m_stateChange.Yield();
    return result;
}

void TCustomComPort::WakeCarrierWait() {
    if (TComDispatcher* dispatcher = Dispatcher())
        dispatcher->WakeCarrierWait();
}

TComDispatcher* TCustomComPort::RequireDispatcher() {
    if (Dispatcher() == nullptr && State() != TComPortState::cpsOpen && m_autoOpen)
        SetOpen(true);
    return Dispatcher();
}

std::unique_ptr<TComDispatcher> TCustomComPort::CreateDispatcher() {
    auto dispatcher =
        std::make_unique<TComDispatcher>(this, m_context.bridge, m_context.deviceFactory);
    dispatcher->SetDisplayName(res::PortName(m_comNumber));
    dispatcher->SetThreadLauncher(m_context.threadLauncher);
    // A loss is noticed on a dispatcher thread; the close and the retries happen on the UI thread,
    // if this port and this very open are still there by then.
    if (TUiBridge* bridge = m_context.bridge) {
        const std::weak_ptr<TLife> life = m_life;
        const std::uint64_t generation = ++m_openGeneration;
        dispatcher->SetLostHandler([bridge, life, generation] {
            bridge->Post([life, generation] {
                if (const auto alive = life.lock())
                    alive->port->DeviceLost(generation);
            });
        });
    }
    // Errors of the dispatcher threads reach the user like any other error, on the UI thread.
    TUiBridge* bridge = m_context.bridge;
    TUiServices* services = m_context.services;
    if (bridge != nullptr && services != nullptr) {
        dispatcher->SetThreadErrorHandler([bridge, services](std::exception_ptr error) {
            std::string text = "Serial port exception";
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                text = e.what();
            } catch (...) {
            }
            bridge->Post([services, text] { services->ShowError(ErrorBoxText(text)); });
        });
    }
    return dispatcher;
}

int TCustomComPort::OpenDispatcher() {
    std::uint8_t options = 0;
    if (m_dtr)
        options |= kSetupDtr;
    if (m_rts)
        options |= kSetupRts;
    if (m_hwFlow.Contains(THWFlowOption::hwfUseDTR))
        options |= kSetupDtrFlow;
    if (m_hwFlow.Contains(THWFlowOption::hwfUseRTS))
        options |= kSetupRtsFlow;
    return m_dispatcher->PortSetup(DeviceName(), m_baud, static_cast<std::uint8_t>(m_parity),
                                   static_cast<std::uint8_t>(m_dataBits),
                                   static_cast<std::uint8_t>(m_stopBits), m_inSize, m_outSize,
                                   options);
}

void TCustomComPort::EnsurePortNumber() {
    if (m_comNumber != 0)
        return;
    if (!m_promptForPort || m_context.services == nullptr)
        throw ENoPortSelected();
    const std::vector<std::string> entries = ListPresentPorts(m_context.devices, m_context.tree);
    const auto chosen = m_context.services->SelectPort(entries);
    // With no port listed, "OK" chooses nothing: that is no selection either.
    const int number = chosen ? EntryNumber(*chosen) : 0;
    if (number <= 0 || number > 0xFFFF)
        throw ENoPortSelected();
    m_comNumber = static_cast<std::uint16_t>(number);
}

void TCustomComPort::UpdateHandlerMode() {
    // The program assigns none of the trigger events.
    if (m_dispatcher)
        m_dispatcher->SetHandlerMode(2);
}

std::string TCustomComPort::RefusalReason(int systemCode, const std::string& deviceText) {
    const std::optional<THolder>* known = std::exchange(m_retryHolder, nullptr);
    if (systemCode != kSysAccessDenied)
        return deviceText;
    // Looked for after the device's open let go, so that this process is not the one found.
    return deviceText + HolderText(known ? *known : m_context.tree.Holder(DeviceName()));
}

void TCustomComPort::ActivatePort() {
    m_lastOpenFailure = TOpenFailure{};
    try {
        if (m_tapiMode != TTapiMode::tmOn)
            EnsurePortNumber();
    } catch (const ESerialException& e) {
        m_lastOpenFailure = TOpenFailure{e.ErrorCode(), 0, std::string(), e.what()};
        throw;
    }
    m_dispatcher = CreateDispatcher();
    m_dispatcherRef.store(m_dispatcher.get(), std::memory_order_release);
    try {
        int result = OpenDispatcher();
        if (result == -kSysAccessDenied)
            result = ecAlreadyOpen;
        else if (result == -kSysFileNotFound || result == -kSysPathNotFound)
            result = ecBadId;
        if (result != 0) {
            const int system = m_dispatcher->LastSystemError();
            m_lastOpenFailure =
                TOpenFailure{result, system, DeviceName(),
                             RefusalReason(system, m_dispatcher->LastSystemErrorText())};
            RaiseForCode(result);
        }
        SetState(TComPortState::cpsOpen);
        UpdateHandlerMode();
        {
            // Every setter re-applies its value now, changed or not.
            TFlagGuard force(m_forceApply);
            SetHWFlowOptions(m_hwFlow);
            SetSWFlowOptions(m_swFlow);
            SetXOnChar(m_xonChar);
            SetXOffChar(m_xoffChar);
            SetDTR(m_dtr);
            SetRTS(m_rts);
            SetRS485Mode(m_rs485Mode);
            m_dispatcher->SetThreadBoost(m_threadBoost);
        }
        m_open.store(true, std::memory_order_release);
        NotifyPortOpen();
    } catch (...) {
        if (m_lastOpenFailure.code == 0) {
            m_lastOpenFailure.device = DeviceName();
            try {
                throw;
            } catch (const ESerialException& e) {
                m_lastOpenFailure.code = e.ErrorCode();
                m_lastOpenFailure.reason = e.what();
            } catch (const std::exception& e) {
                m_lastOpenFailure.reason = e.what();
            } catch (...) {
            }
        }
        m_open.store(false, std::memory_order_release);
        SetState(TComPortState::cpsClosed);
        m_dispatcherRef.store(nullptr, std::memory_order_release);
        m_dispatcher.reset(); // closes the device and ends its threads
        throw;
    }
}

void TCustomComPort::DeactivatePort() {
    if (State() != TComPortState::cpsOpen)
        return;
    SetState(TComPortState::cpsClosing);
    NotifyPortClosing();
    m_dispatcher->PortShutdown();
    m_dispatcherRef.store(nullptr, std::memory_order_release);
    // The dispatcher's destructor waits for its threads, processing UI messages meanwhile.
    m_dispatcher.reset();
    SetState(TComPortState::cpsClosed);
    m_open.store(false, std::memory_order_release);
    NotifyPortClosed();
    if (m_openPending) {
        m_openPending = false;
        try {
            ActivatePort();
        } catch (...) {
            ReportBackgroundError(std::current_exception());
        }
    }
}

void TCustomComPort::NotifyPortOpen() {
    if (m_onPortOpen)
        m_onPortOpen();
}

void TCustomComPort::NotifyPortClosed() {
    if (m_onPortClose)
        m_onPortClose();
}

void TCustomComPort::NotifyPortClosing() {}

void TCustomComPort::ReportBackgroundError(std::exception_ptr error) {
    // An open that no caller waits for reports through the application's error box, saying what
    // the status bar says.
    if (m_context.services == nullptr)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        m_context.services->ShowError(
            ErrorBoxText(m_lastOpenFailure.reason.empty() ? std::string(e.what()) : Describe()));
    } catch (...) {
    }
}

// ---- A lost device ----------------------------------------------------------------------------

void TCustomComPort::DeviceLost(std::uint64_t generation) {
    if (generation != m_openGeneration || State() != TComPortState::cpsOpen)
        return;
    const std::string device = DeviceName();
    DeactivatePort();
    // The close processes UI messages: a command run meanwhile may have opened the port again.
    if (State() != TComPortState::cpsClosed || Open())
        return;
    m_lastOpenFailure =
        TOpenFailure{ecNotOpen, kSysFileNotFound, device, std::string(res::kReasonLost)};
    m_lost = true;
    StartRetrying();
    FirePortEvent(TPortEvent::Lost);
}

void TCustomComPort::StartRetrying() {
    if (m_context.bridge == nullptr)
        return;
    TUiBridge* bridge = m_context.bridge;
    const std::weak_ptr<TLife> life = m_life;
    // The look for the node costs a stat or two; only a device that is there again costs the UI
    // thread an open, and one at a time. Who holds it is looked for here too: a scan of /proc is
    // no work for the UI thread once a second while another program keeps the device.
    auto look = [this, bridge, life, device = DeviceName(), tree = m_context.tree] {
        if (!tree.Present(device) || m_retryPosted.exchange(true))
            return;
        bridge->Post([life, holder = tree.Holder(device)] {
            if (const auto alive = life.lock())
                alive->port->RetryReopen(holder);
        });
    };
    try {
        m_retry = std::make_unique<TRetryTimer>(m_context.reopenPeriod, std::move(look),
                                                m_context.threadLauncher);
    } catch (const std::system_error&) {
        // No thread for the retries: the port stays closed until the user opens it again.
    }
}

void TCustomComPort::StopRetrying() {
    m_retry.reset();
    m_retryPosted.store(false);
    m_lost = false;
}

void TCustomComPort::RetryReopen(const std::optional<THolder>& holder) {
    m_retryPosted.store(false);
    if (!m_lost || State() != TComPortState::cpsClosed)
        return;
    const std::string before = m_lastOpenFailure.reason;
    bool reopened = false;
    m_retryHolder = &holder;
    try {
        ActivatePort();
        reopened = true;
    } catch (...) {
    }
    m_retryHolder = nullptr;
    if (!reopened) {
        // Back, but refused (held, no permission, gone again): the user reads why, and the next
        // look is a period away. (A command run while the failed open cleaned up may have
        // opened the port or ended the retries meanwhile.)
        if (m_lost && State() == TComPortState::cpsClosed && m_lastOpenFailure.reason != before)
            FirePortEvent(TPortEvent::Refused);
        return;
    }
    StopRetrying();
    FirePortEvent(TPortEvent::Reopened);
}

void TCustomComPort::FirePortEvent(TPortEvent event) {
    if (m_onPortEvent)
        m_onPortEvent(event);
}

// ---- Port number ------------------------------------------------------------------------------

void TCustomComPort::SetComNumber(std::uint16_t number) {
    if (number == m_comNumber)
        return;
    StopRetrying();
    if (State() != TComPortState::cpsOpen) {
        m_comNumber = number;
        return;
    }
    const TTraceLogState tracing = m_tracing;
    const TTraceLogState logging = m_logging;
    SetOpen(false);
    m_comNumber = number;
    m_tracing = tracing;
    m_logging = logging;
    SetOpen(true);
}

void TCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
    if (layer != TDeviceLayer::dlWin32 || State() != TComPortState::cpsClosed)
        return;
    if (layer != m_deviceLayer) {
        m_deviceLayer = layer;
        DeviceLayerChanged();
    }
}

// ---- Settings ---------------------------------------------------------------------------------

void TCustomComPort::SetBaud(std::int32_t baud) {
    if (baud == m_baud)
        return;
    m_baud = baud;
    if (OpenNow())
        RaiseForCode(m_dispatcher->ApplyLineSettings(m_baud, static_cast<std::uint8_t>(m_parity),
                                                     static_cast<std::uint8_t>(m_dataBits),
                                                     static_cast<std::uint8_t>(m_stopBits)));
}

void TCustomComPort::SetParity(TParity parity) {
    if (parity == m_parity)
        return;
    m_parity = parity;
    if (OpenNow())
        RaiseForCode(m_dispatcher->ApplyLineSettings(m_baud, static_cast<std::uint8_t>(m_parity),
                                                     static_cast<std::uint8_t>(m_dataBits),
                                                     static_cast<std::uint8_t>(m_stopBits)));
}

void TCustomComPort::SetDataBits(std::uint16_t bits) {
    if (bits == m_dataBits)
        return;
    m_dataBits = bits;
    if (OpenNow())
        RaiseForCode(m_dispatcher->ApplyLineSettings(m_baud, static_cast<std::uint8_t>(m_parity),
                                                     static_cast<std::uint8_t>(m_dataBits),
                                                     static_cast<std::uint8_t>(m_stopBits)));
}

void TCustomComPort::SetStopBits(std::uint16_t bits) {
    if (bits == m_stopBits)
        return;
    m_stopBits = bits;
    if (OpenNow())
        RaiseForCode(m_dispatcher->ApplyLineSettings(m_baud, static_cast<std::uint8_t>(m_parity),
                                                     static_cast<std::uint8_t>(m_dataBits),
                                                     static_cast<std::uint8_t>(m_stopBits)));
}

void TCustomComPort::SetInSize(std::uint16_t size) {
    if (size == m_inSize)
        return;
    m_inSize = size;
    // The device's answer is not reported, and the open dispatcher keeps its buffers.
    if (OpenNow())
        m_dispatcher->SetQueueSizes(m_inSize, m_outSize);
}

void TCustomComPort::SetOutSize(std::uint16_t size) {
    if (size == m_outSize)
        return;
    m_outSize = size;
    if (OpenNow())
        m_dispatcher->SetQueueSizes(m_inSize, m_outSize);
}

void TCustomComPort::SetDTR(bool level) {
    if (level == m_dtr && !m_forceApply)
        return;
    if (!OpenNow()) {
        m_dtr = level;
        return;
    }
    // A line under flow control ignores the write (1), and the stored value stays.
    if (RaiseForCode(m_dispatcher->SetDtrLine(level)) == 0)
        m_dtr = level;
}

void TCustomComPort::SetRTS(bool level) {
    if (level == m_rts && !m_forceApply)
        return;
    if (!OpenNow()) {
        m_rts = level;
        return;
    }
    if (RaiseForCode(m_dispatcher->SetRtsLine(level)) == 0)
        m_rts = level;
}

void TCustomComPort::ApplyHardwareFlowNow(THWFlowOptions options) {
    if (!options.Empty()) {
        if (m_bufferFull == 0 || m_bufferFull > m_inSize)
            m_bufferFull = static_cast<std::uint16_t>(m_inSize * kHwFullRatio);
        if (m_bufferResume == 0 || m_bufferResume > m_bufferFull)
            m_bufferResume = static_cast<std::uint16_t>(m_inSize * kHwResumeRatio);
    }
    if (OpenNow())
        RaiseForCode(m_dispatcher->ApplyHardwareFlow(m_bufferFull, m_bufferResume, options.Bits()));
}

void TCustomComPort::SetHWFlowOptions(THWFlowOptions options) {
    if (options == m_hwFlow && !m_forceApply)
        return;
    ApplyHardwareFlowNow(options);
    m_hwFlow = options;
    if (options.Contains(THWFlowOption::hwfUseRTS) ||
        options.Contains(THWFlowOption::hwfRequireCTS))
        m_rs485Mode = false;
}

void TCustomComPort::ApplySoftwareFlowNow(TSWFlowOptions options) {
    if (options != TSWFlowOptions::swfNone) {
        if (m_bufferFull == 0 || m_bufferFull > m_inSize)
            m_bufferFull = static_cast<std::uint16_t>(m_inSize * kSwFullRatio);
        if (m_bufferResume == 0 || m_bufferResume > m_bufferFull)
            m_bufferResume = static_cast<std::uint16_t>(m_inSize * kSwResumeRatio);
    }
    if (!OpenNow())
        return;
    std::uint8_t mode = 0;
    switch (options) {
    case TSWFlowOptions::swfNone:
        RaiseForCode(m_dispatcher->DisableSoftwareFlow());
        return;
    case TSWFlowOptions::swfReceive:
        mode = kSwFlowReceive;
        break;
    case TSWFlowOptions::swfTransmit:
        mode = kSwFlowTransmit;
        break;
    case TSWFlowOptions::swfBoth:
        mode = kSwFlowReceive | kSwFlowTransmit;
        break;
    }
    RaiseForCode(m_dispatcher->EnableSoftwareFlow(m_bufferFull, m_bufferResume, mode));
}

void TCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
    if (options == m_swFlow && !m_forceApply)
        return;
    ApplySoftwareFlowNow(options);
    m_swFlow = options;
}

void TCustomComPort::SetXOnChar(char c) {
    if (c == m_xonChar && !m_forceApply)
        return;
    m_xonChar = c;
    if (OpenNow())
        RaiseForCode(m_dispatcher->SetFlowChars(m_xonChar, m_xoffChar));
}

void TCustomComPort::SetXOffChar(char c) {
    if (c == m_xoffChar && !m_forceApply)
        return;
    m_xoffChar = c;
    if (OpenNow())
        RaiseForCode(m_dispatcher->SetFlowChars(m_xonChar, m_xoffChar));
}

void TCustomComPort::SetBufferFull(std::uint16_t bytes) {
    if (bytes == m_bufferFull && !m_forceApply)
        return;
    m_bufferFull = bytes;
    if (OpenNow()) {
        ApplyHardwareFlowNow(m_hwFlow);
        ApplySoftwareFlowNow(m_swFlow);
    }
}

void TCustomComPort::SetBufferResume(std::uint16_t bytes) {
    if (bytes == m_bufferResume && !m_forceApply)
        return;
    m_bufferResume = bytes;
    if (OpenNow()) {
        ApplyHardwareFlowNow(m_hwFlow);
        ApplySoftwareFlowNow(m_swFlow);
    }
}

void TCustomComPort::SetTraceSize(std::uint32_t size) {
    m_traceSize = size > kMaxTraceSize ? kMaxTraceSize : size;
}

void TCustomComPort::SetLogSize(std::uint32_t size) {
    m_logSize = size > kMaxLogSize ? kMaxLogSize : size;
}

void TCustomComPort::SetUseMSRShadow(bool) {
    // The modem status is always read live from the device; the shadow only keeps change bits.
}

void TCustomComPort::SetRS485Mode(bool on) {
    if (on == m_rs485Mode && !m_forceApply)
        return;
    m_rs485Mode = on;
    if (OpenNow())
        m_dispatcher->SetRs485Mode(on);
}

} // namespace sornafex
