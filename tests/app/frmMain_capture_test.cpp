// The acquisition area in the real main window, offscreen: simulated sensors mapped in the
// preferences file, the commands triggered as the menus and keys would, the status bar, the
// history and the no-data title read back.

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "app/qt_ui_bridge.h"
#include "base/device_choice.h"
#include "chart/chart_widget.h"
#include "chart/uGraph.h"
#include "recording/documents.h"
#include "tests/serial/fake_device_tree.h"
#include "tests/serial/pty.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"
#include "tests/support/viewer_stand_in.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

namespace sornafex {
namespace {

constexpr int kPatienceMs = 30000;

class CaptureWindowTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        ASSERT_TRUE(folder.isValid());
        bridge = std::make_unique<TQtUiBridge>();
    }
    void TearDown() override {
        if (window && window->Acquiring)
            window->ActCaptureStop->trigger();
        window.reset();
    }

    // Writes the preferences file next to a program in the test's folder, every port from 1 to
    // 50 mapped (those not given to a device that does not exist), and starts the window.
    void StartWith(const std::map<int, std::string>& ports, const std::string& more = {}) {
        std::string ini = "[Com]\n";
        for (int n = 1; n <= 50; ++n) {
            const auto it = ports.find(n);
            ini += "Device" + std::to_string(n) + "=" +
                   (it != ports.end() ? it->second
                                      : "/nonexistent/sornafex-test/port" + std::to_string(n)) +
                   "\n";
        }
        ini += more;
        // Journals of the runs go to the test's folder, never into the user's.
        ini += "[Journal]\nFolder=" + journalFolder + "\n";
        QFile file(folder.filePath(QStringLiteral("sornafex.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini.data(), static_cast<qint64>(ini.size()));
        file.close();

        window = std::make_unique<TfmMain>(ui, *bridge);
        window->show();
        window->StartUp(folder.filePath(QStringLiteral("sornafex")).toStdString());
    }

    std::string Panel(int n) const { return window->PanelText(n); }
    double NewestSample() const {
        const auto& y = window->Graph().Series().YValues();
        return y.Value(y.Count() - 1);
    }
    bool WaitFor(const std::function<bool()>& condition) {
        return QTest::qWaitFor(condition, kPatienceMs);
    }

    QTemporaryDir folder;
    std::string journalFolder = folder.filePath(QStringLiteral("journaux")).toStdString();
    test::TScriptedUiServices ui;
    std::unique_ptr<TQtUiBridge> bridge;
    std::unique_ptr<TfmMain> window;
};

TEST_F(CaptureWindowTest, FiftyHertzSensorFillsTheHistoryAndTheReadout) {
    StartWith({{1, "sim:50"}});
    ASSERT_EQ(Panel(0), "Com 1 - Ouvert");
    EXPECT_TRUE(window->ActComSetComNum1->isChecked());

    window->ActCaptureStart->trigger();
    EXPECT_TRUE(window->Acquiring);
    EXPECT_EQ(Panel(1), "0 Hz");
    EXPECT_EQ(Panel(2), "Acquisition démarrée...");

    // The enable table during the run.
    EXPECT_TRUE(window->ActCaptureStop->isEnabled());
    for (QAction* off :
         {window->ActCaptureStart, window->ActAppClose, window->ActAppHelpIndex, window->ActNew,
          window->ActOpen, window->ActSave, window->ActSaveAs, window->ActGraphPrint,
          window->ActGraphExportBitmap, window->ActGraphExportMetafile, window->ActGraphSetXAuto,
          window->ActComSetComNum1, window->ActComSetComNum2})
        EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
    for (QAction* on :
         {window->ActGraphSetXMin, window->ActGraphSetXMax, window->ActGraphSetXDefault,
          window->ActGraphCopyToClipboardBitmap, window->ActGraphCopyToClipboardMetafile,
          window->ActShowNoData, window->ActAppAbout, window->ActAppReadme})
        EXPECT_TRUE(on->isEnabled()) << on->objectName().toStdString();

    // Closing is refused, silently, during the run.
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());

    // Some window reads 50 (±1): a loop that lost the processor for more than half a period can
    // miss a pair of changes on a busy machine, but never counts too many.
    ASSERT_TRUE(WaitFor([&] {
        const std::string readout = Panel(1);
        return readout == "49 Hz" || readout == "50 Hz" || readout == "51 Hz";
    })) << Panel(1);
    const double newest = NewestSample();
    EXPECT_EQ(Panel(1), std::to_string(static_cast<int>(newest)) + " Hz");
    const auto& history = window->Graph().Series().YValues();
    for (int i = 0; i < history.Count(); ++i)
        EXPECT_LE(history.Value(i), 51);

    window->ActCaptureStop->trigger();
    EXPECT_FALSE(window->Acquiring);
    EXPECT_FALSE(window->Acquisition().CaptureThreadRunning());
    EXPECT_EQ(Panel(2), "Acquisition arrêtée");
    EXPECT_EQ(Panel(1), "-");
    EXPECT_TRUE(window->ActCaptureStart->isEnabled());
    EXPECT_FALSE(window->ActCaptureStop->isEnabled());
    EXPECT_TRUE(window->ActAppClose->isEnabled());
    EXPECT_TRUE(window->ActComSetComNum1->isEnabled());
    EXPECT_FALSE(window->ActComSetComNum2->isEnabled()) << "COM2 was not found";
    EXPECT_TRUE(window->Acquisition().CloseQuery());
}

TEST_F(CaptureWindowTest, QuietSensorGivesZeroAndTheNoDataTitle) {
    // A sensor that never toggles; spelt "0.0" so that other tests holding "sim:0" at the same
    // moment cannot make this port busy.
    StartWith({{1, "sim:0.0"}});
    ASSERT_TRUE(window->Graph().ShowNoData());
    window->ActCaptureStart->trigger();
    // The first sample, 0, shows the title.
    ASSERT_TRUE(WaitFor([&] { return window->Chart1->Title().Visible(); }));
    EXPECT_EQ(Panel(1), "0 Hz");
    EXPECT_EQ(NewestSample(), 0);

    window->ActCaptureStop->trigger();
    EXPECT_FALSE(window->Chart1->Title().Visible()) << "Stop hides the title";
    EXPECT_EQ(Panel(1), "-");
}

TEST_F(CaptureWindowTest, FunctionKeysStartAndStop) {
    StartWith({{1, "sim:30"}});
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F9);
    ASSERT_TRUE(window->Acquiring);
    ASSERT_TRUE(WaitFor([&] { return Panel(1) != "0 Hz"; }));
    QTest::keyClick(window.get(), Qt::Key_F10);
    EXPECT_FALSE(window->Acquiring);
    EXPECT_EQ(Panel(2), "Acquisition arrêtée");
}

TEST_F(CaptureWindowTest, StartWithoutAnOpenPortShowsTheMessageAndStaysIdle) {
    StartWith({{2, "sim:40"}});
    EXPECT_EQ(Panel(0), "");
    EXPECT_FALSE(window->ActComSetComNum1->isEnabled());
    EXPECT_TRUE(window->ActComSetComNum2->isEnabled());
    const std::string activity = Panel(2);

    ui.ExpectMessage();
    window->ActCaptureStart->trigger();
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Port com sélectionné (Com 1) fermé !");
    EXPECT_FALSE(window->Acquiring);
    EXPECT_EQ(Panel(2), activity);
    EXPECT_FALSE(window->ActCaptureStop->isEnabled());
}

TEST_F(CaptureWindowTest, StoredPortTwoWithBothPortsStartsOnComTwo) {
    StartWith({{1, "sim:37"}, {2, "sim:38"}}, "ComNumber=2\n");
    EXPECT_EQ(Panel(0), "Com 2 - Ouvert");
    EXPECT_TRUE(window->ActComSetComNum2->isChecked());
    EXPECT_FALSE(window->ActComSetComNum1->isChecked());
    EXPECT_EQ(window->Acquisition().ComPort1().ComNumber(), 2);
}

TEST_F(CaptureWindowTest, StoredPortTwoWithComOneOnlyStartsOnComOne) {
    StartWith({{1, "sim:39"}}, "ComNumber=2\n");
    EXPECT_EQ(Panel(0), "Com 1 - Ouvert");
    EXPECT_TRUE(window->ActComSetComNum1->isChecked());
    EXPECT_EQ(window->Acquisition().ComPort1().ComNumber(), 1);
}

TEST_F(CaptureWindowTest, TheDeviceDialogPutsTheChosenSensorBehindThePortAndKeepsIt) {
    StartWith({{1, "sim:0"}});
    ASSERT_EQ(Panel(0), "Com 1 - Ouvert");
    test::TFakeDeviceTree machine;
    machine.Uart(0, 4);
    window->Acquisition().ComPort1().SetDeviceTree(machine.Tree());

    ui.ExpectChooseDevice([](TDeviceChoice& choice) -> std::optional<std::string> {
        const int sensor = static_cast<int>(choice.Entries().size()) - 1;
        EXPECT_EQ(choice.Current(), sensor);
        EXPECT_EQ(choice.Frequency(), "0");
        std::string error;
        return choice.Accept(sensor, "40-90", error);
    });
    window->ActComChooseDevice->trigger();
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].caption, "Périphérique du port Com 1");
    EXPECT_EQ(ui.Shown()[0].entries, (std::vector<std::string>{"/dev/ttyS0", "Capteur simulé"}));
    EXPECT_EQ(Panel(0), "Com 1 - Ouvert");
    EXPECT_EQ(window->Acquisition().ComPort1().DeviceName(), "sim:40-90");
    const std::string ini = folder.filePath(QStringLiteral("sornafex.ini")).toStdString();
    EXPECT_NE(test::ReadBytes(ini).find("Device1=sim:40-90\n"), std::string::npos);

    // "Annuler" changes nothing.
    ui.ExpectChooseDevice([](TDeviceChoice&) { return std::nullopt; });
    window->ActComChooseDevice->trigger();
    EXPECT_EQ(window->Acquisition().ComPort1().DeviceName(), "sim:40-90");
    EXPECT_TRUE(window->Acquisition().ComPort1().Open());

    // Not during a run, which reads the port.
    window->ActCaptureStart->trigger();
    EXPECT_FALSE(window->ActComChooseDevice->isEnabled());
}

