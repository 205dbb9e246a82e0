#include "serial/sim_com_device.h"

#include "base/mono_clock.h"
#include "base/uRes.h"
#include "serial/com_errors.h"
#include "serial/port_reasons.h"
#include "serial/sim_profile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

namespace sornafex {

namespace {

// A change is timed from the sensor's clock, in whole nanoseconds: this much earlier covers the
// rounding of its seconds.
constexpr TMonoNs kChangeMargin = 1000;

// DCD changes reach the event wait at most this often, the ones in between together, as a USB
// adapter's status packets bring them: a fast line wakes the port's threads no more than a slow
// one. The counting loop has its own wait, which hears of each change.
constexpr double kEventSpacingSeconds = 0.010;

std::optional<double> ParseFrequency(std::string_view text) {
    if (text.empty() || !(text.front() >= '0' && text.front() <= '9'))
        return std::nullopt;
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < 0)
        return std::nullopt;
    return value;
}

// Cycles of the sensor from the start up to t seconds (t > 0).
double Cycles(const TSimSpec& sensor, double seconds) {
    if (sensor.profile)
        return sensor.profile->CyclesAt(seconds);
    if (sensor.low == sensor.high)
        return sensor.low * seconds;
    // f(t) = mid + amp·sin(ωt), so the phase is mid·t + amp·(1 − cos ωt)/ω: never decreasing,
    // since f stays between the two bounds.
    const double mid = (sensor.low + sensor.high) / 2;
    const double amp = (sensor.high - sensor.low) / 2;
    const double omega = 2 * std::numbers::pi / kSimWanderPeriodSeconds;
    return mid * seconds + amp * (1 - std::cos(omega * seconds)) / omega;
}

// FNV-1a: a short stable name for the sensor's lock.
std::uint64_t Hash(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

} // namespace

std::optional<TSimSpec> ParseSimSpec(std::string_view name, std::string* reason) {
    if (name.starts_with(kSimProfilePrefix)) {
        std::string unused;
        auto profile = LoadSimProfile(std::string(name.substr(kSimProfilePrefix.size())),
                                      reason ? *reason : unused);
        if (!profile)
            return std::nullopt;
        return TSimSpec{profile->Lowest(), profile->Highest(), std::move(profile)};
    }
    const auto malformed = [reason] {
        if (reason)
            *reason = res::kReasonAbsent;
        return std::nullopt;
    };
    if (!name.starts_with(kSimPrefix))
        return malformed();
    name.remove_prefix(kSimPrefix.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos) {
        const auto f = ParseFrequency(name);
        if (!f)
            return malformed();
        return TSimSpec{*f, *f};
    }
    const auto low = ParseFrequency(name.substr(0, dash));
    const auto high = ParseFrequency(name.substr(dash + 1));
    if (!low || !high)
        return malformed();
    return TSimSpec{*low, *high};
}

std::uint64_t SimTransitionsAt(const TSimSpec& sensor, double seconds) {
    if (seconds <= 0)
        return 0;
    return static_cast<std::uint64_t>(std::floor(2 * Cycles(sensor, seconds)));
}

double SimTransitionTime(const TSimSpec& sensor, std::uint64_t n) {
    if (n == 0)
        return 0;
    // The phase never decreases: bracket the moment, then halve the bracket until its two ends
    // are neighbouring doubles.
    double before = 0;
    double after = 0;
    if (sensor.profile) {
        // The profile's own root, off by rounding only, makes a bracket of a few nanoseconds; a
        // profile that ends at 0 Hz may never get there.
        const double root = sensor.profile->MomentOfCycles(static_cast<double>(n) / 2);
        if (std::isinf(root))
            return root;
        const double margin = 1e-9 * std::max(1.0, root);
        if (SimTransitionsAt(sensor, root - margin) < n)
            before = std::max(0.0, root - margin);
        after = root + margin;
    } else {
        const double highest = std::max(sensor.low, sensor.high);
        if (highest <= 0)
            return std::numeric_limits<double>::infinity();
        after = static_cast<double>(n) / (2 * highest);
    }
    while (SimTransitionsAt(sensor, after) < n) {
        before = after;
        after *= 2;
    }
    for (int i = 0; i < 200; ++i) {
        const double mid = before + (after - before) / 2;
        if (mid <= before || mid >= after)
            break;
        (SimTransitionsAt(sensor, mid) < n ? before : after) = mid;
    }
    return after;
}

TSimComDevice::TSimComDevice(std::function<double()> clock) : m_clock(std::move(clock)) {
    // A device left at another configuration than the sensor needs, as a real port may be.
    m_settings.baud = 9600;
    m_settings.byteSize = 7;
    m_settings.parity = 2;
    m_settings.stopBits = kOneStopBit;
}

TSimComDevice::~TSimComDevice() {
    Close();
}

double TSimComDevice::Now() const {
    return m_clock ? m_clock() : MonotonicSeconds();
}

bool TSimComDevice::Fail(int code, std::string text) {
    std::lock_guard lock(m_mutex);
    m_lastError = code;
    m_lastErrorText = std::move(text);
    return false;
}

int TSimComDevice::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

std::string TSimComDevice::LastErrorText() const {
    std::lock_guard lock(m_mutex);
    return m_lastErrorText;
}

bool TSimComDevice::Open(const std::string& name) {
    if (m_open.load())
        return Fail(kSysAccessDenied, std::string(res::kReasonBusy));
    std::string reason;
    auto sensor = ParseSimSpec(name, &reason);
    if (!sensor)
        return Fail(kSysFileNotFound, std::move(reason));
    // The exclusive hold is a name in the abstract socket namespace: refused to every second
    // opener, this process or another, and released by the kernel however the holder ends.
    TUniqueFd hold(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!hold.Valid()) {
        const int error = errno;
        return Fail(SystemCodeFromErrno(error), SystemReason(error));
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string lockName =
        "sornafex-sim-" + std::to_string(::getuid()) + "-" + std::to_string(Hash(name));
    std::memcpy(address.sun_path + 1, lockName.data(), lockName.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + lockName.size());
    if (::bind(hold.Get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        // Only a name already taken means a holder.
        if (error == EADDRINUSE)
            return Fail(kSysAccessDenied, std::string(res::kReasonBusy));
        return Fail(SystemCodeFromErrno(error), SystemReason(error));
    }
    {
        std::lock_guard lock(m_mutex);
        m_spec = std::move(*sensor);
        m_hold = std::move(hold);
        m_mask = 0;
        m_lastError = 0;
        m_lastErrorText.clear();
    }
    m_start = Now();
    m_dtr.store(false);
    m_rts.store(false);
    m_open.store(true, std::memory_order_release);
    return true;
}

int TSimComDevice::Handle() const {
    std::lock_guard lock(m_mutex);
    return m_open.load() ? m_hold.Get() : -1;
}

bool TSimComDevice::Close() {
    TUniqueFd hold;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open.exchange(false))
            return false;
        ++m_generation;
        hold = std::move(m_hold);
    }
    m_wake.notify_all();
    return true;
}

std::uint64_t TSimComDevice::Transitions() const {
    // m_spec and m_start are set before m_open is published and not changed while open.
    return SimTransitionsAt(m_spec, Now() - m_start);
}

bool TSimComDevice::SetQueueSizes(std::uint32_t, std::uint32_t) {
    return m_open.load() ? true : Fail(kSysInvalidHandle, ErrnoText(EBADF));
}

bool TSimComDevice::ReadSettings(TComSettings& settings) {
    if (!m_open.load())
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    std::lock_guard lock(m_mutex);
    settings = m_settings;
    return true;
}

bool TSimComDevice::WriteSettings(const TComSettings& settings) {
    if (!m_open.load())
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    // The sensor takes any positive baud rate and every framing a serial line has.
    if (std::string refused = RefusedSettingReason(settings, settings.baud > 0); !refused.empty())
        return Fail(kSysInvalidParameter, std::move(refused));
    std::lock_guard lock(m_mutex);
    m_settings = settings;
    return true;
}

bool TSimComDevice::Escape(TEscapeFunction function) {
    if (!m_open.load())
        return Fail(kSysInvalidHandle, ErrnoText(EBADF));
    switch (function) {
    case TEscapeFunction::SetDtr:
        m_dtr.store(true);
        break;
    case TEscapeFunction::ClrDtr:
        m_dtr.store(false);
        break;
    case TEscapeFunction::SetRts:
        m_rts.store(true);
        break;
    case TEscapeFunction::ClrRts:
        m_rts.store(false);
        break;
    }
    // DSR and CTS follow at once: a wait that watches them hears of it.
    {
        std::lock_guard lock(m_mutex);
        ++m_lineMoves;
    }
    m_wake.notify_all();
    return true;
}

std::uint8_t TSimComDevice::ModemStatus() {
    if (!m_open.load(std::memory_order_acquire))
        return 0;
    std::uint8_t status = (Transitions() & 1) ? kMsRlsdOn : 0;
    if (m_dtr.load(std::memory_order_relaxed))
        status |= kMsDsrOn;
    if (m_rts.load(std::memory_order_relaxed))
        status |= kMsCtsOn;
    return status;
}

bool TSimComDevice::SetEventMask(std::uint32_t mask) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_open.load())
            return false;
        m_mask = mask;
        ++m_generation;
        // Changes count from the moment the mask is set.
        m_lastTransitions = Transitions();
        m_lastDsr = m_dtr.load();
        m_lastCts = m_rts.load();
    }
    m_wake.notify_all();
    return true;
}

