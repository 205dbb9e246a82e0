#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "app/qt_ui_bridge.h"
#include "base/ui_bridge.h"
#include "chart/chart_widget.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace sornafex {
namespace {

class MainWindowOutputTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        window = std::make_unique<TfmMain>(ui, bridge);
        window->show();
        ASSERT_TRUE(dir.isValid());
        window->SaveDialog1.initialDir = dir.path().toStdString();
    }

    QSize ChartSize() const { return window->Chart1->size(); }
    std::string Path(const char* name) const {
        return dir.filePath(QString::fromLatin1(name)).toStdString();
    }

    void Trigger(const char* action) {
        auto* found = window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(found, nullptr) << action;
        found->trigger();
    }

    QTemporaryDir dir;
    test::TScriptedUiServices ui;
    TQueuedUiBridge bridge;
    std::unique_ptr<TfmMain> window;
};

TEST_F(MainWindowOutputTest, BitmapExportWritesTheChartAtItsClientSize) {
    ASSERT_FALSE(ChartSize().isEmpty());
    ui.ExpectSave(Path("Nouveau.bmp"));
    Trigger("ActGraphExportBitmap");
    const TFileDialogOptions& asked = ui.Shown().at(0).fileOptions;
    EXPECT_EQ(asked.filter, "Bitmap (*.bmp)|*.bmp");
    EXPECT_EQ(asked.fileName, "Nouveau");
    EXPECT_EQ(asked.initialDir, dir.path().toStdString()) << "the dialog's folder is kept";
    EXPECT_EQ(QImage(QString::fromStdString(Path("Nouveau.bmp")), "BMP").size(), ChartSize());
}

TEST_F(MainWindowOutputTest, MetafileExportFrameIsOnePixelSmaller) {
    ui.ExpectSave(Path("Nouveau.wmf"));
    Trigger("ActGraphExportMetafile");
    QFile file(QString::fromStdString(Path("Nouveau.wmf")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 22);
    const auto word = [&](int at) {
        return int(std::uint8_t(bytes[at])) | (int(std::uint8_t(bytes[at + 1])) << 8);
    };
    EXPECT_EQ(word(10), ChartSize().width() - 1);
    EXPECT_EQ(word(12), ChartSize().height() - 1);
}

TEST_F(MainWindowOutputTest, AnExportToAnUnwritablePlaceShowsItsMessageNotTheErrorBox) {
    ui.ExpectSave(Path("missing/Nouveau.bmp"));
    ui.ExpectMessage();
    Trigger("ActGraphExportBitmap");
    EXPECT_EQ(ui.Shown().back().text, "Une erreur est survenue durant l'export du fichier Bitmap.");
}

TEST_F(MainWindowOutputTest, CopyBitmapPutsTheChartOnTheClipboard) {
    Trigger("ActGraphCopyToClipboardBitmap");
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), ChartSize());
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(MainWindowOutputTest, CancelledPrintDialogPrintsNothing) {
    ui.ExpectPrint([](QPrinter&) { return false; });
    Trigger("ActGraphPrint");
    EXPECT_EQ(ui.Shown().size(), 1u);
}

TEST_F(MainWindowOutputTest, AboutOpensTheAboutBoxModallyAndDestroysItWhenItCloses) {
    QPointer<TfmAbout> shown;
    bool wasScrolling = false;
    QTimer::singleShot(0, window.get(), [&] {
        shown = qobject_cast<TfmAbout*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        wasScrolling = shown->ScrollText()->Stepping();
        shown->accept();
    });
    Trigger("ActAppAbout");
    EXPECT_TRUE(wasScrolling);
    EXPECT_TRUE(shown.isNull()) << "the box is destroyed when it closes";
    EXPECT_TRUE(ui.Shown().empty());
}

TEST(AboutBoxOnQt, TheTextScrollsThroughTheQtBridgeAndStopsWhenTheBoxCloses) {
    test::EnsureQtApp();
    TQtUiBridge bridge;
    TfmAbout about(bridge);
    about.show();
    const auto* block = about.findChild<QWidget*>(QStringLiteral("ScrollTextBlock"));
    ASSERT_NE(block, nullptr);
    // Two steps: past the top, then in at the bottom edge of the 25-pixel frame.
    ASSERT_TRUE(QTest::qWaitFor([&] { return block->y() == 25; }, 60000));
    about.accept();
    EXPECT_FALSE(about.ScrollText()->Stepping());
    const int top = block->y();
    QCoreApplication::processEvents();
    EXPECT_EQ(block->y(), top);
}

} // namespace
} // namespace sornafex
