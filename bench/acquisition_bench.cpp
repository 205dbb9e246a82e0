// How fast the counting loop polls, and whether it counts every transition.
//
//   BM_CarrierLevel/<device>  bare CarrierLevel calls on an open port: the ceiling of any loop
//   BM_CaptureLoop/<device>   the counting loop on the same port, polls per second
//   BM_CaptureLoopCoarseTick  the same with the kernel's coarse clock as its tick count
//   BM_Frequency/<F>          a simulated sensor of F Hz: the samples against F x the true length
//                             of each window (a window is counted right when within 1)
//
// Devices: the simulated sensor, and a pseudo-terminal (one modem-status ioctl per poll).
// ACQ_BENCH_TRACE=1 in the environment prints every window of BM_Frequency.

#include "acquisition/capture_loop.h"
#include "serial/ComPort.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

// The tick count from the kernel's coarse clock (one read costs a fraction of a precise one,
// its resolution is the scheduler tick): what the loop would poll at with such a clock.
TTickCount CoarseTickCount() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<TTickCount>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                                   static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs the counting loop on port for about `seconds`; polls_per_s counts the polls per second of
// the loop thread's processor time, so that other processes on the machine do not lower it.
void MeasureLoop(benchmark::State& state, TTickCount (*tickCount)()) {
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
        CaptureLoop(
            [&] {
                ++polls;
                return device.port->CarrierLevel();
            },
            tickCount, [](TSample) {}, stop);
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
    MeasureLoop(state, TickCount);
}
BENCHMARK(BM_CaptureLoop)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime();

void BM_CaptureLoopCoarseTick(benchmark::State& state) {
    MeasureLoop(state, CoarseTickCount);
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
            TickCount,
            [&](TSample sample) {
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

} // namespace
} // namespace sornafex

BENCHMARK_MAIN();
