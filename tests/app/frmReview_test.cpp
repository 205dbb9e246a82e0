// The review window offscreen, opened through the main window's command and the command line's
// hook, answered through the scripted services: its title, the keys, the mouse, the list and the
// exports reach the view and the files; a journal that cannot be read says why.

#include "app/frmMain.h"
#include "app/frmReview.h"
#include "base/ui_bridge.h"
#include "chart/chart_widget.h"
#include "export/bids_export_editor.h"
#include "recording/journal.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using test::TScratchFolder;
using test::WriteBytes;

constexpr std::int64_t kStartMs = 1796721302223; // 2026-12-08 10:15:02.223 in Paris

// Ten minutes at 50 Hz, ten fine values a second and a sample a second (or the samples alone),
// a question at 60 s answered at 62 s and a marker at 300 s.
std::string Journal(bool fine) {
    std::string text = JournalHeader() + "\r\n";
    const auto row = [&](int ms, const std::string& fields) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%d.%03d", ms / 1000, ms % 1000);
        text += FormatJournalTime(kStartMs + ms, 3600) + "," + seconds + ",COM1," + fields + "\r\n";
    };
    for (int ms = 100; ms <= 600000; ms += 100) {
        if (ms == 60000)
            row(ms, ",,question,,,1,R,\"Hier, à Lyon ?\",");
        if (ms == 62000)
            row(ms, ",,réponse,,,1,,,non");
        if (ms == 300000)
            row(ms, ",1,,,,,,,");
        if (fine)
            row(ms, ",,,50.0000,,,,,");
        if (ms % 1000 == 0 && ms < 600000)
            row(ms + 4, "50,,,,,,,,");
    }
    return text;
}

class ReviewWindowTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        WriteBytes(journal, Journal(true));
        window = std::make_unique<TfmMain>(ui, bridge);
    }

    // The review of journal, shown and painted once.
    TfmReview* Review(const std::string& path) {
        TfmReview* review = window->ReviewJournal(path);
        if (review) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(review));
            while (review->Chart()->PaintCount() == 0 || review->Overview()->PaintCount() == 0)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        return review;
    }

    TScratchFolder folder;
    const std::string journal = folder / "2026-12-08_10-15-02_COM1.csv";
    test::TScriptedUiServices ui;
    TQueuedUiBridge bridge;
    std::unique_ptr<TfmMain> window;
};

