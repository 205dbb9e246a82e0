// TComDispatcher's device setup: the device part of an open and a close, and the settings
// operations of an open port. Its threads, primitives and modem status are in com_dispatcher.cpp.

#include "base/uRes.h"
#include "serial/com_dispatcher.h"

#include <chrono>
#include <new>
#include <system_error>
#include <thread>

namespace sornafex {

namespace {

constexpr std::int32_t kSetupBaud = 115200;
constexpr int kDrainPolls = 5000;

} // namespace

int TComDispatcher::PortSetup(const std::string& name, std::int32_t baud, std::uint8_t parity,
                              std::uint8_t dataBits, std::uint8_t stopBits, std::uint32_t inSize,
                              std::uint32_t outSize, std::uint8_t options) {
    m_ringLatch.store(false);
    for (TSignal* signal :
         {&m_eventSignal, &m_readySignal, &m_handshakeSignal, &m_outputSignal, &m_outputStopSignal})
        signal->Create();

    const auto fail = [this](int code) {
        PortShutdown();
        CloseSignals();
        return code;
    };

    const int handle = OpenDevice(name, inSize, outSize);
    if (handle < 0) {
        if (handle == ecOutOfMemory)
            return fail(ecOutOfMemory);
        const int system = LastSystemError();
        return fail(system > 0 ? -system : -1);
    }
    if (!SetQueueSizes(inSize, outSize)) {
        const int system = LastSystemError();
        return fail(system > 0 ? -system : -1);
    }
    {
        const TLineGuard lineLock(*this);
        {
            std::lock_guard inputLock(m_inputLock);
            m_input.data.assign(kReceiveBufferSize, 0);
            m_input.Reset();
        }
        {
            std::lock_guard outputLock(m_outputLock);
            m_output.data.assign(outSize, 0);
            m_output.Reset();
        }
        m_inSize = inSize;
        m_outSize = outSize;
        m_lineErrors = 0;
        ReadSettings(m_portSettings);

        // DTR and RTS go up before any setting is written: the sensor is powered by them.
        if (options & kSetupDtrFlow) {
            m_dtrFlow = true;
        } else {
            m_dtrFlow = false;
            SetDtrLine((options & kSetupDtr) != 0);
        }
        if (options & kSetupRtsFlow) {
            m_rtsFlow = true;
        } else {
            m_rtsFlow = false;
            SetRtsLine((options & kSetupRts) != 0);
        }

        m_msrShadow = 0;
        ModemRead(kClearAllChanges);
        m_rememberedBaud = kSetupBaud;
    }
    if (const int result = ApplyLineSettings(baud, parity, dataBits, stopBits); result < 0)
        return fail(result);

    TComStatus status;
    const std::uint32_t errors = ReadLineErrors(status);
    {
        const TLineGuard lineLock(*this);
        m_lineErrors |= errors & 0x1F;
    }
    try {
        StartThreads();
    } catch (const std::system_error& error) {
        // The system's thread limit: nothing of the port may stay behind, and the user is told.
        const bool numbered = error.code().category() == std::generic_category() ||
                              error.code().category() == std::system_category();
        const int system = numbered ? SystemCodeFromErrno(error.code().value()) : 0;
        {
            const TLineGuard lineLock(*this);
            m_lastSystemError = system;
            m_lastSystemErrorText =
                res::FormatStr(res::kReasonNoThreadFormat, error.code().message());
        }
        return fail(system > 0 ? -system : -1);
    } catch (const std::bad_alloc&) {
        return fail(ecOutOfMemory);
    }
    return 0;
}

void TComDispatcher::PortShutdown() {
    if (DeviceOpen()) {
        PurgeQueue(kPurgeOutput);
        PurgeQueue(kPurgeInput);
        CloseDevice();
    }
    const TLineGuard lock(*this);
    if (m_threadsRunning.load(std::memory_order_acquire))
        StopThreads();
    FreeBuffers();
}

int TComDispatcher::ApplyLineSettings(std::int32_t baud, std::uint8_t parity, std::uint8_t dataBits,
                                      std::uint8_t stopBits) {
    TComSettings target;
    {
        const TLineGuard lock(*this);
        if (ReadSettings(m_portSettings) < 0)
            return DeviceFailure();
        const TComSettings& current = m_portSettings;
        target = current;
        if (baud != kKeepBaud)
            target.baud = baud;
        if (parity != kKeepParity)
            target.parity = parity;
        if (dataBits != kKeepDataBits)
            target.byteSize = dataBits;
        if (stopBits != kKeepStopBits)
            target.stopBits = stopBits <= 1 ? kOneStopBit : kTwoStopBits;
        if (dataBits == 5)
            target.stopBits = kOne5StopBits;
        if (target.baud == current.baud && target.parity == current.parity &&
            target.byteSize == current.byteSize && target.stopBits == current.stopBits)
            return 0;
    }
    // Outside the lock: a drain wait must never hold up a DCD read.
    WaitOutputDrained();
    const TLineGuard lock(*this);
    if (ReadSettings(m_portSettings) < 0)
        return DeviceFailure();
    m_portSettings.baud = target.baud;
    m_portSettings.parity = target.parity;
    m_portSettings.byteSize = target.byteSize;
    m_portSettings.stopBits = target.stopBits;
    return StoreSettings(m_portSettings);
}

void TComDispatcher::WaitOutputDrained() {
    for (int poll = 0; poll < kDrainPolls; ++poll) {
        TComStatus status;
        const std::uint32_t errors = ReadLineErrors(status);
        {
            const TLineGuard lock(*this);
            m_lineErrors |= errors & 0x1F;
        }
        if (status.outQueue == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Then the time the last character needs to leave the shift register.
    TComSettings settings;
    std::int32_t rate = 0;
    {
        const TLineGuard lock(*this);
        if (ReadSettings(settings) < 0)
            return;
        rate = m_rememberedBaud;
    }
    if (rate <= 0)
        return;
    std::int64_t bits = settings.byteSize + 2;
    if (settings.parity != 0)
        ++bits;
    if (settings.stopBits != kOneStopBit)
        ++bits;
    std::int64_t t = (10000000 / rate) * bits * 18;
    if (t < 10000)
        t *= 2;
    const std::int64_t ms = t / 10000 + (t % 10000 != 0 ? 1 : 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int TComDispatcher::StoreSettings(TComSettings& settings) {
    const TLineGuard lock(*this);
    if (!m_dtrFlow)
        settings.dtrControl = m_dtrState ? TDtrControl::Enable : TDtrControl::Disable;
    if (!m_rtsFlow)
        settings.rtsControl = m_rtsState ? TRtsControl::Enable : TRtsControl::Disable;
    const int result = WriteSettings(settings);
    if (result == 0)
        m_rememberedBaud = settings.baud;
    // Lines under flow control answer 1 here, which is fine.
    SetDtrLine(m_dtrState);
    if (!m_rs485)
        SetRtsLine(m_rtsState);
    return result;
}

int TComDispatcher::ApplyHardwareFlow(std::uint32_t bufferFull, std::uint32_t bufferResume,
                                      std::uint8_t bits) {
    const TLineGuard lock(*this);
    if (bufferFull < bufferResume || bufferFull > m_inSize)
        return ecBadArgument;
    if (ReadSettings(m_portSettings) < 0)
        return DeviceFailure();
    TComSettings& s = m_portSettings;
    s.outxCtsFlow = false;
    s.outxDsrFlow = false;
    m_dtrFlow = false;
    m_rtsFlow = false;
    if (bits & kHwFlowUseDtr) {
        s.dtrControl = TDtrControl::Handshake;
        m_dtrFlow = true;
    } else {
        s.dtrControl = m_dtrState ? TDtrControl::Enable : TDtrControl::Disable;
    }
    if (bits & kHwFlowUseRts) {
        s.rtsControl = TRtsControl::Handshake;
        m_rtsFlow = true;
    } else {
        s.rtsControl = m_rtsState ? TRtsControl::Enable : TRtsControl::Disable;
    }
    if (m_rs485) {
        s.rtsControl = TRtsControl::Toggle;
        m_rtsFlow = true;
    }
    s.xoffLim = static_cast<std::uint16_t>(m_inSize - bufferFull);
    s.xonLim = static_cast<std::uint16_t>(bufferResume);
    if (bits & kHwFlowRequireDsr)
        s.outxDsrFlow = true;
    if (bits & kHwFlowRequireCts)
        s.outxCtsFlow = true;
    return StoreSettings(s);
}

int TComDispatcher::EnableSoftwareFlow(std::uint32_t bufferFull, std::uint32_t bufferResume,
                                       std::uint8_t modeBits) {
    const TLineGuard lock(*this);
    if (bufferFull < bufferResume || bufferFull > m_inSize)
        return ecBadArgument;
    if (ReadSettings(m_portSettings) < 0)
        return DeviceFailure();
    TComSettings& s = m_portSettings;
    if (modeBits & kSwFlowReceive) {
        s.inX = true;
        s.xoffLim = static_cast<std::uint16_t>(m_inSize - bufferFull);
        s.xonLim = static_cast<std::uint16_t>(bufferResume);
    }
    if (modeBits & kSwFlowTransmit)
        s.outX = true;
    s.xonChar = 17;
    s.xoffChar = 19;
    return StoreSettings(s);
}

int TComDispatcher::DisableSoftwareFlow() {
    const TLineGuard lock(*this);
    if (ReadSettings(m_portSettings) < 0)
        return DeviceFailure();
    m_portSettings.outX = false;
    m_portSettings.inX = false;
    return StoreSettings(m_portSettings);
}

int TComDispatcher::SetFlowChars(char xon, char xoff) {
    const TLineGuard lock(*this);
    if (ReadSettings(m_portSettings) < 0)
        return DeviceFailure();
    m_portSettings.xonChar = xon;
    m_portSettings.xoffChar = xoff;
    return StoreSettings(m_portSettings);
}

} // namespace sornafex
