// How fast the counting loop polls, whether it counts every transition, and what pacing its
// polls saves.
//
//   BM_CarrierLevel/<device>  bare CarrierLevel calls on an open port: the ceiling of any loop
//   BM_CaptureLoop/<device>   the counting loop at full speed on the same port, polls per second
//   BM_CaptureLoopCoarseTick  the same with the kernel's coarse clock as its clock
//   BM_Frequency/<F>          a simulated sensor of F Hz: the samples against F x the true length
//                             of each window (a window is counted right when within 1)
//   BM_Pacing/<sensor>        the paced loop, the loop at full speed and the loop that reads the
//                             sensor's own count and sleeps until each change, one after the
//                             other on the same sensor: processor time of the loop thread per
//                             second of run, polls per second, the error of the change times
//                             against the sensor's true ones, and each window's count against the
//                             sensor's own, the window of a step apart
//
// Devices: the simulated sensor, and a pseudo-terminal (one modem-status ioctl per poll).
// ACQ_BENCH_TRACE=1 in the environment prints every window of BM_Frequency and BM_Pacing.

#include "acquisition/capture_loop.h"
#include "acquisition/capture_pacing.h"
#include "acquisition/uCom.h"
#include "serial/ComPort.h"
#include "serial/sim_com_device.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace sornafex {
namespace {

using Clock = std::chrono::steady_clock;

// The master side of a pseudo-terminal, kept open while its slave serves as the port's device.
class TPseudoTerminal {
public:
    TPseudoTerminal() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        m_slave = ::ptsname(m_master);
    }
    ~TPseudoTerminal() {
        if (m_master >= 0)
            ::close(m_master);
    }
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;
    const std::string& SlavePath() const { return m_slave; }

private:
    int m_master = -1;
    std::string m_slave;
};

// An open port 1 on device.
std::unique_ptr<TComPort> OpenPort(const std::string& device) {
    auto port = std::make_unique<TComPort>();
    TPortDeviceMap map;
    map.Set(1, device);
    port->SetDeviceMap(map);
    port->SetComNumber(1);
    port->SetOpen(true);
    return port;
}

// Sensor values spelt with a fraction, so that no test running at the same time holds them.
constexpr const char* kSimDevice = "sim:1000.00";

// Device of benchmark argument 0: the simulated sensor at 1 kHz, or a pseudo-terminal.
struct TBenchDevice {
    std::unique_ptr<TPseudoTerminal> pty;
    std::unique_ptr<TComPort> port;
    explicit TBenchDevice(int kind) {
        if (kind == 0) {
            port = OpenPort(kSimDevice);
        } else {
            pty = std::make_unique<TPseudoTerminal>();
            port = OpenPort(pty->SlavePath());
        }
    }
};

const char* DeviceLabel(int kind) {
    return kind == 0 ? kSimDevice : "pseudo-terminal";
}

void BM_CarrierLevel(benchmark::State& state) {
    TBenchDevice device(static_cast<int>(state.range(0)));
    state.SetLabel(DeviceLabel(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(device.port->CarrierLevel());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CarrierLevel)->Arg(0)->Arg(1)->MinTime(2.0);

// The kernel's coarse clock (one read costs a fraction of a precise one, its resolution is the
// scheduler tick): what the loop would poll at with such a clock.
TMonoNs CoarseMonotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<TMonoNs>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs the counting loop on port for about `seconds`; polls_per_s counts the polls per second of
// the loop thread's processor time, so that other processes on the machine do not lower it.
void MeasureLoop(benchmark::State& state, TMonoNs (*clock)()) {
    TBenchDevice device(static_cast<int>(state.range(0)));
    state.SetLabel(DeviceLabel(static_cast<int>(state.range(0))));
    std::uint64_t polls = 0;
    double cpu = 0;
    double real = 0;
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::thread timer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            stop.store(true, std::memory_order_release);
        });
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuSeconds();
        TFullSpeedPolling pacing;
        CaptureLoop(
            [&] {
                ++polls;
                return device.port->CarrierLevel();
            },
            clock, pacing, SleepUntil, [](TSample, const TCaptureWindow&) {}, stop);
        cpu += ThreadCpuSeconds() - cpuStart;
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        real += elapsed.count();
        state.SetIterationTime(elapsed.count());
        timer.join();
    }
    state.counters["polls_per_s"] = static_cast<double>(polls) / cpu;
    state.counters["polls_per_real_s"] = static_cast<double>(polls) / real;
}

