#pragma once

// The serial port component. The program uses four things of it: it writes ComNumber, writes
// Open false and true, reads Open, and reads the DCD level through CarrierLevel. Every other
// property exists with its default so that an open configures the device exactly:
// 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS raised.
//
// All members run on the UI thread, except CarrierLevel, CarrierChanges and WaitCarrierChange,
// which the acquisition worker calls in a tight loop and which may meet a close at any moment:
// the port lost, then reopened, under it.
//
// Failures are exceptions of the ESerialException family (com_errors.h). A failed open leaves the
// component as it was: closed, no dispatcher, no thread, the device closed; LastOpenFailure()
// then tells why in the user's words.
//
// A lost device (unplugged adapter, hung-up line) closes the port by itself: the descriptor goes
// at once, the port is closed and reads no carrier, and about once a second it looks for its
// device again and reopens it, set up as at any open, when it is back. An explicit open, close or
// renumbering ends those retries. The UI thread hears of both through the port events; without a
// UI bridge a lost device is only closed.

#include "serial/com_device.h"
#include "serial/com_dispatcher.h"
#include "serial/device_tree.h"
#include "serial/port_device_map.h"
#include "serial/step_aside.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace sornafex {

class TUiBridge;
class TUiServices;

// Texts of the port-selection dialog (TUiServices::SelectPort), which lists "COM%d" for every
// port that is present.
inline constexpr std::string_view kSelectPortCaption = "Select Port";
inline constexpr std::string_view kSelectPortInvalid = "The configured serial port is not valid.";
inline constexpr std::string_view kSelectPortChoose = "Please choose another port.";
inline constexpr std::string_view kSelectPortCancel = "Cancel";

enum class TComPortState { cpsClosed, cpsClosing, cpsOpen };
// What happened to an open port without anyone asking: its device was lost; it came back and
// the port reopened it; or it came back but refused the reopen, and LastOpenFailure() now says
// why (fired when that reason changes; the port keeps looking).
enum class TPortEvent { Lost, Reopened, Refused };
// How often a lost port looks for its device again.
inline constexpr std::chrono::milliseconds kReopenPeriod{1000};
enum class TDeviceLayer { dlWin32, dlWinsock };
enum class TParity : std::uint8_t { pNone, pOdd, pEven, pMark, pSpace };
enum class THWFlowOption : std::uint8_t { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };
enum class TSWFlowOptions : std::uint8_t { swfNone, swfReceive, swfTransmit, swfBoth };
enum class TTraceLogState : std::uint8_t { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum class TTapiMode : std::uint8_t { tmNone, tmAuto, tmOn, tmOff };

// A set of THWFlowOption.
class THWFlowOptions {
public:
    constexpr THWFlowOptions() = default;
    constexpr THWFlowOptions(std::initializer_list<THWFlowOption> options) {
        for (auto option : options)
            m_bits |= Bit(option);
    }
    constexpr bool Contains(THWFlowOption option) const { return (m_bits & Bit(option)) != 0; }
    constexpr bool Empty() const { return m_bits == 0; }
    // The flow bits of ApplyHardwareFlow (hwfUseDTR 1, hwfUseRTS 2, hwfRequireDSR 4,
    // hwfRequireCTS 8).
    constexpr std::uint8_t Bits() const { return m_bits; }
    constexpr bool operator==(const THWFlowOptions&) const = default;

private:
    static constexpr std::uint8_t Bit(THWFlowOption option) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(option));
    }
    std::uint8_t m_bits = 0;
};

// Why the last open failed, or why the port was lost: the result code raised, the system code,
// the device, and the reason in the user's words ("absent", "débranché ou perdu",
// "occupé par un autre programme : minicom (pid 812)", ...). A lost port's reason is the loss
// until its device is back, then why that device refused the reopen.
struct TOpenFailure {
    int code = 0;
    int systemCode = 0;
    std::string device;
    std::string reason;
};

// A component that reports a version text.
class TBaseComponent {
public:
    virtual ~TBaseComponent() = default;
    virtual std::string Version() const;
};

// Everything a port needs from its surroundings. bridge: the UI thread (null: plain waits while
// the dispatcher threads end, and a lost device is not reopened). services: the "Select Port"
// dialog of an open without a port number (null: such an open fails with ENoPortSelected).
// devices: port number to device. deviceFactory: makes the device objects (empty:
// MakeSystemDevice). tree: where the probe and the retries of a lost port look for devices.
// threadLauncher: starts the dispatcher's threads (empty: std::thread). reopenPeriod: how often a
// lost port looks for its device. Pointers are not owned and must outlive the component.
struct TComPortContext {
    TUiBridge* bridge = nullptr;
    TUiServices* services = nullptr;
    TPortDeviceMap devices;
    TDeviceFactory deviceFactory;
    TDeviceTree tree{};
    TThreadLauncher threadLauncher{};
    std::chrono::milliseconds reopenPeriod = kReopenPeriod;
};

