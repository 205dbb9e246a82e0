// What one DCD poll costs. The acquisition counts level changes by polling CarrierLevel in a
// tight loop, so its rate bounds the highest frequency that can be counted. Each pair measures
// CarrierLevel (the port's state lock, LineLock, one status query, a few bit operations) against
// the bare status query of the same open device.
//
// The tty is a pseudo-terminal, whose TIOCMGET fails early with ENOTTY: the cheapest status
// query a tty has. The ratio is therefore the component's own cost over the cheapest query; on a
// real port the query itself (a UART register, or a round trip to a USB adapter) costs more, and
// the same overhead weighs less. No real serial device is opened.

#include "serial/ComPort.h"
#include "serial/sim_com_device.h"
#include "serial/sim_profile.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sornafex {
namespace {

class TPty {
public:
    TPty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 &&
            ::ptsname_r(m_master, name, sizeof name) == 0)
            m_slave = name;
    }
    ~TPty() {
        if (m_master >= 0)
            ::close(m_master);
    }
    const std::string& Slave() const { return m_slave; }

private:
    int m_master = -1;
    std::string m_slave;
};

// An open port on device, for the length of one benchmark.
class TOpenPort {
public:
    explicit TOpenPort(const std::string& device) {
        TPortDeviceMap map;
        map.Set(1, device);
        m_port.SetDeviceMap(map);
        m_port.SetComNumber(1);
        m_port.SetOpen(true);
    }
    TComPort& Port() { return m_port; }
    TComDevice& Device() { return *m_port.Dispatcher()->Device(); }

private:
    TComPort m_port;
};

void Finish(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_PtyIoctlTiocmget(benchmark::State& state) {
    TPty pty;
    TOpenPort open(pty.Slave());
    const int fd = open.Device().Handle();
    for (auto _ : state) {
        int lines = 0;
        benchmark::DoNotOptimize(::ioctl(fd, TIOCMGET, &lines));
        benchmark::DoNotOptimize(lines);
    }
    Finish(state);
}

void BM_PtyDeviceModemStatus(benchmark::State& state) {
    TPty pty;
    TOpenPort open(pty.Slave());
    TComDevice& device = open.Device();
    for (auto _ : state)
        benchmark::DoNotOptimize(device.ModemStatus());
    Finish(state);
}

void BM_PtyCarrierLevel(benchmark::State& state) {
    TPty pty;
    TOpenPort open(pty.Slave());
    TComPort& port = open.Port();
    for (auto _ : state)
        benchmark::DoNotOptimize(port.CarrierLevel());
    Finish(state);
}

void BM_SimDeviceModemStatus(benchmark::State& state) {
    TOpenPort open("sim:1000");
    TComDevice& device = open.Device();
    for (auto _ : state)
        benchmark::DoNotOptimize(device.ModemStatus());
    Finish(state);
}

void BM_SimCarrierLevel(benchmark::State& state) {
    TOpenPort open("sim:1000");
    TComPort& port = open.Port();
    for (auto _ : state)
        benchmark::DoNotOptimize(port.CarrierLevel());
    Finish(state);
}

// A profile of the demo's kind: a point every 0.2 s, the frequency wandering around 50 Hz.
std::vector<TProfilePoint> WanderingProfile(int minutes) {
    std::vector<TProfilePoint> points;
    for (int i = 0; i <= minutes * 60 * 5; ++i) {
        const double t = i * 0.2;
        points.push_back({t, 50 + 1.5 * std::sin(t / 40) + 0.5 * std::sin(t / 3.1)});
    }
    return points;
}

// The same profile in a file of its own, removed at the end.
class TProfileFile {
public:
    explicit TProfileFile(int minutes) {
        char name[] = "/tmp/sornafex-bench-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0)
            ::close(fd);
        m_path = name;
        std::ofstream out(m_path);
        for (const TProfilePoint& point : WanderingProfile(minutes))
            out << point.seconds << ' ' << point.hertz << '\n';
    }
    ~TProfileFile() { ::unlink(m_path.c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// A sensor following a half-hour profile: the clock, then a search among 9000 points.
void BM_SimProfileModemStatus(benchmark::State& state) {
    const TProfileFile file(30);
    TOpenPort open(std::string(kSimProfilePrefix) + file.Path());
    TComDevice& device = open.Device();
    for (auto _ : state)
        benchmark::DoNotOptimize(device.ModemStatus());
    Finish(state);
}

// Every change of a 10-minute run at about 50 Hz, as a check against the sensor's truth asks for
// them; one iteration is the whole run.
void BM_SimProfileChangeTimes(benchmark::State& state) {
    const auto profile = std::make_shared<const TSimProfile>(WanderingProfile(10));
    const TSimSpec sensor{profile->Lowest(), profile->Highest(), profile};
    const std::uint64_t changes = SimTransitionsAt(sensor, 600);
    for (auto _ : state)
        for (std::uint64_t n = 1; n <= changes; ++n)
            benchmark::DoNotOptimize(SimTransitionTime(sensor, n));
    state.counters["changes"] = static_cast<double>(changes);
}

BENCHMARK(BM_PtyIoctlTiocmget)->MinTime(1.0);
BENCHMARK(BM_PtyDeviceModemStatus)->MinTime(1.0);
BENCHMARK(BM_PtyCarrierLevel)->MinTime(1.0);
BENCHMARK(BM_SimDeviceModemStatus)->MinTime(1.0);
BENCHMARK(BM_SimCarrierLevel)->MinTime(1.0);
BENCHMARK(BM_SimProfileModemStatus)->MinTime(1.0);
BENCHMARK(BM_SimProfileChangeTimes)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's rate so that the ratios can be printed after the table.
class TRateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const auto found = run.counters.find("items_per_second");
            // With repetitions the median stands for the benchmark.
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (found != run.counters.end() && (single || median))
                m_rates[run.run_name.function_name] = found->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatio(const char* label, const char* measured, const char* reference) const {
        const auto a = m_rates.find(measured);
        const auto b = m_rates.find(reference);
        if (a == m_rates.end() || b == m_rates.end() || b->second <= 0)
            return;
        std::printf("%-46s %6.1f %%  (%.3g vs %.3g reads/s)\n", label,
                    100.0 * a->second / b->second, a->second, b->second);
    }

private:
    std::map<std::string, double> m_rates;
};

} // namespace
} // namespace sornafex

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sornafex::TRateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("pty: CarrierLevel / bare TIOCMGET", "BM_PtyCarrierLevel",
                        "BM_PtyIoctlTiocmget");
    reporter.PrintRatio("pty: CarrierLevel / device ModemStatus", "BM_PtyCarrierLevel",
                        "BM_PtyDeviceModemStatus");
    reporter.PrintRatio("sim: CarrierLevel / device ModemStatus", "BM_SimCarrierLevel",
                        "BM_SimDeviceModemStatus");
    benchmark::Shutdown();
    return 0;
}
