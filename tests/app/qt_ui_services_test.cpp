// The real dialogs offscreen: each test answers the dialog from inside its own event loop, the way
// a user would, and looks at what the user would have seen.

#include "acquisition/port_device_choice.h"
#include "analysis/calibration_editor.h"
#include "app/frmCalibration.h"
#include "app/frmDevice.h"
#include "app/qt_ui_services.h"
#include "tests/serial/fake_device_tree.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_files.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace sornafex {
namespace {

// Runs answer on the modal dialog that the next call opens.
template <typename Dialog> void AnswerNextDialog(std::function<void(Dialog&)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no dialog of the expected kind is open";
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        answer(*dialog);
    });
}

// The box's buttons as the user reads them, left to right.
std::vector<std::string> ButtonTexts(const QMessageBox& box) {
    QList<QAbstractButton*> buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(),
              [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
    std::vector<std::string> texts;
    for (QAbstractButton* button : buttons)
        texts.push_back(button->text().toStdString());
    return texts;
}

QAbstractButton* ButtonNamed(const QMessageBox& box, const char* text) {
    for (QAbstractButton* button : box.buttons())
        if (button->text() == QString::fromUtf8(text))
            return button;
    return nullptr;
}

class QtUiServicesTest : public testing::Test {
protected:
    void SetUp() override { test::EnsureQtApp(); }
    TQtUiServices ui{"Sornafex"};
};

struct TConfirmCase {
    const char* name;
    std::function<void(QMessageBox&)> act;
    TConfirmResult expected;
};

TEST_F(QtUiServicesTest, ConfirmShowsOuiNonAnnulerWithOuiAsDefault) {
    const TConfirmCase cases[] = {
        {"Oui", [](QMessageBox& box) { ButtonNamed(box, "&Oui")->click(); }, TConfirmResult::Yes},
        {"Non", [](QMessageBox& box) { ButtonNamed(box, "&Non")->click(); }, TConfirmResult::No},
        {"Annuler", [](QMessageBox& box) { ButtonNamed(box, "Annuler")->click(); },
         TConfirmResult::Cancel},
        {"Escape",
         [](QMessageBox& box) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&box, &escape);
         },
         TConfirmResult::Cancel},
        {"close box", [](QMessageBox& box) { box.close(); }, TConfirmResult::Cancel},
    };
    for (const TConfirmCase& c : cases) {
        SCOPED_TRACE(c.name);
        AnswerNextDialog<QMessageBox>([&c](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle().toStdString(), "Confirmation");
            EXPECT_EQ(box.icon(), QMessageBox::Question);
            EXPECT_EQ(box.text().toStdString(),
                      "Données actuelles non sauvegardées. \nLes sauver maintenant ?");
            EXPECT_EQ(ButtonTexts(box), (std::vector<std::string>{"&Oui", "&Non", "Annuler"}));
            EXPECT_EQ(box.defaultButton(), ButtonNamed(box, "&Oui"));
            c.act(box);
            if (box.isVisible())
                box.done(0);
        });
        EXPECT_EQ(ui.Confirm("Données actuelles non sauvegardées. \rLes sauver maintenant ?"),
                  c.expected);
    }
}

TEST_F(QtUiServicesTest, DeviceDialogSaysWhatIsWrongStaysOpenAndKeepsAGoodChoice) {
    test::TFakeDeviceTree machine;
    machine.Uart(0, 4);
    TPortDeviceChoice choice(1, "sim:0", machine.Tree());
    const auto selected = [](const TfmDevice& dialog) {
        return dialog.List()->currentItem()->text(0).toStdString();
    };
    AnswerNextDialog<TfmDevice>([&](TfmDevice& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Périphérique du port Com 1");
        EXPECT_EQ(dialog.List()->topLevelItemCount(), 4);
        EXPECT_EQ(selected(dialog), "Capteur simulé");
        EXPECT_EQ(dialog.FrequencyEdit()->text().toStdString(), "0");
        EXPECT_TRUE(dialog.FrequencyEdit()->isEnabled());

        // Plugged in while the dialog is open: "Actualiser" shows it, the choice stays.
        machine.UsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI", "usb-FTDI-port0");
        dialog.RefreshButton()->click();
        EXPECT_EQ(dialog.List()->topLevelItemCount(), 5);
        EXPECT_EQ(selected(dialog), "Capteur simulé");

        dialog.FrequencyEdit()->setText(QStringLiteral("quarante"));
        AnswerNextDialog<QMessageBox>([&dialog](QMessageBox& box) {
            // The program's caption, over the dialog rather than over the window behind it.
            EXPECT_EQ(box.windowTitle().toStdString(), "Ruderuzoz id azaderuvi");
            EXPECT_EQ(box.parentWidget(), &dialog);
            EXPECT_EQ(box.text().toStdString(),
                      "Fréquence incorrecte : tapez F ou F1-F2, par exemple 50 ou 40-90");
            box.buttons().front()->click();
        });
        dialog.OkButton()->click();
        EXPECT_TRUE(dialog.isVisible());

        dialog.FrequencyEdit()->setText(QStringLiteral("40-90"));
        dialog.OkButton()->click();
    });
    EXPECT_EQ(ui.ChooseDevice(choice), "sim:40-90");

    AnswerNextDialog<TfmDevice>([](TfmDevice& dialog) { dialog.CancelButton()->click(); });
    EXPECT_EQ(ui.ChooseDevice(choice), std::nullopt);
}