double TSimComDevice::ChangeMoment(std::uint64_t n) const {
    return m_start + SimTransitionTime(m_spec, n);
}

bool TSimComDevice::CarrierChanges(std::uint32_t& changes) {
    if (!m_open.load(std::memory_order_acquire))
        return false;
    changes = static_cast<std::uint32_t>(Transitions());
    return true;
}

TCarrierWait TSimComDevice::WaitCarrierChange(TMonoNs until,
                                              const std::function<bool()>& cancelled) {
    std::unique_lock lock(m_mutex);
    if (!m_open.load())
        return {TCarrierWaitOutcome::Unsupported, 0};
    const std::uint64_t generation = m_generation;
    const std::uint64_t wakes = m_carrierWakes;
    const std::uint64_t from = Transitions();
    for (;;) {
        if (!m_open.load() || m_generation != generation || m_carrierWakes != wakes || cancelled())
            return {TCarrierWaitOutcome::Ended, 0};
        if (const std::uint64_t now = Transitions(); now != from) {
            // The sensor knows when its last change came: that long before its clock's reading,
            // which follows the monotonic one, so that the change is never timed after it came.
            const TMonoNs polledAt = MonotonicNs();
            const double ago = std::max(0.0, Now() - ChangeMoment(now));
            return {TCarrierWaitOutcome::Changed,
                    polledAt - static_cast<TMonoNs>(std::ceil(ago * 1e9)) - kChangeMargin};
        }
        const TMonoNs left = until - MonotonicNs();
        if (left <= 0)
            return {TCarrierWaitOutcome::Ended, 0};
        const double toChange = ChangeMoment(from + 1) - Now();
        m_wake.wait_for(lock, std::chrono::duration<double>(
                                  std::clamp(toChange, 0.0, static_cast<double>(left) * 1e-9)));
    }
}