class TCustomComPort : public TBaseComponent {
public:
    explicit TCustomComPort(TComPortContext context = {});
    // Closes the port first when it is open. Never throws.
    ~TCustomComPort() override;
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // ---- Surroundings (set while closed) -------------------------------------------------------
    void SetUiBridge(TUiBridge* bridge) { m_context.bridge = bridge; }
    TUiBridge* UiBridge() const { return m_context.bridge; }
    void SetUiServices(TUiServices* services) { m_context.services = services; }
    TUiServices* UiServices() const { return m_context.services; }
    void SetDeviceMap(const TPortDeviceMap& devices) { m_context.devices = devices; }
    const TPortDeviceMap& DeviceMap() const { return m_context.devices; }
    void SetDeviceFactory(TDeviceFactory factory) { m_context.deviceFactory = std::move(factory); }
    const TDeviceFactory& DeviceFactory() const { return m_context.deviceFactory; }
    void SetDeviceTree(TDeviceTree tree) { m_context.tree = std::move(tree); }
    const TDeviceTree& DeviceTree() const { return m_context.tree; }
    void SetThreadLauncher(TThreadLauncher launcher) {
        m_context.threadLauncher = std::move(launcher);
    }
    void SetReopenPeriod(std::chrono::milliseconds period) { m_context.reopenPeriod = period; }

    // ---- Open state ----------------------------------------------------------------------------
    // True from the end of a successful open to the end of the close.
    bool Open() const { return m_open.load(std::memory_order_acquire); }
    // True: opens (no-op when open). False: closes (no-op when closed). Raises the open's
    // exception; the port then stays closed. While a close is under way, the last value asked
    // is carried out when the close ends: true opens then, and a failure of that open goes to
    // the error box, since no caller waits for it.
    void SetOpen(bool value);
    TComPortState State() const { return m_state.load(std::memory_order_acquire); }
    // The DCD level, read live from the device on every call; false when the port is not open,
    // without any device call and without opening it. Callable from any thread, also while the
    // port closes or is lost.
    bool CarrierLevel() const;
    // The DCD changes the device's driver counted, read live as CarrierLevel (wrapping at 2^32),
    // and the number of the port's open they belong to: another open (a lost device back) starts
    // from another count. False when the port is not open or its device keeps no such count
    // (TComDevice::CarrierChanges). Any thread.
    bool CarrierChanges(std::uint32_t& changes, std::uint32_t& open) const;
    // Waits until DCD changes or the monotonic clock reaches until (TComDevice::WaitCarrierChange),
    // and ends within milliseconds when stop is set and WakeCarrierWait called, or when the port
    // starts to close. Unsupported, at once, when the port is not open or its device has no such
    // wait. Any one thread at a time.
    TCarrierWait WaitCarrierChange(TMonoNs until, const std::atomic<bool>& stop) const;
    // Ends the wait under way; after setting its stop flag. UI thread.
    void WakeCarrierWait();
    // The device was lost while open, and the port now looks for it about once a second.
    bool Lost() const { return m_lost; }
    // The dispatcher while open or closing, else null.
    TComDispatcher* Dispatcher() const { return m_dispatcherRef.load(std::memory_order_acquire); }
    // Opens the port first when AutoOpen allows and it is closed; then returns the dispatcher.
    TComDispatcher* RequireDispatcher();
    // The device that port ComNumber names (through the device map).
    std::string DeviceName() const;
    // Why the last open failed, or why the port was lost (code 0 after a successful open).
    const TOpenFailure& LastOpenFailure() const { return m_lastOpenFailure; }
    // "Com n : <device>", and while the port is closed after a failed open or a loss, a second
    // line saying why. What the status bar's tooltip and the error box of a failed open say.
    std::string Describe() const;