TEST_F(QtUiServicesTest, CalibrationDialogMeasuresEachPointAndKeepsOnlyACalibration) {
    std::vector<double> frequencies{10, 10, 100};
    TCalibrationEditor editor("Com 1", "sim:50", "", [&] {
        const double hertz = frequencies.front();
        frequencies.erase(frequencies.begin());
        return hertz;
    });
    const auto measure = [](TfmCalibration& dialog, const char* kiloohms) {
        dialog.ResistanceEdit()->setText(QString::fromUtf8(kiloohms));
        dialog.MeasureButton()->click();
    };
    AnswerNextDialog<TfmCalibration>([&](TfmCalibration& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "Étalonnage de Com 1 (sim:50)");
        measure(dialog, "1000");
        measure(dialog, "abc"); // no point, no measurement
        measure(dialog, "500");
        ASSERT_EQ(dialog.Table()->rowCount(), 2);
        // The same frequency for two resistances is no calibration: said, and the dialog stays.
        AnswerNextDialog<QMessageBox>([](QMessageBox& box) {
            EXPECT_NE(box.text().toStdString().find("Étalonnage impossible"), std::string::npos);
            box.buttons().front()->click();
        });
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        dialog.Table()->selectRow(1);
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Supprimer le point"))
                button->click();
        measure(dialog, "100");
        ASSERT_EQ(dialog.Table()->rowCount(), 2);
        EXPECT_EQ(dialog.Table()->item(1, 0)->text().toStdString(), "100");
        EXPECT_EQ(dialog.Table()->item(1, 2)->text().toStdString(), "0");
        dialog.accept();
    });
    ASSERT_TRUE(ui.EditInDialog(editor));
    EXPECT_EQ(editor.Accepted(), "1000@10;100@100");
}

TEST_F(QtUiServicesTest, MessageAndErrorBoxesHaveOneOkButtonAndTheApplicationTitle) {
    AnswerNextDialog<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle().toStdString(), "Sornafex");
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_EQ(ButtonTexts(box), std::vector<std::string>{"OK"});
        box.buttons().front()->click();
    });
    ui.ShowMessage("Port com sélectionné (Com 2) fermé !");

    AnswerNextDialog<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle().toStdString(), "Sornafex");
        EXPECT_EQ(box.icon(), QMessageBox::Critical);
        EXPECT_EQ(box.text().toStdString(), "Fichier introuvable.");
        EXPECT_EQ(ButtonTexts(box), std::vector<std::string>{"OK"});
        box.buttons().front()->click();
    });
    ui.ShowError("Fichier introuvable.");
}

// The program's own dialogs belong to its window: the boxes over them carry the window's title,
// and the boxes elsewhere the application's.
TEST_F(QtUiServicesTest, BoxesOverTheProgramsOwnDialogsCarryTheWindowsTitle) {
    const struct {
        const char* name;
        std::function<void(TQtUiServices&)> show;
    } rows[] = {
        {"message",
         [](TQtUiServices& ui) {
             ui.ShowMessage("Hors limites");
         }},
        {"error",
         [](TQtUiServices& ui) {
             ui.ShowError("Fichier introuvable.");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> captions;
        const auto answerBox = [&captions] {
            AnswerNextDialog<QMessageBox>([&captions](QMessageBox& box) {
                captions.push_back(box.windowTitle().toStdString());
                box.buttons().front()->click();
            });
        };
        TCalibrationEditor editor("Com 1", "sim:50", "", [] { return 50.0; });
        AnswerNextDialog<TfmCalibration>([&](TfmCalibration& dialog) {
            answerBox();
            row.show(ui);
            dialog.reject();
        });
        ui.EditInDialog(editor);
        answerBox();
        row.show(ui);
        EXPECT_EQ(captions, (std::vector<std::string>{"Ruderuzoz id azaderuvi", "Sornafex"}));
    }
}

TEST_F(QtUiServicesTest, OpenDialogAcceptsANameThatLeadsNowhereAndAddsTheExtension) {
    test::TScratchFolder folder;
    TFileDialogOptions options;
    options.filter = "Données (*.dat)|*.dat";
    options.defaultExt = "dat";
    options.initialDir = folder.Path() + "/";
    AnswerNextDialog<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("Données (*.dat)")});
        EXPECT_EQ(dialog.directory().absolutePath().toStdString(), folder.Path());
        // Another file mode would stop here with a box of its own about the missing file.
        if (dialog.fileMode() != QFileDialog::AnyFile) {
            ADD_FAILURE() << "the open dialog insists on an existing file";
            dialog.reject();
            return;
        }
        dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("absent"));
        // What the accept button does.
        static_cast<QDialog&>(dialog).accept();
    });
    EXPECT_EQ(ui.OpenFileDialog(options), folder / "absent.dat");
}

TEST_F(QtUiServicesTest, SaveDialogProposesTheNameAndAsksBeforeOverwriting) {
    test::TScratchFolder folder;
    TFileDialogOptions options;
    options.filter = "Bitmap (*.bmp)|*.bmp";
    options.defaultExt = "bmp";
    options.initialDir = folder.Path() + "/";
    options.fileName = "Nouveau";
    options.overwritePrompt = true;
    AnswerNextDialog<QFileDialog>([](QFileDialog& dialog) {
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog.defaultSuffix().toStdString(), "bmp");
        EXPECT_EQ(
            dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text().toStdString(),
            "Nouveau");
        dialog.reject();
    });
    EXPECT_EQ(ui.SaveFileDialog(options), std::nullopt);
}

} // namespace
} // namespace sornafex