void TSimComDevice::WakeCarrierWait() {
    {
        std::lock_guard lock(m_mutex);
        ++m_carrierWakes;
    }
    m_wake.notify_all();
}

TWaitOutcome TSimComDevice::WaitEvent(std::uint32_t& events) {
    events = 0;
    std::unique_lock lock(m_mutex);
    if (!m_open.load())
        return TWaitOutcome::Closed;
    const std::uint64_t generation = m_generation;
    const std::uint32_t mask = m_mask;
    if (mask == 0) {
        m_lastError = kSysInvalidParameter;
        m_lastErrorText = ErrnoText(EINVAL);
        return TWaitOutcome::Refused;
    }
    for (;;) {
        if (!m_open.load())
            return TWaitOutcome::Closed;
        if (m_generation != generation)
            return TWaitOutcome::Completed;
        const std::uint64_t transitions = Transitions();
        const bool dsr = m_dtr.load();
        const bool cts = m_rts.load();
        std::uint32_t found = 0;
        if (transitions != m_lastTransitions)
            found |= kEvRlsd;
        if (dsr != m_lastDsr)
            found |= kEvDsr;
        if (cts != m_lastCts)
            found |= kEvCts;
        m_lastTransitions = transitions;
        m_lastDsr = dsr;
        m_lastCts = cts;
        found &= mask;
        if (found != 0) {
            if (found & kEvRlsd)
                m_rlsdReportedAt = Now();
            events = found;
            return TWaitOutcome::Completed;
        }
        // Asleep until the next change of DCD when it is watched, DSR and CTS moved by Escape, a
        // close or a new mask.
        const std::uint64_t moves = m_lineMoves;
        const auto woken = [&] {
            return !m_open.load() || m_generation != generation || m_lineMoves != moves;
        };
        const double next =
            (mask & kEvRlsd) != 0
                ? std::max(ChangeMoment(transitions + 1), m_rlsdReportedAt + kEventSpacingSeconds)
                : std::numeric_limits<double>::infinity();
        if (std::isfinite(next))
            m_wake.wait_for(lock, std::chrono::duration<double>(std::max(0.0, next - Now())),
                            woken);
        else
            m_wake.wait(lock, woken);
    }
}

bool TSimComDevice::ClearError(std::uint32_t& errors, TComStatus& status) {
    errors = 0;
    status = TComStatus{};
    return m_open.load() ? true : Fail(kSysInvalidHandle, ErrnoText(EBADF));
}

bool TSimComDevice::Purge(std::uint32_t) {
    return m_open.load() ? true : Fail(kSysInvalidHandle, ErrnoText(EBADF));
}

std::int32_t TSimComDevice::Read(std::uint8_t*, std::uint32_t) {
    // The sensor sends no data.
    if (!m_open.load()) {
        Fail(kSysInvalidHandle, ErrnoText(EBADF));
        return -1;
    }
    return 0;
}

std::int32_t TSimComDevice::Write(const std::uint8_t*, std::uint32_t count) {
    // Whatever is sent to the sensor is taken and ignored.
    if (!m_open.load()) {
        Fail(kSysInvalidHandle, ErrnoText(EBADF));
        return -1;
    }
    return static_cast<std::int32_t>(count);
}

} // namespace sornafex