TEST_F(CaptureWindowTest, PortMenuSwitchesAndMovesTheCheckMark) {
    StartWith({{1, "sim:35"}, {2, "sim:36"}});
    ASSERT_EQ(Panel(0), "Com 1 - Ouvert");
    window->ActComSetComNum2->trigger();
    EXPECT_EQ(Panel(0), "Com 2 - Ouvert");
    EXPECT_EQ(Panel(2), "");
    EXPECT_TRUE(window->ActComSetComNum2->isChecked());
    EXPECT_FALSE(window->ActComSetComNum1->isChecked());
    EXPECT_EQ(window->PortNumberPreference(), 2);
    EXPECT_EQ(window->Acquisition().ComPort1().ComNumber(), 2);
}

// A run with a marker: on the chart and in the status bar, then in the run's journal, which a
// CSV reader reads and the program opens back into the history.
TEST_F(CaptureWindowTest, ARunWithAMarkerKeepsEverySampleInItsJournal) {
    StartWith({{1, "sim:61.5"}});
    EXPECT_FALSE(window->ActCaptureMark->isEnabled());
    window->ActCaptureStart->trigger();
    EXPECT_TRUE(window->ActCaptureMark->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return Panel(1) != "0 Hz"; }));
    window->ActCaptureMark->trigger();
    EXPECT_EQ(Panel(2), "Repère 1");
    EXPECT_EQ(window->Graph().Markers(), (std::vector<chart::TChartMarker>{{256, 1}}));
    const double before = window->Graph().Series().YValues().Value(255);
    ASSERT_TRUE(WaitFor([&] { return window->Graph().Markers().front().x == 254; }));
    window->ActCaptureStop->trigger();
    EXPECT_FALSE(window->ActCaptureMark->isEnabled());

    const QStringList journals = QDir(QString::fromStdString(journalFolder))
                                     .entryList({QStringLiteral("*.csv")}, QDir::Files);
    ASSERT_EQ(journals.size(), 1);
    const std::string path = journalFolder + "/" + journals[0].toStdString();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_GE(rows.size(), 4); // header, two samples and the marker at least, then the last end
    EXPECT_EQ(rows[0], QStringLiteral("horodatage,secondes,port,frequence_hz,repere,evenement"));
    int markerRow = 0;
    for (int i = 1; i + 1 < rows.size(); ++i) {
        const QStringList fields = rows[i].split(QLatin1Char(','));
        ASSERT_EQ(fields.size(), 6) << rows[i].toStdString();
        EXPECT_EQ(fields[2], QStringLiteral("COM1"));
        if (fields[4] == QStringLiteral("1"))
            markerRow = i;
    }
    ASSERT_GT(markerRow, 1);
    EXPECT_EQ(rows[markerRow - 1].split(QLatin1Char(','))[3].toDouble(), before);
    EXPECT_EQ(rows.back(), QString());

    // Opened back, the journal fills the history as the run left it, marker included.
    const std::vector<double> history = window->Graph().Values();
    const auto markers = window->Graph().Markers();
    ui.ExpectConfirm(TConfirmResult::No);
    ui.ExpectOpen(path);
    window->ActOpen->trigger();
    EXPECT_EQ(window->Graph().Values(), history);
    EXPECT_EQ(window->Graph().Markers(), markers);
    EXPECT_EQ(window->Document().FileName(), path);
}

