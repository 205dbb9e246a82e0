// The documents and preferences of the main window, through the real window: start-up, the
// document commands and the close, against files in a scratch folder.

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "base/ui_bridge.h"
#include "chart/axis.h"
#include "chart/chart_widget.h"
#include "chart/uGraph.h"
#include "recording/dat_format.h"
#include "recording/documents.h"
#include "serial/ComPort.h"
#include "serial/com_device.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"

#include <QAction>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace sornafex {
namespace {

using test::ReadBytes;
using test::TScratchFolder;
using test::WriteBytes;

class DocumentsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        window = std::make_unique<TfmMain>(ui, bridge);
        // The probe looks at every port; none of them may reach a real serial device.
        window->Acquisition().ComPort1().SetDeviceFactory([](const std::string& name) {
            if (name.rfind("/dev/", 0) == 0)
                return MakeSystemDevice("/nonexistent/sornafex-test/" + name.substr(5));
            return MakeSystemDevice(name);
        });
    }
    void TearDown() override { window.reset(); }

    void StartUp() { window->StartUp(folder / "sornafex"); }
    std::string Caption() const { return window->windowTitle().toStdString(); }

    TScratchFolder folder;
    const std::string ini = folder / "sornafex.ini";
    test::TScriptedUiServices ui;
    TQueuedUiBridge bridge;
    std::unique_ptr<TfmMain> window;
};

// No question list, and the measurement's own settings.
constexpr const char* kQuestionsAtClose = "[Questions]\nFile=\nLatencyMin=1\nLatencyMax=4\n"
                                          "PeakWindow=10\nWindow=15\nMinMicroSiemens=0.01\n"
                                          "MinPercent=0.2\n";