TEST_F(ReviewWindowTest, TheCommandOpensTheJournalInAWindowNamedAfterItOrSaysWhyNot) {
    const std::string bad = folder / "bad.csv";
    WriteBytes(bad, JournalHeader() + "\r\n2026-12-08T10:15:02.323+01:00,0.100,COM1,,,,x,,,,,\r\n");
    const struct {
        std::string path;
        const char* title; // or the error
    } rows[] = {
        {journal, "Revue de séance - [2026-12-08_10-15-02_COM1.csv]"},
        {bad, "Ce fichier n'est pas un journal : la ligne 2 n'a pas pu être lue."},
        {folder / "absent.csv", "Fichier introuvable."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const bool opens = row.path == journal;
        ui.ExpectOpen(row.path);
        if (!opens)
            ui.ExpectError();
        window->ActReviewSession->trigger();
        EXPECT_EQ(ui.Shown().front().fileOptions.filter, "Journaux (*.csv)|*.csv");
        const auto reviews = window->findChildren<TfmReview*>();
        ASSERT_EQ(reviews.size(), opens ? 1 : 0);
        if (opens) {
            EXPECT_EQ(reviews.front()->windowTitle().toStdString(), row.title);
            EXPECT_TRUE(reviews.front()->isVisible());
            delete reviews.front();
        } else {
            EXPECT_EQ(ui.Shown().back().text, row.title);
        }
    }
}

TEST_F(ReviewWindowTest, KeysMouseAndListReachTheView) {
    TfmReview* review = Review(journal);
    ASSERT_NE(review, nullptr);
    chart::TChart* chart = review->Chart();
    const chart::TChartAxis& axis = chart->BottomAxis();
    const int middle = chart->height() / 2;
    const struct {
        const char* name;
        std::function<void()> act;
        double from, to;
    } rows[] = {
        {"whole", [] {}, 0, 600},
        {"+", [&] { QTest::keyClick(chart, Qt::Key_Plus); }, 150, 450},
        {"→", [&] { QTest::keyClick(chart, Qt::Key_Right); }, 155, 455},
        {"Page Up", [&] { QTest::keyClick(chart, Qt::Key_PageUp); }, 0, 300},
        {"End", [&] { QTest::keyClick(chart, Qt::Key_End); }, 300, 600},
        {"←", [&] { QTest::keyClick(chart, Qt::Key_Left); }, 295, 595},
        {"Home", [&] { QTest::keyClick(chart, Qt::Key_Home); }, 0, 300},
        {"Page Down", [&] { QTest::keyClick(chart, Qt::Key_PageDown); }, 300, 600},
        {"the list's question", [&] { review->EntryList()->setCurrentRow(0); }, 0, 300},
        {"the list's marker", [&] { review->EntryList()->setCurrentRow(1); }, 150, 450},
        {"−", [&] { QTest::keyClick(chart, Qt::Key_Minus); }, 0, 600},
        {"the strip",
         [&] {
             QTest::keyClick(chart, Qt::Key_Plus);
             QTest::mouseClick(review->Overview(), Qt::LeftButton, {},
                               {review->Overview()->BottomAxis().IEndPos(), 10});
         },
         300, 600},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.act();
        EXPECT_DOUBLE_EQ(review->View().From(), row.from);
        EXPECT_DOUBLE_EQ(review->View().To(), row.to);
        EXPECT_EQ(review->RangeLabel()->text().toStdString(), review->View().RangeText());
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(review->EntryList()->count(), 2);
    EXPECT_EQ(review->EntryList()->item(1)->text().toStdString(), "00:05:00  Repère 1");

    // A click, then a shift-click: the difference of two points of the drawn range.
    chart->repaint();
    QTest::mouseClick(chart, Qt::LeftButton, {}, {axis.CalcPosValue(350), middle});
    QTest::mouseClick(chart, Qt::LeftButton, Qt::ShiftModifier, {axis.CalcPosValue(450), middle});
    ASSERT_TRUE(review->View().FirstPoint() && review->View().SecondPoint());
    EXPECT_EQ(review->DifferenceLabel()->text().toStdString(), review->View().DifferenceText());
    EXPECT_TRUE(review->DifferenceLabel()->text().startsWith(QStringLiteral("Δt = +")));
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(ReviewWindowTest, ExportsWriteTheirFilesOrSayWhy) {
    const std::string samples = folder / "2026-12-08_11-00-00_COM1.csv";
    WriteBytes(samples, Journal(false));
    const struct {
        std::string journal;
        bool edf;
        std::vector<std::string> written; // or nothing, and the error
        const char* error;
    } rows[] = {
        {journal, true, {"séance.edf"}, nullptr},
        {journal,
         false,
         {"sub-20261208101502COM1_task-examen_physio.tsv.gz",
          "sub-20261208101502COM1_task-examen_physio.json",
          "sub-20261208101502COM1_task-examen_events.tsv"},
         nullptr},
        {samples,
         true,
         {},
         "Export impossible : ce journal n'a aucune fréquence fine à exporter (journal d'une "
         "version antérieure ?)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.edf ? "EDF+" : "BIDS");
        TfmReview* review = Review(row.journal);
        ASSERT_NE(review, nullptr);
        const std::string out = folder / "out";
        std::filesystem::create_directory(out);
        if (row.edf) {
            ui.ExpectSave(out + "/séance");
        } else {
            ui.ExpectDialog<TBidsExportEditor>([&](TBidsExportEditor& editor) {
                EXPECT_EQ(editor.subject, "20261208101502COM1");
                EXPECT_EQ(editor.task, "examen");
                EXPECT_EQ(editor.folder, folder.Path());
                editor.folder = out;
                return true;
            });
        }
        if (row.error)
            ui.ExpectError();
        (row.edf ? review->ExportEdfButton() : review->ExportBidsButton())->click();
        if (row.edf) {
            const test::TShownDialog& save =
                ui.Shown()[row.error ? ui.Shown().size() - 2 : ui.Shown().size() - 1];
            EXPECT_EQ(save.fileOptions.fileName,
                      std::filesystem::path(row.journal).stem().string() + ".edf");
            EXPECT_EQ(save.fileOptions.initialDir, folder.Path());
        }
        std::set<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(out))
            written.insert(entry.path().filename().string());
        EXPECT_EQ(written, std::set<std::string>(row.written.begin(), row.written.end()));
        if (row.error)
            EXPECT_EQ(ui.Shown().back().text, row.error);
        else
            EXPECT_TRUE(
                review->StatusLabel()->text().startsWith(QStringLiteral("Séance exportée")));
        delete review;
        std::filesystem::remove_all(out);
    }
}

} // namespace
} // namespace sornafex
