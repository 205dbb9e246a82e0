#pragma once

// The device seam of the serial layer: the platform primitives that the dispatcher's logic drives,
// one call for each of the Win32 communications calls it mirrors. The dispatcher (com_dispatcher.h)
// is written once over this interface; implementations are the Linux tty device, the simulated
// sensor and, in tests, a recording fake.
//
// System codes. A failed call leaves LastError() as a positive system code in the numbering the
// serial layer's code table uses: 2 no such device, 4 too many open files, 5 the device is held
// by another program, 6 the device is not open, 8 out of memory, 87 a setting the device cannot
// take. Every other platform failure is kSysErrnoBase plus the platform's own error number, so
// that no such number is ever read as one of the table's codes (on Linux EINTR is 4 and ESRCH 3).
// LastErrorText() says why in the words the user reads: absent, busy (and who holds the device),
// no permission (and which group would give it), lost, or the setting refused.

#include "base/mono_clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sornafex {

// System codes (positive) of the failures the logic tells apart.
inline constexpr int kSysFileNotFound = 2;
inline constexpr int kSysPathNotFound = 3;
inline constexpr int kSysTooManyOpenFiles = 4;
inline constexpr int kSysAccessDenied = 5; // held by another program
inline constexpr int kSysInvalidHandle = 6;
inline constexpr int kSysNotEnoughMemory = 8;
inline constexpr int kSysInvalidParameter = 87;
// The platform's own error number e is the system code kSysErrnoBase + e.
inline constexpr int kSysErrnoBase = 100000;

// Modem-status bits as ModemStatus() reports them.
inline constexpr std::uint8_t kMsCtsOn = 0x10;
inline constexpr std::uint8_t kMsDsrOn = 0x20;
inline constexpr std::uint8_t kMsRingOn = 0x40;
inline constexpr std::uint8_t kMsRlsdOn = 0x80; // DCD

// Event bits of SetEventMask / WaitEvent.
inline constexpr std::uint32_t kEvRxChar = 0x0001;
inline constexpr std::uint32_t kEvTxEmpty = 0x0004;
inline constexpr std::uint32_t kEvCts = 0x0008;
inline constexpr std::uint32_t kEvDsr = 0x0010;
inline constexpr std::uint32_t kEvRlsd = 0x0020;
inline constexpr std::uint32_t kEvBreak = 0x0040;
inline constexpr std::uint32_t kEvErr = 0x0080;
inline constexpr std::uint32_t kEvRing = 0x0100;
inline constexpr std::uint32_t kEvModemLines = kEvCts | kEvDsr | kEvRlsd | kEvRing;

// Line-error bits of ClearError.
inline constexpr std::uint32_t kCeRxOver = 0x01;
inline constexpr std::uint32_t kCeOverrun = 0x02;
inline constexpr std::uint32_t kCeParity = 0x04;
inline constexpr std::uint32_t kCeFrame = 0x08;
inline constexpr std::uint32_t kCeBreak = 0x10;

// Purge bits.
inline constexpr std::uint32_t kPurgeTxAbort = 0x01;
inline constexpr std::uint32_t kPurgeRxAbort = 0x02;
inline constexpr std::uint32_t kPurgeTxClear = 0x04;
inline constexpr std::uint32_t kPurgeRxClear = 0x08;

// Extended functions of Escape.
enum class TEscapeFunction : std::uint8_t { SetRts = 3, ClrRts = 4, SetDtr = 5, ClrDtr = 6 };

enum class TDtrControl : std::uint8_t { Disable, Enable, Handshake };
enum class TRtsControl : std::uint8_t { Disable, Enable, Handshake, Toggle };

// Stop-bit codes of TComSettings::stopBits.
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOne5StopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;

// The device's settings record: the fields the serial layer reads and writes. Parity is 0 none,
// 1 odd, 2 even, 3 mark, 4 space. A device keeps whatever else it has as it was.
struct TComSettings {
    std::int32_t baud = 0;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = kOneStopBit;
    TDtrControl dtrControl = TDtrControl::Disable;
    TRtsControl rtsControl = TRtsControl::Disable;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    bool outX = false; // XON/XOFF output flow
    bool inX = false;  // XON/XOFF input flow
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    char xonChar = 17;
    char xoffChar = 19;

    bool operator==(const TComSettings&) const = default;
};

// What ClearError reports besides the error bits.
struct TComStatus {
    std::uint32_t flags = 0;
    std::uint32_t inQueue = 0;  // bytes waiting to be read
    std::uint32_t outQueue = 0; // bytes not yet sent
};

enum class TWaitOutcome {
    Completed, // events holds what happened (0 when the mask was changed during the wait)
    Closed,    // the device was closed while waiting: the waiter should end
    Refused,   // the wait could not start; LastError() says why
    Lost,      // the device hung up or went away (unplugged): it will never answer again
};