TEST_F(DocumentsWindowTest, FirstStartWritesOnlyTheTestKeyThenThePreferencesAtClose) {
    StartUp();
    EXPECT_EQ(ReadBytes(ini), "[Test]\nWriteToIniTest=1\n");
    EXPECT_TRUE(window->PreferencesWritable());
    EXPECT_EQ(Caption(), "Ruderuzoz id azaderuvi - []");
    EXPECT_EQ(window->OpenDialog1.initialDir, folder.Path() + "/");
    EXPECT_EQ(window->SaveDialog1.initialDir, folder.Path() + "/");
    EXPECT_TRUE(window->ActShowNoData->isChecked());
    EXPECT_EQ(window->Chart1->LeftAxis().Minimum(), -1);
    EXPECT_EQ(window->Chart1->LeftAxis().Maximum(), 400);

    EXPECT_TRUE(window->close());
    EXPECT_EQ(ReadBytes(ini),
              "[Test]\nWriteToIniTest=1\n[Com]\nComNumber=1\n"
              "[Graph]\nXMin=-1\nXMax=400\n[Misc]\nShowNoData=1\nFullSpeedPoll=0\n"
              "[Response]\nVisible=0\nSeconds=60\nSpanPercent=2\nSpanMicroSiemens=1\n"
              "[Son]\nActif=0\nVolume=50\n" +
                  std::string(kQuestionsAtClose));
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(DocumentsWindowTest, StoredPreferencesAreAppliedAndWrittenBackWithTheDeviceKeys) {
    const std::string before = "; essai\n[Com]\nDevice1=sim:0\nDevice2=sim:0\nComNumber=2\n"
                               "[graph]\nxmin=450\nXMAX=1000\n[Misc]\nShowNoData=0\n"
                               "FullSpeedPoll=1\n[Response]\nVisible=1\nSeconds=30\n"
                               "SpanPercent=5\nSpanMicroSiemens=0.5\n[Son]\nActif=0\n"
                               "Volume=30\n";
    WriteBytes(ini, before);
    StartUp();
    EXPECT_EQ(window->PanelText(0), "Com 2 - Ouvert");
    EXPECT_TRUE(window->ActComSetComNum2->isChecked());
    EXPECT_EQ(window->Chart1->LeftAxis().Minimum(), 450);
    EXPECT_EQ(window->Chart1->LeftAxis().Maximum(), 1000);
    EXPECT_EQ(window->Graph().VerticalMin(), 450);
    EXPECT_FALSE(window->ActShowNoData->isChecked());
    EXPECT_FALSE(window->Graph().ShowNoData());
    EXPECT_TRUE(window->Acquisition().FullSpeedPoll());

    EXPECT_TRUE(window->close());
    EXPECT_EQ(ReadBytes(ini), before + "[Test]\nWriteToIniTest=1\n" + kQuestionsAtClose);
}

TEST_F(DocumentsWindowTest, MinimumAboveMaximumStartsWithTheDefaultRange) {
    WriteBytes(ini, "[Graph]\nXMin=500\nXMax=100\n");
    StartUp();
    EXPECT_EQ(window->Chart1->LeftAxis().Minimum(), -1);
    EXPECT_EQ(window->Chart1->LeftAxis().Maximum(), 400);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(ReadBytes(ini),
              "[Graph]\nXMin=-1\nXMax=400\n[Test]\nWriteToIniTest=1\n"
              "[Com]\nComNumber=1\n[Misc]\nShowNoData=1\nFullSpeedPoll=0\n"
              "[Response]\nVisible=0\nSeconds=60\nSpanPercent=2\nSpanMicroSiemens=1\n"
              "[Son]\nActif=0\nVolume=50\n" +
                  std::string(kQuestionsAtClose));
}

TEST_F(DocumentsWindowTest, ReadOnlyPreferencesAreUsedButNeverWrittenAndNothingIsShown) {
    const std::string contents = "[Graph]\nXMin=3\nXMax=30\n";
    WriteBytes(ini, contents);
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    StartUp();
    EXPECT_FALSE(window->PreferencesWritable());
    EXPECT_EQ(window->Chart1->LeftAxis().Maximum(), 30);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(ReadBytes(ini), contents);
    EXPECT_TRUE(ui.Shown().empty());
}

// Sets an environment variable for as long as it lives.
struct TEnvironmentVariable {
    TEnvironmentVariable(const char* name, const std::string& value)
        : name(name), wasSet(qEnvironmentVariableIsSet(name)), old(qgetenv(name)) {
        qputenv(name, value.c_str());
    }
    ~TEnvironmentVariable() {
        if (wasSet)
            qputenv(name, old);
        else
            qunsetenv(name);
    }
    const char* name;
    bool wasSet;
    QByteArray old;
};

TEST_F(DocumentsWindowTest, AnInstalledProgramKeepsItsPreferencesInTheConfigFolder) {
    // An install's layout: the program in bin/, its readme in share/sornafex/.
    std::filesystem::create_directories(folder / "usr/bin");
    std::filesystem::create_directories(folder / "usr/share/sornafex");
    WriteBytes(folder / "usr/share/sornafex/A_Lire.txt", "");
    std::filesystem::create_directories(folder / "home");
    const TEnvironmentVariable home("HOME", folder / "home");
    const TEnvironmentVariable configHome("XDG_CONFIG_HOME", folder / "home/.config");
    const std::string configIni = folder / "home/.config/sornafex/sornafex.ini";

    window->StartUp(folder / "usr/bin/sornafex");
    EXPECT_EQ(ReadBytes(configIni), "[Test]\nWriteToIniTest=1\n");
    EXPECT_EQ(window->OpenDialog1.initialDir, folder / "home/");
    EXPECT_EQ(window->SaveDialog1.initialDir, folder / "home/");
    EXPECT_TRUE(window->close());
    EXPECT_NE(ReadBytes(configIni).find("[Com]\nComNumber=1\n"), std::string::npos);
    EXPECT_FALSE(test::Exists(folder / "usr/bin/sornafex.ini"));
}

TEST_F(DocumentsWindowTest, UnwritablePreferencesAtCloseShowTheErrorOnceAndCloseAnyway) {
    StartUp();
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    ui.ExpectError();
    EXPECT_TRUE(window->close());
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Impossible d'écrire dans " + ini + ".");
    EXPECT_EQ(ReadBytes(ini), "[Test]\nWriteToIniTest=1\n");
}

TEST_F(DocumentsWindowTest, CancelInTheCloseQuestionKeepsTheWindowAndTheFile) {
    StartUp();
    window->Graph().AddSample(5);
    EXPECT_TRUE(window->Document().Unsaved());
    ui.ExpectConfirm(TConfirmResult::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(ReadBytes(ini), "[Test]\nWriteToIniTest=1\n");
    EXPECT_EQ(window->Graph().Series().YValues().Value(255), 5);

    // "Oui" and then cancelling the save dialog keeps the window too.
    ui.ExpectConfirm(TConfirmResult::Yes);
    ui.ExpectSave(std::nullopt);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->Document().Unsaved());

    ui.ExpectConfirm(TConfirmResult::No);
    EXPECT_TRUE(window->close());
}

TEST_F(DocumentsWindowTest, OpenSaveAndSaveAsThroughTheCommands) {
    StartUp();
    const std::string recording = folder / "mesure 1.dat";
    WriteBytes(recording, "7\n-3\n\x1a"
                          "9\n");
    ui.ExpectOpen(recording);
    window->ActOpen->trigger();
    const chart::TChartValueList& values = window->Graph().Series().YValues();
    EXPECT_EQ(values.Value(254), 7);
    EXPECT_EQ(values.Value(255), -3);
    EXPECT_EQ(Caption(), "Ruderuzoz id azaderuvi - [mesure 1.dat]");
    EXPECT_EQ(window->PanelText(1), "-");
    EXPECT_FALSE(window->Document().Unsaved());

    window->Graph().AddSample(12);
    window->ActSave->trigger();
    std::string expected;
    for (int i = 0; i < 253; ++i)
        expected += "0\r\n";
    expected += "7\r\n-3\r\n12\r\n";
    EXPECT_EQ(ReadBytes(recording), expected);
    EXPECT_FALSE(window->Document().Unsaved());

    // Save as after an image export proposes "Nouveau", with the data filter.
    window->SaveDialog1.fileName = "Nouveau";
    window->SaveDialog1.filter = "Bitmap (*.bmp)|*.bmp";
    ui.ExpectSave(folder / "copie");
    window->ActSaveAs->trigger();
    EXPECT_EQ(ui.Shown().back().fileOptions.fileName, "Nouveau");
    EXPECT_EQ(ui.Shown().back().fileOptions.filter, "Données (*.dat)|*.dat");
    EXPECT_EQ(ReadBytes(folder / "copie.dat"), expected);
    EXPECT_EQ(Caption(), "Ruderuzoz id azaderuvi - [copie.dat]");
}

TEST_F(DocumentsWindowTest, FailedOpenShowsTheErrorAndKeepsTheHistory) {
    StartUp();
    window->Graph().AddSample(42);
    ui.ExpectConfirm(TConfirmResult::No);
    ui.ExpectOpen(folder / "absent.dat");
    ui.ExpectError();
    window->ActOpen->trigger();
    EXPECT_EQ(ui.Shown().back().text, "Fichier introuvable.");
    EXPECT_EQ(window->Graph().Series().YValues().Value(255), 42);
    EXPECT_EQ(Caption(), "Ruderuzoz id azaderuvi - []");
    EXPECT_TRUE(window->Document().Unsaved());
}

} // namespace
} // namespace sornafex