    // ---- Properties, defaults as noted
    // ------------------------------------------------------------
    TDeviceLayer DeviceLayer() const { return m_deviceLayer; } // dlWin32; only dlWin32, only closed
    void SetDeviceLayer(TDeviceLayer layer);
    std::uint16_t ComNumber() const { return m_comNumber; } // 0; while open: close and reopen
    void SetComNumber(std::uint16_t number);
    std::int32_t Baud() const { return m_baud; } // 19200
    void SetBaud(std::int32_t baud);
    bool PromptForPort() const { return m_promptForPort; } // true
    void SetPromptForPort(bool prompt) { m_promptForPort = prompt; }
    TParity Parity() const { return m_parity; } // pNone
    void SetParity(TParity parity);
    std::uint16_t DataBits() const { return m_dataBits; } // 8
    void SetDataBits(std::uint16_t bits);
    std::uint16_t StopBits() const { return m_stopBits; } // 1
    void SetStopBits(std::uint16_t bits);
    std::uint16_t InSize() const { return m_inSize; } // 4096
    void SetInSize(std::uint16_t size);
    std::uint16_t OutSize() const { return m_outSize; } // 4096
    void SetOutSize(std::uint16_t size);
    bool AutoOpen() const { return m_autoOpen; } // true
    void SetAutoOpen(bool autoOpen) { m_autoOpen = autoOpen; }
    bool DTR() const { return m_dtr; } // true
    void SetDTR(bool level);
    bool RTS() const { return m_rts; } // true
    void SetRTS(bool level);
    THWFlowOptions HWFlowOptions() const { return m_hwFlow; } // empty
    void SetHWFlowOptions(THWFlowOptions options);
    TSWFlowOptions SWFlowOptions() const { return m_swFlow; } // swfNone
    void SetSWFlowOptions(TSWFlowOptions options);
    char XOnChar() const { return m_xonChar; } // 17
    void SetXOnChar(char c);
    char XOffChar() const { return m_xoffChar; } // 19
    void SetXOffChar(char c);
    std::uint16_t BufferFull() const { return m_bufferFull; } // 0
    void SetBufferFull(std::uint16_t bytes);
    std::uint16_t BufferResume() const { return m_bufferResume; } // 0
    void SetBufferResume(std::uint16_t bytes);
    TTraceLogState Tracing() const { return m_tracing; } // tlOff; no trace is ever written
    void SetTracing(TTraceLogState state) { m_tracing = state; }
    std::uint32_t TraceSize() const { return m_traceSize; } // 10000, at most 4000000
    void SetTraceSize(std::uint32_t size);
    const std::string& TraceName() const { return m_traceName; } // "SERIAL.TRC"
    void SetTraceName(std::string name) { m_traceName = std::move(name); }
    bool TraceHex() const { return m_traceHex; } // true
    void SetTraceHex(bool hex) { m_traceHex = hex; }
    bool TraceAllHex() const { return m_traceAllHex; } // false
    void SetTraceAllHex(bool hex) { m_traceAllHex = hex; }
    TTraceLogState Logging() const { return m_logging; } // tlOff; no log is ever written
    void SetLogging(TTraceLogState state) { m_logging = state; }
    std::uint32_t LogSize() const { return m_logSize; } // 10000, at most 16000000
    void SetLogSize(std::uint32_t size);
    const std::string& LogName() const { return m_logName; } // "SERIAL.LOG"
    void SetLogName(std::string name) { m_logName = std::move(name); }
    bool LogHex() const { return m_logHex; } // true
    void SetLogHex(bool hex) { m_logHex = hex; }
    bool LogAllHex() const { return m_logAllHex; } // false
    void SetLogAllHex(bool hex) { m_logAllHex = hex; }
    bool UseMSRShadow() const { return m_useMsrShadow; } // true; the status is read live anyway
    virtual void SetUseMSRShadow(bool use);
    bool UseEventWord() const { return m_useEventWord; } // true; no device needs an event word
    void SetUseEventWord(bool use) { m_useEventWord = use; }
    std::uint16_t CommNotificationLevel() const { return m_commNotificationLevel; } // 10
    void SetCommNotificationLevel(std::uint16_t level) { m_commNotificationLevel = level; }
    TTapiMode TapiMode() const { return m_tapiMode; } // tmAuto
    void SetTapiMode(TTapiMode mode) { m_tapiMode = mode; }
    bool RS485Mode() const { return m_rs485Mode; } // false
    void SetRS485Mode(bool on);

    // Fired after an open and after a close.
    void SetOnPortOpen(std::function<void()> handler) { m_onPortOpen = std::move(handler); }
    void SetOnPortClose(std::function<void()> handler) { m_onPortClose = std::move(handler); }
    // Fired on the UI thread when the device is lost and when the port reopened it.
    void SetOnPortEvent(std::function<void(TPortEvent)> handler) {
        m_onPortEvent = std::move(handler);
    }

