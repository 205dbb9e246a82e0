#pragma once

// The serial port component. The program uses four things of it: it writes ComNumber, writes
// Open false and true, reads Open, and reads the DCD level through CarrierLevel. Every other
// property exists with its default so that an open configures the device exactly:
// 19200 baud, 8 data bits, no parity, 1 stop bit, no flow control, DTR and RTS raised.
//
// All members run on the UI thread, except CarrierLevel, which the acquisition worker calls in a
// tight loop. Closing or renumbering the port while a worker reads it is the caller's fault to
// avoid (the program disables those commands during a run).
//
// Failures are exceptions of the ESerialException family (ComErrors.h). A failed open leaves the
// component as it was: closed, no dispatcher, no thread, the device closed; LastOpenFailure()
// then tells why in the system's own words.

#include "serial/ComDevice.h"
#include "serial/ComDispatcher.h"
#include "serial/PortDeviceMap.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
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

// Why the last open failed: the result code raised, the system code and the system's words (for
// example "Device or resource busy", or "Permission denied (group dialout)"), and the device.
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
// the dispatcher threads end). services: the "Select Port" dialog of an open without a port
// number (null: such an open fails with ENoPortSelected). devices: port number to device.
// deviceFactory: makes the device objects (empty: MakeSystemDevice). Pointers are not owned and
// must outlive the component.
struct TComPortContext {
    TUiBridge* bridge = nullptr;
    TUiServices* services = nullptr;
    TPortDeviceMap devices;
    TDeviceFactory deviceFactory;
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

    // ---- Open state ----------------------------------------------------------------------------
    // True from the end of a successful open to the end of the close.
    bool Open() const { return m_open.load(std::memory_order_acquire); }
    // True: opens (no-op when open; deferred while a close is under way). False: closes (no-op
    // when closed). Raises the open's exception; the port then stays closed.
    void SetOpen(bool value);
    TComPortState State() const { return m_state.load(std::memory_order_acquire); }
    // The DCD level, read live from the device on every call; false when the port is not open,
    // without any device call and without opening it. Callable from any thread.
    bool CarrierLevel() const;
    // The dispatcher while open or closing, else null.
    TComDispatcher* Dispatcher() const { return m_dispatcherRef.load(std::memory_order_acquire); }
    // Opens the port first when AutoOpen allows and it is closed; then returns the dispatcher.
    TComDispatcher* RequireDispatcher();
    // The device that port ComNumber names (through the device map).
    std::string DeviceName() const;
    // Why the last open failed (code 0 after a successful open).
    const TOpenFailure& LastOpenFailure() const { return m_lastOpenFailure; }

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
    bool UseEventWord() const { return m_useEventWord; } // true
    void SetUseEventWord(bool use);
    std::uint16_t CommNotificationLevel() const { return m_commNotificationLevel; } // 10
    void SetCommNotificationLevel(std::uint16_t level) { m_commNotificationLevel = level; }
    TTapiMode TapiMode() const { return m_tapiMode; } // tmAuto
    void SetTapiMode(TTapiMode mode) { m_tapiMode = mode; }
    bool RS485Mode() const { return m_rs485Mode; } // false
    void SetRS485Mode(bool on);

    // Fired after an open and after a close.
    void SetOnPortOpen(std::function<void()> handler) { m_onPortOpen = std::move(handler); }
    void SetOnPortClose(std::function<void()> handler) { m_onPortClose = std::move(handler); }

    // Returns code when it is 0 or more; otherwise raises its exception (ComErrors.h).
    static int RaiseForCode(int code);

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
    // Unless closing, gives the rest of the time slice to the dispatcher.
    virtual int YieldToDispatcher();
    virtual void NotifyPortOpen();
    virtual void NotifyPortClosed();
    virtual void NotifyPortClosing();
    virtual void ActivatePort();

private:
    void ApplyHardwareFlowNow(THWFlowOptions options);
    void ApplySoftwareFlowNow(TSWFlowOptions options);
    bool OpenNow() const { return State() == TComPortState::cpsOpen; }
    void ReportBackgroundError(std::exception_ptr error);

    TComPortContext m_context;
    std::atomic<TComPortState> m_state{TComPortState::cpsClosed};
    std::atomic<bool> m_open{false};
    std::unique_ptr<TComDispatcher> m_dispatcher;
    std::atomic<TComDispatcher*> m_dispatcherRef{nullptr};
    bool m_forceApply = false;
    bool m_openPending = false;
    std::uint16_t m_dataThreshold = 1;
    std::uint8_t m_threadBoost = 0;
    TOpenFailure m_lastOpenFailure;

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
};

class TComPort final : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

} // namespace sornafex
