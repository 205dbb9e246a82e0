// The dispatcher: the modem-status shadow and its masks, the threads and how they end, the
// registry.

#include "base/ui_bridge.h"
#include "serial/com_dispatcher.h"
#include "tests/serial/fake_com_device.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace sornafex {
namespace {

using test::TFakeDevices;
using test::TFakeLine;

constexpr const char* kDevice = "/dev/fake1";

// Waits for something another thread does; fails the test instead of hanging for ever.
bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 20000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

class ModemStatusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_GT(dispatcher.OpenDevice(kDevice, 64, 64), 0); }

    TFakeDevices devices;
    std::shared_ptr<TFakeLine> line = devices.Line(kDevice);
    TComDispatcher dispatcher{nullptr, nullptr, devices.Factory()};
};

TEST_F(ModemStatusTest, EveryReadQueriesTheDeviceLive) {
    line->SetModem(kMsRlsdOn);
    EXPECT_TRUE(dispatcher.ReadDcd());
    line->SetModem(0);
    EXPECT_FALSE(dispatcher.ReadDcd());
    line->SetModem(kMsRlsdOn);
    EXPECT_TRUE(dispatcher.ReadDcd());
    EXPECT_EQ(line->ModemQueries(), 3);
}

TEST_F(ModemStatusTest, RefreshSetsTheChangeBitOfEveryLineThatMoved) {
    line->SetModem(0);
    dispatcher.RefreshModemStatus();
    line->SetModem(kMsRlsdOn | kMsDsrOn | kMsCtsOn | kMsRingOn);
    dispatcher.RefreshModemStatus();
    EXPECT_EQ(dispatcher.MsrShadow(),
              0xF0 | kMsrDcdChanged | kMsrRingSeen | kMsrDsrChanged | kMsrCtsChanged);
}

TEST_F(ModemStatusTest, ReadingDcdClearsOnlyTheDcdChangeBit) {
    line->SetModem(0);
    dispatcher.RefreshModemStatus();
    line->SetModem(kMsRlsdOn | kMsDsrOn | kMsCtsOn);
    dispatcher.RefreshModemStatus();
    const std::uint8_t before = dispatcher.ReadModemStatus(kClearNothing);
    EXPECT_EQ(before & 0x0F, kMsrDcdChanged | kMsrDsrChanged | kMsrCtsChanged);
    EXPECT_TRUE(dispatcher.ReadDcd());
    EXPECT_EQ(dispatcher.MsrShadow(),
              kMsRlsdOn | kMsDsrOn | kMsCtsOn | kMsrDsrChanged | kMsrCtsChanged);
}

TEST_F(ModemStatusTest, TheResultHoldsTheBitsThatTheMaskThenClears) {
    line->SetModem(0);
    dispatcher.RefreshModemStatus();
    line->SetModem(kMsRlsdOn);
    dispatcher.RefreshModemStatus();
    EXPECT_EQ(dispatcher.ReadModemStatus(kClearAllChanges), kMsRlsdOn | kMsrDcdChanged);
    EXPECT_EQ(dispatcher.MsrShadow(), kMsRlsdOn);
}

TEST_F(ModemStatusTest, ALatchedRingShowsInTheNextReadingOnly) {
    dispatcher.LatchRing();
    EXPECT_EQ(dispatcher.ReadModemStatus(kClearAllChanges) & kMsrRingSeen, kMsrRingSeen);
    EXPECT_EQ(dispatcher.ReadModemStatus(kClearNothing) & kMsrRingSeen, 0);
}

TEST_F(ModemStatusTest, DcdReadsKeepALatchedRing) {
    dispatcher.LatchRing();
    dispatcher.ReadDcd();
    EXPECT_EQ(dispatcher.MsrShadow() & kMsrRingSeen, kMsrRingSeen);
}

// ---- Threads ----------------------------------------------------------------------------------