TEST_F(CaptureWindowTest, AJournalThatCannotBeWrittenDoesNotStopTheRun) {
    QFile blocker(folder.filePath(QStringLiteral("un fichier")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    journalFolder = blocker.fileName().toStdString() + "/journaux";
    StartWith({{1, "sim:62.5"}});
    window->ActCaptureStart->trigger();
    ASSERT_TRUE(
        WaitFor([&] { return Panel(2) == "Journal impossible : Nom de fichier incorrect"; }));
    // The run goes on: more samples arrive, and the message is not repeated over a marker.
    window->ActCaptureMark->trigger();
    EXPECT_EQ(Panel(2), "Repère 1");
    ASSERT_TRUE(WaitFor([&] { return window->Graph().Markers().front().x == 254; }));
    EXPECT_EQ(Panel(2), "Repère 1");
    window->ActCaptureStop->trigger();
}

// The sensor's adapter, by a link as udev makes them, pulled out during a run and plugged in
// again: the status bar says so, and so does the run's journal.
TEST_F(CaptureWindowTest, APortLostAndReopenedDuringARunIsInItsJournal) {
    test::TScratchFolder devices;
    const std::string link = devices / "sensor";
    test::TPty first;
    ASSERT_TRUE(first.Ok());
    std::filesystem::create_symlink(first.Slave(), link);
    StartWith({{1, link}});
    ASSERT_EQ(Panel(0), "Com 1 - Ouvert");
    window->Acquisition().ComPort1().SetReopenPeriod(std::chrono::milliseconds(20));
    window->ActCaptureStart->trigger();

    std::filesystem::remove(link);
    first.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return Panel(0) == "Com 1 - Fermé"; }));
    EXPECT_EQ(window->Panel(0)->toolTip().toStdString(),
              "Com 1 : " + link + "\ndébranché ou perdu");
    test::TPty second;
    ASSERT_TRUE(second.Ok());
    std::filesystem::create_symlink(second.Slave(), link);
    ASSERT_TRUE(WaitFor([&] { return Panel(0) == "Com 1 - Ouvert"; }));
    // The journal's file is made at the run's first sample.
    const QDir journals(QString::fromStdString(journalFolder));
    ASSERT_TRUE(WaitFor([&] { return !journals.entryList({QStringLiteral("*.csv")}).isEmpty(); }));
    window->ActCaptureStop->trigger();

    QFile file(journals.filePath(journals.entryList({QStringLiteral("*.csv")}).front()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::vector<std::string> events;
    for (const QString& row : QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n")))
        if (row.endsWith(QStringLiteral("port perdu")) ||
            row.endsWith(QStringLiteral("port rouvert")))
            events.push_back(row.section(QLatin1Char(','), 5).toStdString());
    EXPECT_EQ(events, (std::vector<std::string>{"port perdu", "port rouvert"}));
}

TEST_F(CaptureWindowTest, JournalFolderOpensInTheFileManager) {
    test::TViewerStandIn viewer;
    ASSERT_TRUE(viewer.Valid());
    StartWith({});
    window->ActJournalOpenFolder->trigger();
    const QStringList lines = viewer.WaitForRecord();
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("1"));
    EXPECT_EQ(lines[1].toStdString(), journalFolder);
    EXPECT_TRUE(QDir(lines[1]).exists()) << "made before it is shown";
}

} // namespace
} // namespace sornafex
