// "Rapport..." in the real window: which session it reports (the journal opened, until a run
// begins, then the run's), its refusal without a session, and its place in the enable rules.

#include "app/frmMain.h"
#include "app/qt_ui_bridge.h"
#include "base/uRes.h"
#include "examination/session_sheet_editor.h"
#include "recording/journal.h"
#include "tests/report/session_journal.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"

#include <QAction>
#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace sornafex {
namespace {

constexpr int kPatienceMs = 30000;

class ReportWindowTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        bridge = std::make_unique<TQtUiBridge>();
        // COM1 a simulated sensor, every other port a device that does not exist; the run's
        // journal in the test's folder.
        std::string ini = "[Com]\nDevice1=sim:50\n";
        for (int n = 2; n <= 50; ++n)
            ini += "Device" + std::to_string(n) + "=/nonexistent/sornafex-test/port" +
                   std::to_string(n) + "\n";
        ini += "[Journal]\nFolder=" + (folder / "journaux") + "\n";
        test::WriteBytes(folder / "sornafex.ini", ini);
        window = std::make_unique<TfmMain>(ui, *bridge);
        window->show();
        window->StartUp(folder / "sornafex");
    }
    void TearDown() override {
        if (window && window->Acquiring)
            window->ActCaptureStop->trigger();
        window.reset();
    }

    // The print job "Rapport..." prepares, the dialog cancelled.
    std::string ReportedJob() {
        std::string job;
        ui.ExpectPrint([&](QPrinter& printer) {
            job = printer.docName().toStdString();
            return false;
        });
        window->ActFileReport->trigger();
        return job;
    }

    std::string OpenJournal() {
        const std::string path = folder / "2026-12-08_10-15-02_COM1.csv";
        test::WriteBytes(path, test::SessionJournal(false, true));
        ui.ExpectOpen(path);
        window->ActOpen->trigger();
        return path;
    }

    test::TScratchFolder folder;
    test::TScriptedUiServices ui;
    std::unique_ptr<TQtUiBridge> bridge;
    std::unique_ptr<TfmMain> window;
};

TEST_F(ReportWindowTest, ReportsTheJournalOpenedUntilARunBeginsThenTheRunsOwn) {
    ui.ExpectMessage();
    window->ActFileReport->trigger();
    EXPECT_EQ(ui.Shown().back().text, res::kReportNoSession);

    OpenJournal();
    EXPECT_EQ(ReportedJob(), "Rapport 2026-12-08_10-15-02_COM1.csv");

    ui.ExpectDialog<TSessionSheetEditor>([](TSessionSheetEditor&) { return false; });
    window->ActCaptureStart->trigger();
    ASSERT_TRUE(window->Acquiring);
    EXPECT_FALSE(window->ActFileReport->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Journal().Path().empty(); }, kPatienceMs));
    window->ActCaptureStop->trigger();
    EXPECT_TRUE(window->ActFileReport->isEnabled());
    const std::string run = window->Journal().Path();
    EXPECT_EQ(ReportedJob(), "Rapport " + run.substr(run.rfind('/') + 1));
}

} // namespace
} // namespace sornafex