// How a wait for a change of DCD ended (TComDevice::WaitCarrierChange).
enum class TCarrierWaitOutcome {
    Changed,     // DCD changed: changedAfter is the earliest moment it may have
    Ended,       // the deadline came, or the wait was woken (WakeCarrierWait, Close)
    Unsupported, // the device has no such wait, or is not open: the caller sleeps instead
    Lost,        // the device hung up or went away
};

struct TCarrierWait {
    TCarrierWaitOutcome outcome = TCarrierWaitOutcome::Ended;
    TMonoNs changedAfter = 0;
};

// Thread contract: Open is called by one thread at a time; Close may come from any thread, also
// from two at once. While a device is open, WaitEvent may block on one thread while any other
// call runs on another; SetEventMask and Close end a pending WaitEvent within a few milliseconds,
// and so does a loss that any call notices (a hang-up, or an error that only a vanished device
// gives): the wait then ends with Lost. ModemStatus is the hot path of the DCD poll: one status
// query, no allocation, no sleep, no lock of the device's own; its callers keep it from running
// at the same time as Close (the dispatcher calls both under LineLock), and so is CarrierChanges.
// WaitCarrierChange may block on one thread while any other call runs on another; Close and
// WakeCarrierWait end it within a few milliseconds. Read and Write never block.
class TComDevice {
public:
    virtual ~TComDevice() = default;

    // Opens name exclusively for reading and writing; false with LastError() set on failure.
    virtual bool Open(const std::string& name) = 0;
    // A small positive number identifying the open device (the file descriptor on Linux).
    virtual int Handle() const = 0;
    // Closes the device and ends a pending WaitEvent; false when the device was not open.
    virtual bool Close() = 0;

    virtual bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) = 0;
    virtual bool ReadSettings(TComSettings& settings) = 0;
    virtual bool WriteSettings(const TComSettings& settings) = 0;
    virtual bool Escape(TEscapeFunction function) = 0;
    // The four line levels as kMs* bits; a query that fails reads as no line asserted.
    virtual std::uint8_t ModemStatus() = 0;
    virtual bool SetEventMask(std::uint32_t mask) = 0;
    // Blocks until an event of the mask happens, the mask changes or the device is closed.
    virtual TWaitOutcome WaitEvent(std::uint32_t& events) = 0;
    // The DCD changes the driver has counted since it was loaded, wrapping at 2^32: the count of
    // TIOCGICOUNT, which a driver keeps from its interrupts however fast the line moves. False,
    // and nothing asked of the device, when it keeps no such count or cannot wait for a change
    // (WaitCarrierChange): a driver may count only while something waits. Like ModemStatus, one
    // query and no lock of the device's own.
    virtual bool CarrierChanges(std::uint32_t& /*changes*/) { return false; }
    // Blocks until DCD changes, the monotonic clock reaches until, or the wait is ended: by
    // Close, or by WakeCarrierWait once cancelled() holds (which the wait reads after it has made
    // itself known to WakeCarrierWait, so that a cancel set just before the wait is never
    // missed). Returns at once, Ended, when cancelled() holds or until has passed. A change found
    // after a wake-up is timed no earlier than changedAfter.
    virtual TCarrierWait WaitCarrierChange(TMonoNs /*until*/,
                                           const std::function<bool()>& /*cancelled*/) {
        return {TCarrierWaitOutcome::Unsupported, 0};
    }
    // Ends the WaitCarrierChange under way, if any; any thread, after setting what its cancelled()
    // reads.
    virtual void WakeCarrierWait() {}
    // Reads and clears the line errors (kCe* bits) and fills the queue counts.
    virtual bool ClearError(std::uint32_t& errors, TComStatus& status) = 0;
    virtual bool Purge(std::uint32_t flags) = 0;
    // Bytes read (0 when none are waiting), or −1 with LastError() set.
    virtual std::int32_t Read(std::uint8_t* buffer, std::uint32_t count) = 0;
    // Bytes accepted now (0 when the device cannot take more yet), or −1 with LastError() set.
    virtual std::int32_t Write(const std::uint8_t* buffer, std::uint32_t count) = 0;

    virtual int LastError() const = 0;
    virtual std::string LastErrorText() const = 0;
};

// Makes the device object for a device name; the dispatcher opens it with TComDevice::Open.
using TDeviceFactory = std::function<std::unique_ptr<TComDevice>(const std::string& name)>;

// The platform's factory: a simulated sensor for names starting with "sim:", the Linux tty device
// for everything else.
std::unique_ptr<TComDevice> MakeSystemDevice(const std::string& name);

} // namespace sornafex
