#pragma once

// A simulated sensor behind the device seam. "sim:F" toggles DCD at F Hz (2F level changes a
// second; F a decimal number ≥ 0, 0 for a line that never moves); "sim:F1-F2" lets the frequency
// wander smoothly between F1 and F2 over a period of 30 s; "sim:file:PATH" follows the frequency
// profile in the file at PATH (serial/sim_profile.h), read once at Open. The level is derived
// from the clock and the integrated phase, so any poll rate counts the right number of changes.
// DSR follows DTR and CTS follows RTS, like a loop-back plug; RI stays low. A sensor is opened
// exclusively, like a real device: each value binds a name of its own in the abstract socket
// namespace, which refuses a second open, also from another process, and which the kernel
// releases however the holder ends. A malformed value, or a profile that cannot be read, is a
// missing device (system code 2), and LastErrorText() says why.
// Like a UART's driver, the sensor counts its DCD changes (CarrierChanges: those since Open) and
// can be waited on for the next one; its event wait, too, sleeps until the next change of a line
// it watches (DCD by its phase, DSR and CTS by Escape), a close or a new mask, and hears of DCD
// at most every 10 ms, as a USB adapter's status packets bring it.

#include "base/unique_fd.h"
#include "serial/com_device.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace sornafex {

inline constexpr std::string_view kSimPrefix = "sim:";
inline constexpr std::string_view kSimProfilePrefix = "sim:file:";
inline constexpr double kSimWanderPeriodSeconds = 30.0;

class TSimProfile;

struct TSimSpec {
    double low = 0;  // F, or F1; a profile's lowest frequency
    double high = 0; // F, or F2; a profile's highest frequency
    // Set for "sim:file:PATH": the frequency is the profile's, immutable and shared by copies.
    std::shared_ptr<const TSimProfile> profile = nullptr;
    bool operator==(const TSimSpec&) const = default;
};

// Parses "sim:F", "sim:F1-F2" (F: digits with an optional fraction) or "sim:file:PATH", which
// reads and parses the file. nullopt when malformed, with *reason (when given) set to why in the
// words the user reads: "absent" for a malformed value, the file and its line for a profile.
std::optional<TSimSpec> ParseSimSpec(std::string_view name, std::string* reason = nullptr);

// Level changes from the start up to t seconds: floor(2 × the integrated frequency).
std::uint64_t SimTransitionsAt(const TSimSpec& sensor, double seconds);

// When the n-th level change (n ≥ 1) happens, in seconds from the start: the moment at which
// SimTransitionsAt reaches n. Infinite for a line that never gets there.
double SimTransitionTime(const TSimSpec& sensor, std::uint64_t n);

class TSimComDevice final : public TComDevice {
public:
    // clock: seconds of a monotonic clock; empty uses CLOCK_MONOTONIC. The simulation starts at
    // the clock's reading at Open.
    explicit TSimComDevice(std::function<double()> clock = {});
    ~TSimComDevice() override;

    bool Open(const std::string& name) override;
    int Handle() const override;
    bool Close() override;
    bool SetQueueSizes(std::uint32_t inSize, std::uint32_t outSize) override;
    bool ReadSettings(TComSettings& settings) override;
    bool WriteSettings(const TComSettings& settings) override;
    bool Escape(TEscapeFunction function) override;
    std::uint8_t ModemStatus() override;
    bool CarrierChanges(std::uint32_t& changes) override;
    TCarrierWait WaitCarrierChange(TMonoNs until, const std::function<bool()>& cancelled) override;
    void WakeCarrierWait() override;
    bool SetEventMask(std::uint32_t mask) override;
    TWaitOutcome WaitEvent(std::uint32_t& events) override;
    bool ClearError(std::uint32_t& errors, TComStatus& status) override;
    bool Purge(std::uint32_t flags) override;
    std::int32_t Read(std::uint8_t* buffer, std::uint32_t count) override;
    std::int32_t Write(const std::uint8_t* buffer, std::uint32_t count) override;
    int LastError() const override;
    std::string LastErrorText() const override;

    // Level changes since Open, by the clock.
    std::uint64_t Transitions() const;
    // The clock's reading at Open, in seconds: the start of SimTransitionsAt's time.
    double OpenedAt() const { return m_start; }

private:
    double Now() const;
    bool Fail(int code, std::string text);
    // The sensor's clock reading of its n-th change (infinite when it never comes).
    double ChangeMoment(std::uint64_t n) const;

    std::function<double()> m_clock;
    TSimSpec m_spec;
    double m_start = 0;
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_dtr{false};
    std::atomic<bool> m_rts{false};
    TUniqueFd m_hold; // m_mutex: the name that holds the sensor
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_generation = 0;      // m_mutex: bumped by SetEventMask and Close
    std::uint64_t m_lineMoves = 0;       // m_mutex: bumped by Escape
    std::uint64_t m_carrierWakes = 0;    // m_mutex: bumped by WakeCarrierWait
    std::uint32_t m_mask = 0;            // m_mutex
    TComSettings m_settings;             // m_mutex
    std::uint64_t m_lastTransitions = 0; // m_mutex: lines when last looked at
    double m_rlsdReportedAt = -1e300;    // m_mutex: the last DCD event, on the sensor's clock
    bool m_lastDsr = false;              // m_mutex
    bool m_lastCts = false;              // m_mutex
    int m_lastError = 0;                 // m_mutex
    std::string m_lastErrorText;         // m_mutex
};

} // namespace sornafex