class DispatcherThreadsTest : public ::testing::Test {
protected:
    int Setup(TComDispatcher& d) {
        return d.PortSetup(kDevice, 19200, 0, 8, 1, 4096, 4096, kSetupDtr | kSetupRts);
    }

    TFakeDevices devices;
    std::shared_ptr<TFakeLine> line = devices.Line(kDevice);
    TQueuedUiBridge bridge;
};

TEST_F(DispatcherThreadsTest, TheFirstReadingAfterSetupHasNoChangeBit) {
    line->SetModem(kMsRlsdOn | kMsDsrOn);
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(d.OpenDevice(kDevice, 64, 64), 7);
    d.RefreshModemStatus();
    line->SetModem(kMsRlsdOn | kMsCtsOn);
    d.RefreshModemStatus(); // change bits pending from before the setup
    d.CloseDevice();
    ASSERT_EQ(Setup(d), 0);
    EXPECT_EQ(d.MsrShadow(), kMsRlsdOn | kMsCtsOn);
}

TEST_F(DispatcherThreadsTest, SetupStartsThreeThreadsAndShutdownEndsThem) {
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(Setup(d), 0);
    EXPECT_EQ(d.ActiveThreads(), 3);
    EXPECT_TRUE(d.ThreadsRunning());
    EXPECT_THROW(d.StartThreads(), std::runtime_error);
    d.PortShutdown();
    EXPECT_TRUE(Eventually([&] { return d.ActiveThreads() == 0; }));
    EXPECT_FALSE(d.ThreadsRunning());
    EXPECT_EQ(line->Waiters(), 0);
}

TEST_F(DispatcherThreadsTest, AModemEventIsProcessedIntoTheShadow) {
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(Setup(d), 0);
    line->SetModem(kMsRlsdOn);
    line->PushEvent(kEvRlsd);
    EXPECT_TRUE(Eventually([&] { return (d.MsrShadow() & kMsrDcdChanged) != 0; }));
    line->PushEvent(kEvRing);
    EXPECT_TRUE(Eventually([&] { return (d.MsrShadow() & kMsrRingSeen) != 0; }));
}

TEST_F(DispatcherThreadsTest, AnEventThreadEndingThroughAnExceptionStillCountsItselfOut) {
    std::exception_ptr reported;
    std::mutex reportedMutex;
    line->ThrowInWaitEvent();
    {
        TComDispatcher d(nullptr, &bridge, devices.Factory());
        d.SetThreadErrorHandler([&](std::exception_ptr error) {
            std::lock_guard lock(reportedMutex);
            reported = error;
        });
        ASSERT_EQ(Setup(d), 0);
        EXPECT_TRUE(Eventually([&] { return d.ActiveThreads() == 2; }));
        d.PortShutdown();
    } // the destructor waits for ActiveThreads 0: it returns, so nothing was left counted
    std::lock_guard lock(reportedMutex);
    ASSERT_TRUE(reported);
    EXPECT_THROW(std::rethrow_exception(reported), std::runtime_error);
}

TEST_F(DispatcherThreadsTest, AnOutputThreadEndingThroughAnExceptionStillCountsItselfOut) {
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(Setup(d), 0);
    line->ThrowInWrite();
    const std::uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(d.QueueOutput(bytes, 3), 3);
    EXPECT_TRUE(Eventually([&] { return d.ActiveThreads() == 2; }));
    d.PortShutdown();
    EXPECT_TRUE(Eventually([&] { return d.ActiveThreads() == 0; }));
}

TEST_F(DispatcherThreadsTest, QueuedOutputIsWrittenByTheOutputThread) {
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(Setup(d), 0);
    const std::uint8_t bytes[] = {1, 2, 3, 4};
    EXPECT_EQ(d.QueueOutput(bytes, 4), 4);
    EXPECT_TRUE(Eventually([&] { return d.OutputCount() == 0; }));
    const auto log = line->Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "Write 4"), log.end());
}