void BM_CaptureLoop(benchmark::State& state) {
    MeasureLoop(state, MonotonicNs);
}
BENCHMARK(BM_CaptureLoop)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime();

void BM_CaptureLoopCoarseTick(benchmark::State& state) {
    MeasureLoop(state, CoarseMonotonicNs);
}
BENCHMARK(BM_CaptureLoopCoarseTick)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime();

// The sensor at F Hz for a few windows. Each window's true length is measured between the
// hand-offs (the first window from the loop's start); a window is right when its sample is
// within 1 of F x its length, the transitions the sensor made in it, halved. The pauses between
// two polls are measured too: a pause longer than half the sensor's period (the processor taken
// away from the loop) can hide a pair of transitions from any polling counter.
void BM_Frequency(benchmark::State& state) {
    const auto frequency = static_cast<double>(state.range(0));
    auto port = OpenPort("sim:" + std::to_string(state.range(0)) + ".00");
    constexpr int kWindows = 4;
    int wrong = 0;
    double worst = 0;
    TSample last = 0;
    std::uint64_t polls = 0;
    double seconds = 0;
    const auto halfPeriod = std::chrono::duration<double>(0.5 / frequency);
    std::uint64_t longPauses = 0;
    Clock::duration longestPause{};
    for (auto _ : state) {
        std::atomic<bool> stop{false};
        std::vector<TSample> samples;
        std::vector<Clock::time_point> ends;
        const auto start = Clock::now();
        auto previousPoll = start;
        TFullSpeedPolling pacing;
        CaptureLoop(
            [&] {
                ++polls;
                const bool level = port->CarrierLevel();
                const auto now = Clock::now();
                const auto pause = now - previousPoll;
                longestPause = std::max(longestPause, pause);
                if (pause > halfPeriod)
                    ++longPauses;
                previousPoll = now;
                return level;
            },
            MonotonicNs, pacing, SleepUntil,
            [&](TSample sample, const TCaptureWindow&) {
                previousPoll = Clock::now();
                ends.push_back(previousPoll);
                samples.push_back(sample);
                if (samples.size() == kWindows)
                    stop.store(true, std::memory_order_release);
            },
            stop);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        auto windowStart = start;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double length = std::chrono::duration<double>(ends[i] - windowStart).count();
            const double error = std::fabs(samples[i] - frequency * length);
            worst = std::max(worst, error);
            if (error > 1.0)
                ++wrong;
            if (std::getenv("ACQ_BENCH_TRACE"))
                std::fprintf(stderr, "F=%g window %zu: sample %d length %.6f s\n", frequency, i,
                             samples[i], length);
            windowStart = ends[i];
            last = samples[i];
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.counters["last_sample"] = last;
    state.counters["worst_error"] = worst;
    state.counters["wrong_windows"] = wrong;
    state.counters["polls_per_s"] = static_cast<double>(polls) / seconds;
    state.counters["long_pauses"] = static_cast<double>(longPauses);
    state.counters["longest_pause_us"] =
        std::chrono::duration<double, std::micro>(longestPause).count();
}
BENCHMARK(BM_Frequency)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(1)
    ->UseManualTime();

// ---- Paced against full speed ------------------------------------------------------------------

// A simulated sensor of the pacing comparison, under one device value for each loop (spelt so
// that no test running at the same time holds them). From stepAt seconds after its open on, its
// clock runs stepFactor times faster: a step of its frequency.
struct TPacingSensor {
    const char* label;
    const char* pacedDevice;
    const char* fullDevice;
    const char* countedDevice;
    double stepAt = std::numeric_limits<double>::infinity();
    double stepFactor = 1;
};

const TPacingSensor kPacingSensors[] = {
    {"1 Hz", "sim:1.000", "sim:1.0000", "sim:1.0000000"},
    {"10 Hz", "sim:10.000", "sim:10.0000", "sim:10.0000000"},
    {"50 Hz", "sim:50.000", "sim:50.0000", "sim:50.0000000"},
    {"100 Hz", "sim:100.000", "sim:100.0000", "sim:100.0000000"},
    {"400 Hz", "sim:400.000", "sim:400.0000", "sim:400.0000000"},
    {"1000 Hz", "sim:1000.000", "sim:1000.0000", "sim:1000.0000000"},
    {"2000 Hz", "sim:2000.000", "sim:2000.0000", "sim:2000.0000000"},
    {"40-90 Hz", "sim:40.000-90.000", "sim:40.0000-90.0000", "sim:40.0000000-90.0000000"},
    {"50 Hz, 200 Hz from 2.5 s", "sim:50.0000000000", "sim:50.00000000000", "sim:50.000000000000",
     2.5, 4},
    {"50 Hz, 500 Hz from 2.5 s", "sim:50.00000", "sim:50.000000", "sim:50.00000000", 2.5, 10},
};

// Windows counted by each loop of the comparison.
constexpr std::size_t kPacingWindows = 6;

// The sensor behind an open port, with its clock and its true changes. A new open per run, so
// that each loop starts on a sensor it has not seen.
class TPacingRun {
public:
    TPacingRun(const TPacingSensor& sensor, const std::string& device)
        : m_sensor(sensor), m_spec(ParseSimSpec(device).value()) {
        m_port.SetDeviceFactory([this](const std::string&) {
            auto sim = std::make_unique<TSimComDevice>([this] { return Warped(Seconds()); });
            m_sim = sim.get();
            return sim;
        });
        TPortDeviceMap map;
        map.Set(1, device);
        m_port.SetDeviceMap(map);
        m_port.SetComNumber(1);
        m_port.SetOpen(true);
        m_stepMoment.store(m_sim->OpenedAt() + sensor.stepAt);
    }
    TComPort& Port() { return m_port; }

    // The sensor's changes up to a monotonic time.
    std::uint64_t ChangesAt(TMonoNs at) const {
        return SimTransitionsAt(m_spec, Warped(at * 1e-9) - m_sim->OpenedAt());
    }
    // The distance from a change time to the nearest true change, in microseconds.
    double ErrorUs(TMonoNs at) const {
        const double seconds = at * 1e-9;
        const std::uint64_t n = ChangesAt(at);
        double nearest = std::numeric_limits<double>::infinity();
        for (const std::uint64_t k : {n, n + 1})
            if (k > 0)
                nearest = std::min(nearest, std::fabs(seconds - ChangeTime(k)));
        return nearest * 1e6;
    }
    bool HoldsTheStep(TMonoNs from, TMonoNs to) const {
        const double step = m_stepMoment.load();
        return from * 1e-9 <= step && step <= to * 1e-9;
    }

private:
    static double Seconds() { return MonotonicNs() * 1e-9; }
    double Warped(double seconds) const {
        const double step = m_stepMoment.load();
        return seconds < step ? seconds : step + (seconds - step) * m_sensor.stepFactor;
    }
    // The monotonic time of the sensor's k-th change, in seconds.
    double ChangeTime(std::uint64_t k) const {
        const double warped = m_sim->OpenedAt() + SimTransitionTime(m_spec, k);
        const double step = m_stepMoment.load();
        return warped < step ? warped : step + (warped - step) / m_sensor.stepFactor;
    }

    const TPacingSensor& m_sensor;
    const TSimSpec m_spec;
    // Read by the port's threads through the sensor's clock.
    std::atomic<double> m_stepMoment{std::numeric_limits<double>::infinity()};
    TSimComDevice* m_sim = nullptr;
    TComPort m_port;
};

struct TPacingFigures {
    double cpuShare = 0;       // of one core
    double pollsPerSecond = 0; // of run
    double medianErrorUs = 0;
    double p99ErrorUs = 0;
    std::int64_t worstCountError = 0; // the window holding a step left out
    std::int64_t stepCountError = 0;  // the window holding a step
};

double Quantile(std::vector<double> values, double q) {
    if (values.empty())
        return 0;
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(q * (values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// The loops of the comparison: paced, at full speed, and reading the sensor's count.
enum class TLoop { Paced, Full, Counted };

TPacingFigures MeasurePacing(const TPacingSensor& sensor, TLoop loop) {
    const std::string device = loop == TLoop::Paced  ? sensor.pacedDevice
                               : loop == TLoop::Full ? sensor.fullDevice
                                                     : sensor.countedDevice;
    TPacingRun run(sensor, device);
    std::vector<TMonoNs> changes;
    const TSimSpec rates = ParseSimSpec(device).value();
    changes.reserve(static_cast<std::size_t>(kPacingWindows * 2.5 *
                                             std::max(rates.low, rates.high) * sensor.stepFactor) +
                    16);
    std::vector<TCaptureWindow> windows;
    std::atomic<bool> stop{false};
    std::uint64_t polls = 0;
    if (loop != TLoop::Full)
        LowerTimerSlack();
    const auto handOff = [&](TSample, const TCaptureWindow& window) {
        windows.push_back(window);
        if (windows.size() == kPacingWindows)
            stop.store(true, std::memory_order_release);
    };
    const auto onChange = [&](TMonoNs at, TMonoNs, TMonoNs, std::uint32_t = 0) {
        changes.push_back(at);
    };
    const auto readLevel = [&] {
        ++polls;
        return run.Port().CarrierLevel();
    };
    const double cpuStart = ThreadCpuSeconds();
    const TMonoNs start = MonotonicNs();
    if (loop == TLoop::Paced) {
        TPacedPolling pacing;
        CaptureLoop(readLevel, MonotonicNs, pacing, SleepUntil, handOff, onChange, stop);
    } else if (loop == TLoop::Full) {
        TFullSpeedPolling pacing;
        CaptureLoop(readLevel, MonotonicNs, pacing, SleepUntil, handOff, onChange, stop);
    } else {
        const TCountedPortLine line(run.Port(), stop);
        TChangeWaitPacing pacing;
        CaptureLoop(
            [&] {
                ++polls;
                return line();
            },
            MonotonicNs, pacing, [&line](TMonoNs until) { return line.WaitForChange(until); },
            handOff, onChange, stop);
    }
    const double seconds = (MonotonicNs() - start) * 1e-9;
    TPacingFigures figures;
    figures.cpuShare = (ThreadCpuSeconds() - cpuStart) / seconds;
    figures.pollsPerSecond = static_cast<double>(polls) / seconds;
    std::vector<double> errors;
    errors.reserve(changes.size());
    for (const TMonoNs at : changes)
        errors.push_back(run.ErrorUs(at));
    figures.medianErrorUs = Quantile(errors, 0.5);
    figures.p99ErrorUs = Quantile(errors, 0.99);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const TMonoNs from = i == 0 ? windows[0].openedAt : windows[i - 1].closedAt;
        const auto truth =
            static_cast<std::int64_t>(run.ChangesAt(windows[i].closedAt) - run.ChangesAt(from));
        const std::int64_t error = std::abs(windows[i].changes - truth);
        std::int64_t& worst = run.HoldsTheStep(from, windows[i].closedAt) ? figures.stepCountError
                                                                          : figures.worstCountError;
        worst = std::max(worst, error);
        if (std::getenv("ACQ_BENCH_TRACE"))
            std::fprintf(stderr, "%s %s window %zu: %d changes, the sensor made %lld\n",
                         sensor.label,
                         loop == TLoop::Paced  ? "paced"
                         : loop == TLoop::Full ? "full"
                                               : "counted",
                         i, windows[i].changes, static_cast<long long>(truth));
    }
    return figures;
}

void BM_Pacing(benchmark::State& state) {
    const auto index = static_cast<std::size_t>(state.range(0));
    const TPacingSensor& sensor = kPacingSensors[index];
    state.SetLabel(sensor.label);
    TPacingFigures p;
    TPacingFigures f;
    TPacingFigures c;
    for (auto _ : state) {
        const auto start = Clock::now();
        p = MeasurePacing(sensor, TLoop::Paced);
        f = MeasurePacing(sensor, TLoop::Full);
        c = MeasurePacing(sensor, TLoop::Counted);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    for (const auto& [name, figures] : {std::pair{"paced", &p}, {"full", &f}, {"counted", &c}}) {
        const std::string suffix = std::string("_") + name;
        state.counters["cpu%" + suffix] = 100 * figures->cpuShare;
        state.counters["polls" + suffix] = figures->pollsPerSecond;
        state.counters["err_med_us" + suffix] = figures->medianErrorUs;
        state.counters["err_p99_us" + suffix] = figures->p99ErrorUs;
        state.counters["count_off" + suffix] = static_cast<double>(figures->worstCountError);
        if (std::isfinite(sensor.stepAt))
            state.counters["step_off" + suffix] = static_cast<double>(figures->stepCountError);
    }
}
BENCHMARK(BM_Pacing)->DenseRange(0, std::size(kPacingSensors) - 1)->Iterations(1)->UseManualTime();

} // namespace
} // namespace sornafex

BENCHMARK_MAIN();
