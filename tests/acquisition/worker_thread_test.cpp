#include "acquisition/worker_thread.h"
#include "base/ui_bridge.h"
#include "tests/support/scripted_ui_services.h"

#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace sornafex {
namespace {

using test::TDialogKind;
using test::TScriptedUiServices;

// Generous bound for a wait that should end at once; reaching it fails the test.
constexpr int kPatienceMs = 20000;

class WorkerThreadTest : public testing::Test {
protected:
    TQueuedUiBridge bridge;
    TScriptedUiServices ui;
    std::unique_ptr<TWorkerThread> worker = std::make_unique<TWorkerThread>(bridge, ui);
    // Events in the order the UI thread saw them.
    std::vector<std::string> events;

    void RecordFinishes() {
        worker->SetOnFinish([this](void* sender) {
            EXPECT_EQ(sender, nullptr);
            EXPECT_TRUE(bridge.IsUiThread());
            events.push_back("finish");
        });
        worker->SetOnFinishAll([this](void* sender) {
            EXPECT_EQ(sender, nullptr);
            events.push_back("finish all");
        });
    }
    bool PumpUntilIdle() {
        return bridge.PumpUntil([this] { return !worker->OneThreadIsRunning(); }, kPatienceMs);
    }
};

TEST_F(WorkerThreadTest, WithoutOnExecuteStartsNothing) {
    EXPECT_EQ(worker->Execute(nullptr), 0u);
    EXPECT_EQ(worker->RunningCount(), 0);
    EXPECT_FALSE(worker->OneThreadIsRunning());
}

TEST_F(WorkerThreadTest, RunsTheBodyOnItsOwnThreadAndReportsTheEndOnTheUiThread) {
    int parameter = 0;
    std::atomic<TWorkerThread*> seenSender{nullptr};
    std::atomic<void*> seenParameter{nullptr};
    std::atomic<bool> onOtherThread{false};
    worker->SetOnExecute([&](TWorkerThread* sender, void* param) {
        seenSender = sender;
        seenParameter = param;
        onOtherThread = !bridge.IsUiThread();
    });
    RecordFinishes();

    EXPECT_NE(worker->Execute(&parameter), 0u);
    EXPECT_EQ(worker->RunningCount(), 1);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(seenSender.load(), worker.get());
    EXPECT_EQ(seenParameter.load(), &parameter);
    EXPECT_TRUE(onOtherThread.load());
    EXPECT_EQ(events, (std::vector<std::string>{"finish", "finish all"}));
    EXPECT_TRUE(worker->Terminated());
}

TEST_F(WorkerThreadTest, ExclusiveRefusesASecondThreadUntilTheFirstEndWasHandled) {
    std::latch release(1);
    std::atomic<int> bodies{0};
    worker->SetOnExecute([&](TWorkerThread*, void*) {
        ++bodies;
        release.wait();
    });
    RecordFinishes();

    ASSERT_NE(worker->Execute(nullptr), 0u);
    EXPECT_EQ(worker->Execute(nullptr), 0u);
    EXPECT_EQ(worker->RunningCount(), 1);
    release.count_down();
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(bodies.load(), 1);
    EXPECT_NE(worker->Execute(nullptr), 0u);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(bodies.load(), 2);
}

TEST_F(WorkerThreadTest, NonExclusiveRunsBothAndFinishesAllAfterTheSecond) {
    worker->SetExclusive(false);
    std::latch first(1);
    std::latch second(1);
    std::atomic<int> started{0};
    worker->SetOnExecute([&](TWorkerThread*, void*) { (started++ == 0 ? first : second).wait(); });
    RecordFinishes();

    const auto a = worker->Execute(nullptr);
    const auto b = worker->Execute(nullptr);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(worker->RunningCount(), 2);

    first.count_down();
    ASSERT_TRUE(bridge.PumpUntil([&] { return worker->RunningCount() == 1; }, kPatienceMs));
    EXPECT_EQ(events, (std::vector<std::string>{"finish"}));
    second.count_down();
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(events, (std::vector<std::string>{"finish", "finish", "finish all"}));
}

TEST_F(WorkerThreadTest, RunOnCreateFalseLeavesTheThreadSuspendedButCounted) {
    worker->SetRunOnCreate(false);
    std::atomic<bool> ran{false};
    worker->SetOnExecute([&](TWorkerThread*, void*) { ran = true; });
    RecordFinishes();

    const auto id = worker->Execute(nullptr);
    ASSERT_NE(id, 0u);
    EXPECT_TRUE(worker->OneThreadIsRunning());
    bridge.ProcessMessages();
    EXPECT_FALSE(ran.load());
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(worker->Resume(id + 1));

    ASSERT_TRUE(worker->Resume(id));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(ran.load());
    EXPECT_FALSE(worker->Resume(id));
}

TEST_F(WorkerThreadTest, TerminateSetsTheRequestThatTheBodyCanWatch) {
    EXPECT_TRUE(worker->Terminated());
    std::latch started(1);
    worker->SetOnExecute([&](TWorkerThread* sender, void*) {
        started.count_down();
        while (!sender->Terminated())
            std::this_thread::yield();
    });
    ASSERT_NE(worker->Execute(nullptr), 0u);
    started.wait();
    EXPECT_FALSE(worker->Terminated());
    worker->Terminate();
    EXPECT_TRUE(worker->Terminated());
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(worker->Terminated());
}

TEST_F(WorkerThreadTest, ErrorOfTheBodyIsShownThenTheEndIsStillReported) {
    ui.ExpectErrorWithCaption();
    worker->SetOnExecute(
        [](TWorkerThread*, void*) { throw std::runtime_error("Le capteur ne répond plus"); });
    RecordFinishes();

    ASSERT_NE(worker->Execute(nullptr), 0u);
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(ui.Shown().size(), 1u);
    const auto& box = ui.Shown()[0];
    EXPECT_EQ(box.kind, TDialogKind::ErrorWithCaption);
    EXPECT_EQ(box.caption, "Erreur d'application");
    EXPECT_EQ(box.text.rfind("Exception runtime_error dans le module worker_thread_test à ", 0), 0u)
        << box.text;
    const std::string tail = ".\nLe capteur ne répond plus.";
    ASSERT_GE(box.text.size(), tail.size());
    EXPECT_EQ(box.text.substr(box.text.size() - tail.size()), tail);
    EXPECT_EQ(events, (std::vector<std::string>{"finish", "finish all"}));
    EXPECT_TRUE(ui.ScriptDone());
}

TEST_F(WorkerThreadTest, ErrorBoxComesBeforeTheFinishNotification) {
    ui.ExpectErrorWithCaption();
    worker->SetOnExecute([](TWorkerThread*, void*) { throw std::logic_error("x"); });
    worker->SetOnFinish(
        [this](void*) { events.push_back("finish, boxes " + std::to_string(ui.Shown().size())); });
    ASSERT_NE(worker->Execute(nullptr), 0u);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(events, (std::vector<std::string>{"finish, boxes 1"}));
}

TEST_F(WorkerThreadTest, OtherThrownObjectsEndTheBodyWithoutABox) {
    worker->SetOnExecute([](TWorkerThread*, void*) { throw 42; });
    RecordFinishes();
    ASSERT_NE(worker->Execute(nullptr), 0u);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(ui.Shown().empty());
    EXPECT_EQ(events, (std::vector<std::string>{"finish", "finish all"}));
}

TEST_F(WorkerThreadTest, FinishAllFollowsAFailingFinish) {
    worker->SetOnExecute([](TWorkerThread*, void*) {});
    worker->SetOnFinish([](void*) { throw std::runtime_error("finish failed"); });
    worker->SetOnFinishAll([this](void*) { events.push_back("finish all"); });
    ASSERT_NE(worker->Execute(nullptr), 0u);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(events, (std::vector<std::string>{"finish all"}));
}

TEST_F(WorkerThreadTest, FailedStartIsNotCountedAndTheBodyNeverRuns) {
    std::atomic<bool> ran{false};
    worker->SetOnExecute([&](TWorkerThread*, void*) { ran = true; });
    worker->SetOnBegin([](void*) { throw std::runtime_error("no begin"); });
    EXPECT_THROW(worker->Execute(nullptr), std::runtime_error);
    EXPECT_EQ(worker->RunningCount(), 0);
    EXPECT_TRUE(worker->Terminated());

    // With the count restored, the exclusive component accepts the next start.
    worker->SetOnBegin(nullptr);
    EXPECT_NE(worker->Execute(nullptr), 0u);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(ran.load());
}

TEST_F(WorkerThreadTest, DestructionTerminatesAndWaitsWhileRunningTheUiCalls) {
    std::atomic<int> uiCalls{0};
    worker->SetOnExecute([&](TWorkerThread* sender, void*) {
        while (!sender->Terminated())
            std::this_thread::yield();
        // A call that needs the UI thread while the component is being destroyed.
        sender->Bridge().RunOnUiThread([&] { ++uiCalls; });
    });
    RecordFinishes();
    ASSERT_NE(worker->Execute(nullptr), 0u);
    worker.reset();
    EXPECT_EQ(uiCalls.load(), 1);
    EXPECT_EQ(events, (std::vector<std::string>{"finish", "finish all"}));
}

TEST_F(WorkerThreadTest, DestructionStartsASuspendedThreadAndWaitsForIt) {
    worker->SetRunOnCreate(false);
    std::atomic<bool> sawTerminate{false};
    worker->SetOnExecute(
        [&](TWorkerThread* sender, void*) { sawTerminate = sender->Terminated(); });
    RecordFinishes();
    ASSERT_NE(worker->Execute(nullptr), 0u);
    worker.reset();
    EXPECT_TRUE(sawTerminate.load());
    EXPECT_EQ(events, (std::vector<std::string>{"finish", "finish all"}));
}

TEST_F(WorkerThreadTest, KeptThreadsAreDestroyedWithTheComponent) {
    worker->SetFreeOnTerminate(false);
    std::atomic<int> bodies{0};
    worker->SetOnExecute([&](TWorkerThread*, void*) { ++bodies; });
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(worker->Execute(nullptr), 0u);
        ASSERT_TRUE(PumpUntilIdle());
    }
    worker.reset();
    EXPECT_EQ(bodies.load(), 3);
}

TEST(WorkerErrorText, AddsNoSecondFullStop) {
    const std::runtime_error error("Port fermé.");
    const std::string text =
        WorkerErrorText(error, "sornafex", reinterpret_cast<const void*>(0xABCD));
    const std::string address(2 * sizeof(void*) - 4, '0');
    EXPECT_EQ(text, "Exception runtime_error dans le module sornafex à " + address +
                        "ABCD.\nPort fermé.");
}

} // namespace
} // namespace sornafex