TEST_F(DispatcherThreadsTest, AProcessingThreadThatDoesNotEndIsGivenUpWithoutADeadlock) {
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(Setup(d), 0);
    // The processing thread now blocks inside the device's error query.
    line->BlockClearError();
    ASSERT_TRUE(Eventually([&] { return line->BlockedInClearError() == 1; }));
    d.StopThreads(); // two waits of 36 ticks, then the thread is given up
    EXPECT_EQ(d.ActiveThreads(), 1);
    line->ReleaseClearError();
    // Its exit step takes LineLock; StopThreads no longer holds it, so it ends.
    EXPECT_TRUE(Eventually([&] { return d.ActiveThreads() == 0; }));
}

// Times the threads of this process gave the processor back: every sleep, every blocking wait.
long VoluntarySwitches() {
    long total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("voluntary_ctxt_switches:"))
                total += std::stol(line.substr(line.find(':') + 1));
    }
    return total;
}

TEST_F(DispatcherThreadsTest, AThreadWaitingForTheLineSleepsUntilItGetsIt) {
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(Setup(d), 0);
    // A DCD read holds LineLock inside a status query that does not return for now...
    line->BlockModemStatus();
    std::thread worker([&] { d.ReadDcd(); });
    ASSERT_TRUE(Eventually([&] { return line->BlockedInModemStatus() == 1; }));
    // ...while the processing thread wants the lock for a modem event.
    line->SetModem(kMsDsrOn);
    line->PushEvent(kEvDsr);
    const long before = VoluntarySwitches();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long during = VoluntarySwitches() - before;
    line->ReleaseModemStatus();
    worker.join();
    EXPECT_TRUE(Eventually([&] { return (d.MsrShadow() & kMsrDsrChanged) != 0; }));
    // A wait that looked every 100 µs would have woken some three thousand times.
    EXPECT_LT(during, 100);
}

TEST_F(DispatcherThreadsTest, StoppingKeepsProcessingUiMessages) {
    TComDispatcher d(nullptr, &bridge, devices.Factory());
    ASSERT_EQ(Setup(d), 0);
    // The event thread's wait now only ends when a UI message releases it.
    line->MakeWaitStubborn();
    line->PushEvent(kEvRlsd); // wakes the current wait into the stubborn one
    bridge.Post([this] { line->ReleaseWaiters(); });
    d.PortShutdown();
    EXPECT_EQ(bridge.Pending(), 0u);
    EXPECT_TRUE(Eventually([&] { return d.ActiveThreads() == 0; }));
}

TEST(DispatcherCycles, TwoHundredSetupsAndShutdownsLeaveNoThread) {
    TQueuedUiBridge bridge;
    for (int cycle = 0; cycle < 200; ++cycle) {
        TComDispatcher d(nullptr, &bridge);
        ASSERT_EQ(d.PortSetup("sim:400", 19200, 0, 8, 1, 4096, 4096, kSetupDtr | kSetupRts), 0)
            << cycle;
        ASSERT_EQ(d.ActiveThreads(), 3) << cycle;
        d.ReadDcd();
        d.PortShutdown();
        ASSERT_TRUE(Eventually([&] { return d.ActiveThreads() == 0; })) << cycle;
    }
    EXPECT_EQ(TComDispatcher::RegistrySize(), 0u);
}

// ---- Registry and probe -------------------------------------------------------------------------

TEST(DispatcherRegistry, ADispatcherTakesTheFirstFreePosition) {
    auto first = std::make_unique<TComDispatcher>();
    auto second = std::make_unique<TComDispatcher>();
    EXPECT_EQ(first->RegistryIndex(), 0);
    EXPECT_EQ(second->RegistryIndex(), 1);
    first.reset();
    auto third = std::make_unique<TComDispatcher>();
    EXPECT_EQ(third->RegistryIndex(), 0);
    third.reset();
    second.reset();
    EXPECT_EQ(TComDispatcher::RegistrySize(), 0u);
}

} // namespace
} // namespace sornafex