    // Returns code when it is 0 or more; otherwise raises its exception (com_errors.h), in the
    // dispatcher's words for the failure where the code table has none.
    int RaiseForCode(int code) const;

protected:
    // The open and close sequences and their steps.
    virtual std::unique_ptr<TComDispatcher> CreateDispatcher();
    virtual void DeviceLayerChanged() {}
    // PortSetup with the device of ComNumber and the stored settings; its result code.
    virtual int OpenDispatcher();
    // Asks for a port when ComNumber is 0 (PromptForPort), else raises ENoPortSelected.
    virtual void EnsurePortNumber();
    virtual void UpdateHandlerMode();
    virtual void DeactivatePort();
    virtual void NotifyPortOpen();
    virtual void NotifyPortClosed();
    virtual void NotifyPortClosing();
    virtual void ActivatePort();

private:
    void ApplyHardwareFlowNow(THWFlowOptions options);
    void ApplySoftwareFlowNow(TSWFlowOptions options);
    bool OpenNow() const { return State() == TComPortState::cpsOpen; }
    void ReportBackgroundError(std::exception_ptr error);
    // State changes that CarrierLevel must see whole.
    void SetState(TComPortState state);
    // On the UI thread, for the dispatcher of open number generation: the device is gone.
    void DeviceLost(std::uint64_t generation);
    void StartRetrying();
    // The port no longer looks for a lost device: the retries end, and Lost() is false.
    void StopRetrying();
    // On the UI thread, for a lost device that is there again; holder: who holds it, as the
    // retry thread found it.
    void RetryReopen(const std::optional<THolder>& holder);
    // The words for a refused open: the device's own, and who holds a busy device.
    std::string RefusalReason(int systemCode, const std::string& deviceText);
    void FirePortEvent(TPortEvent event);

    class TRetryTimer;
    // What a call posted to the UI thread finds when it runs: this port, or nothing when the port
    // is gone by then.
    struct TLife {
        TCustomComPort* port;
    };

    TComPortContext m_context;
    // Held by CarrierLevel for the length of a read, and by every change of the open state: the
    // dispatcher a read uses cannot go away under it. A change steps in between two reads.
    mutable std::mutex m_carrierLock;
    TStepAside m_stateChange;
    std::atomic<TComPortState> m_state{TComPortState::cpsClosed};
    // Opens so far, for CarrierChanges; m_carrierLock.
    std::uint32_t m_opens = 0;
    std::atomic<bool> m_open{false};
    std::unique_ptr<TComDispatcher> m_dispatcher;
    std::atomic<TComDispatcher*> m_dispatcherRef{nullptr};
    bool m_forceApply = false;
    bool m_openPending = false;
    std::uint8_t m_threadBoost = 0;
    TOpenFailure m_lastOpenFailure;
    std::shared_ptr<TLife> m_life;
    std::uint64_t m_openGeneration = 0;
    bool m_lost = false;
    std::unique_ptr<TRetryTimer> m_retry;
    // The holder a retry found, for the reopen it asked for; taken by that reopen.
    const std::optional<THolder>* m_retryHolder = nullptr;
    std::atomic<bool> m_retryPosted{false};

    TDeviceLayer m_deviceLayer = TDeviceLayer::dlWin32;
    std::uint16_t m_comNumber = 0;
    std::int32_t m_baud = 19200;
    bool m_promptForPort = true;
    TParity m_parity = TParity::pNone;
    std::uint16_t m_dataBits = 8;
    std::uint16_t m_stopBits = 1;
    std::uint16_t m_inSize = 4096;
    std::uint16_t m_outSize = 4096;
    bool m_autoOpen = true;
    bool m_dtr = true;
    bool m_rts = true;
    THWFlowOptions m_hwFlow;
    TSWFlowOptions m_swFlow = TSWFlowOptions::swfNone;
    char m_xonChar = 17;
    char m_xoffChar = 19;
    std::uint16_t m_bufferFull = 0;
    std::uint16_t m_bufferResume = 0;
    TTraceLogState m_tracing = TTraceLogState::tlOff;
    std::uint32_t m_traceSize = 10000;
    std::string m_traceName = "SERIAL.TRC";
    bool m_traceHex = true;
    bool m_traceAllHex = false;
    TTraceLogState m_logging = TTraceLogState::tlOff;
    std::uint32_t m_logSize = 10000;
    std::string m_logName = "SERIAL.LOG";
    bool m_logHex = true;
    bool m_logAllHex = false;
    bool m_useMsrShadow = true;
    bool m_useEventWord = true;
    std::uint16_t m_commNotificationLevel = 10;
    TTapiMode m_tapiMode = TTapiMode::tmAuto;
    bool m_rs485Mode = false;
    std::function<void()> m_onPortOpen;
    std::function<void()> m_onPortClose;
    std::function<void(TPortEvent)> m_onPortEvent;
};

class TComPort final : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

} // namespace sornafex
