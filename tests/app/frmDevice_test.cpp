// The device dialog offscreen, answered through the scripted services: which field each entry
// takes, the profile's file chooser, its size, and where it opens.

#include "acquisition/port_device_choice.h"
#include "app/frmDevice.h"
#include "tests/serial/fake_device_tree.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace sornafex {
namespace {

class DeviceDialogTest : public testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        machine.Uart(0, 4);
        machine.File("/p.txt", "0 50\n");
        machine.File("/bad.txt", "0 50\n0 40\n");
    }
    static void Select(TfmDevice& dialog, const std::string& name) {
        const auto found = dialog.List()->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        dialog.List()->setCurrentItem(found.front());
    }

    test::TFakeDeviceTree machine;
    const std::string root = machine.Root();
    const std::string uart = test::TFakeDeviceTree::UartNode(0);
    test::TScriptedUiServices ui;
};

TEST_F(DeviceDialogTest, EachEntryTakesTheTextOfItsOwnField) {
    const struct {
        std::string entry;
        QLineEdit* (TfmDevice::*field)() const;
        std::string text;
        std::string value;
    } rows[] = {
        {uart, nullptr, "", uart},
        {"Autre périphérique", &TfmDevice::PathEdit, uart, uart},
        {"Capteur simulé", &TfmDevice::FrequencyEdit, "50,5", "sim:50.5"},
        {"Profil de fréquence", &TfmDevice::ProfileEdit, root + "/p.txt",
         "sim:file:" + root + "/p.txt"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.entry);
        TPortDeviceChoice choice(1, "sim:40", machine.Tree());
        TfmDevice dialog(choice, ui);
        dialog.show();
        Select(dialog, row.entry);
        for (QLineEdit* field : {dialog.PathEdit(), dialog.FrequencyEdit(), dialog.ProfileEdit()})
            EXPECT_EQ(field->isEnabled(), row.field && field == (dialog.*row.field)());
        EXPECT_EQ(dialog.BrowseButton()->isEnabled(), row.field == &TfmDevice::ProfileEdit);
        if (row.field)
            (dialog.*row.field)()->setText(QString::fromStdString(row.text));
        dialog.OkButton()->click();
        EXPECT_EQ(dialog.Value(), row.value);
    }
}

TEST_F(DeviceDialogTest, AProfileIsChosenThroughTheFileDialogAndCheckedBeforeItIsKept) {
    TPortDeviceChoice choice(1, "sim:file:" + root + "/bad.txt", machine.Tree());
    TfmDevice dialog(choice, ui);
    dialog.show();
    // The current mapping, in full, and a dialog no larger than that.
    EXPECT_EQ(dialog.List()->currentItem()->text(0).toStdString(), "Profil de fréquence");
    EXPECT_EQ(dialog.ProfileEdit()->text().toStdString(), root + "/bad.txt");
    EXPECT_EQ(dialog.size(), dialog.sizeHint());
    EXPECT_EQ(dialog.List()->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(dialog.List()->verticalScrollBar()->maximum(), 0);

    ui.ExpectMessage();
    dialog.OkButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(ui.Shown().back().text,
              "Profil " + root + "/bad.txt, ligne 2 : les secondes doivent croître");

    ui.ExpectOpen(root + "/p.txt");
    dialog.BrowseButton()->click();
    EXPECT_EQ(ui.Shown().back().fileOptions.filter,
              "Profils (*.txt)|*.txt|Tous les fichiers (*)|*");
    EXPECT_EQ(ui.Shown().back().fileOptions.initialDir, root + "/");
    EXPECT_EQ(ui.Shown().back().fileOptions.fileName, "bad.txt");
    dialog.OkButton()->click();
    EXPECT_EQ(dialog.Value(), "sim:file:" + root + "/p.txt");
}

TEST(DevicePlacement, BesideTheWindowWhenThereIsRoomElseOffItsChart) {
    const QRect wide(0, 0, 1280, 800);
    const QRect small(0, 0, 800, 600);
    const QRect centred(143, 132, 514, 335);
    const struct {
        QRect screen;
        QRect owner;
        QSize size;
        QPoint expected;
    } rows[] = {
        {wide, QRect(100, 100, 514, 335), QSize(450, 300), QPoint(614, 100)},
        // No room on the right: the left.
        {wide, QRect(700, 100, 514, 335), QSize(450, 300), QPoint(250, 100)},
        // Level with the window as far as the screen goes.
        {wide, QRect(100, 450, 514, 335), QSize(450, 500), QPoint(614, 300)},
        // No side has room: above, over the menu and the toolbar rather than the chart.
        {small, centred, QSize(450, 300), QPoint(143, 0)},
    };
    for (const auto& row : rows) {
        const QRect chart = row.owner.adjusted(0, 60, 0, -35);
        EXPECT_EQ(PlaceBeside(row.size, row.owner, chart, row.screen), row.expected)
            << row.owner.x() << "," << row.owner.y();
    }
    // A window too large for every side takes what the roomiest side holds, down to a least.
    const QRect hd(0, 0, 1920, 1080);
    const QRect mid(710, 370, 500, 340);
    const struct {
        QRect screen, owner;
        QSize size, expected;
    } fits[] = {
        {hd, mid, QSize(700, 600), QSize(700, 600)},
        {hd, mid, QSize(800, 600), QSize(710, 600)},
        // No side holds the least: the size stays, and the placement covers what it must.
        {QRect(0, 0, 1280, 1024), QRect(390, 342, 500, 340), QSize(800, 600), QSize(800, 600)},
    };
    for (const auto& row : fits)
        EXPECT_EQ(FitBeside(row.size, QSize(520, 420), row.owner, row.screen), row.expected)
            << row.size.width();
}

} // namespace
} // namespace sornafex
