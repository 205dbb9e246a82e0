#include "app/frmMain.h"
#include "app/translations.h"
#include "base/errors.h"
#include "base/ui_bridge.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/viewer_stand_in.h"

#include <QAction>
#include <QActionGroup>
#include <QAudioDevice>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace sornafex {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        window = std::make_unique<TfmMain>(ui, bridge);
    }

    QAction* Action(const char* name) const {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }

    // Menu entries as "caption" or "-" for a separator.
    std::vector<std::string> MenuEntries(int index) const {
        std::vector<std::string> entries;
        const QList<QAction*> menus = window->menuBar()->actions();
        for (QAction* entry : menus.at(index)->menu()->actions())
            entries.push_back(entry->isSeparator() ? "-" : entry->text().toStdString());
        return entries;
    }

    test::TScriptedUiServices ui;
    TQueuedUiBridge bridge;
    std::unique_ptr<TfmMain> window;
};

TEST_F(MainWindowTest, CommandsHaveTheirCaptionsHintsShortcutsAndImages) {
    struct Row {
        const char* name;
        const char* caption;
        const char* hint;
        const char* shortcut;
        int image;
    } const rows[] = {
        {"ActNew", "Nouveau", "Nouveau", "Ctrl+N", 0},
        {"ActOpen", "Ouvrir...", "Ouvrir...", "Ctrl+O", 1},
        {"ActSave", "Sauver", "Sauver", "Ctrl+S", 2},
        {"ActSaveAs", "Sauver sous...", "Sauver sous...", "", -1},
        {"ActCaptureStart", "D\xC3\xA9marrer", "", "F9", 9},
        {"ActCaptureStop", "Arr\xC3\xAAter", "Arr\xC3\xAAter", "F10", 10},
        {"ActAppClose", "Quitter", "Quitter", "Ctrl+X", 11},
        {"ActGraphExportBitmap", "Exporter Bitmap (*.bmp)", "Exporter Bitmap (*.bmp)", "", -1},
        {"ActGraphExportMetafile", "Exporter M\xC3\xA9tafichier (*.wmf)",
         "Exporter M\xC3\xA9tafichier (*.wmf)", "", -1},
        {"ActGraphCopyToClipboardBitmap", "Copier (Bitmap)", "Copier au format Bitmap", "Ctrl+C",
         5},
        {"ActGraphCopyToClipboardMetafile", "Copier (Metafile)", "Copier au format Metafile", "",
         5},
        {"ActGraphPrint", "Imprimer", "Imprimer", "Ctrl+P", 3},
        {"ActAppAbout", "A propos...", "A propos...", "", -1},
        {"ActAppHelpIndex", "Index de l'aide", "Index de l'aide", "F1", -1},
        {"ActComSetComNum1", "Com 1", "Com 1", "", -1},
        {"ActComSetComNum2", "Com 2", "Com 2", "", -1},
        {"ActComChooseDevice", "Choisir le p\xC3\xA9riph\xC3\xA9rique...",
         "Choisir le p\xC3\xA9riph\xC3\xA9rique...", "", -1},
        {"ActGraphSetXMin",
         "Min \xC3\xA9"
         "chelle verticale...",
         "", "", -1},
        {"ActGraphSetXMax",
         "Max \xC3\xA9"
         "chelle verticale...",
         "", "", -1},
        {"ActGraphSetXAuto", "Echelle verticale optimum", "Echelle verticale optimum", "", -1},
        {"ActGraphSetXDefault",
         "Echelle verticale par d\xC3\xA9"
         "faut",
         "Echelle verticale par d\xC3\xA9"
         "faut",
         "", -1},
        {"ActShowNoData",
         "Afficher avertissement si aucune donn\xC3\xA9"
         "e re\xC3\xA7ue",
         "", "", -1},
        {"ActAppReadme", "Lisez-moi", "Lisez-moi", "", -1},
        {"ActCaptureMark", "Marquer", "Marquer un rep\xC3\xA8re libre", "F8", 12},
        {"ActGraphExportPng", "Exporter PNG (*.png)", "Exporter PNG (*.png)", "", -1},
        {"ActGraphExportSvg", "Exporter SVG (*.svg)", "Exporter SVG (*.svg)", "", -1},
        {"ActJournalOpenFolder", "Ouvrir le dossier des journaux", "Ouvrir le dossier des journaux",
         "", -1},
        {"ActGraphResponse", "Fen\xC3\xAAtre de r\xC3\xA9ponse", "Fen\xC3\xAAtre de r\xC3\xA9ponse",
         "", -1},
        {"ActComCalibrate", "\xC3\x89talonner...", "\xC3\x89talonner...", "", -1},
        {"ActReviewSession",
         "Revoir une s\xC3\xA9"
         "ance...",
         "Revoir une s\xC3\xA9"
         "ance...",
         "Ctrl+R", -1},
        {"ActGraphSound", "Son", "Son", "", -1},
        {"ActGraphSoundVolume", "Volume du son...", "Volume du son...", "", -1},
        {"ActFileReport", "Rapport...", "Rapport...", "", -1},
        {"ActExamAsk", "Poser la question", "Poser la question suivante", "F5", -1},
        {"ActExamAnswerYes", "R\xC3\xA9ponse oui", "R\xC3\xA9ponse oui", "F6", -1},
        {"ActExamAnswerNo", "R\xC3\xA9ponse non", "R\xC3\xA9ponse non", "F7", -1},
        {"ActExamUndo", "Annuler la derni\xC3\xA8re marque",
         "Annuler la derni\xC3\xA8re marque (moins de 10 s)", "Ctrl+Z", -1},
        {"ActExamRestartList", "Recommencer la liste", "Recommencer la liste", "", -1},
        {"ActExamQuestions", "Questions...", "Questions...", "", -1},
    };
    int count = 0;
    for (QAction* action : window->actions())
        count += action->objectName().startsWith(QStringLiteral("Act")) ? 1 : 0;
    EXPECT_EQ(count, 39);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QAction* action = Action(row.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text().toStdString(), row.caption);
        EXPECT_EQ(action->property("hint").toString().toStdString(), row.hint);
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText).toStdString(),
                  row.shortcut);
        const QVariant image = action->property("imageIndex");
        EXPECT_EQ(image.isValid() ? image.toInt() : -1, row.image);
        EXPECT_EQ(action->icon().isNull(), row.image < 0);
    }
}

TEST_F(MainWindowTest, MenusInOrderWithTheirSeparators) {
    using Entries = std::vector<std::string>;
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 6);
    const char* titles[] = {"Fichier", "Edition", "Acquisition", "Port", "Graphe", "Aide"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(menus[i]->text().toStdString(), titles[i]);
    EXPECT_EQ(MenuEntries(0),
              (Entries{"Nouveau", "Ouvrir...",
                       "Revoir une s\xC3\xA9"
                       "ance...",
                       "Sauver", "Sauver sous...", "-", "Exporter Bitmap (*.bmp)",
                       "Exporter M\xC3\xA9tafichier (*.wmf)", "Exporter PNG (*.png)",
                       "Exporter SVG (*.svg)", "-", "Imprimer", "Rapport...", "-", "Quitter"}));
    EXPECT_EQ(MenuEntries(1), (Entries{"Copier (Bitmap)", "Copier (Metafile)"}));
    EXPECT_EQ(MenuEntries(2), (Entries{"D\xC3\xA9marrer", "Arr\xC3\xAAter", "Marquer", "-",
                                       "Poser la question", "R\xC3\xA9ponse oui",
                                       "R\xC3\xA9ponse non", "Annuler la derni\xC3\xA8re marque",
                                       "Recommencer la liste", "-", "Questions...", "-",
                                       "Afficher avertissement si aucune donn\xC3\xA9"
                                       "e re\xC3\xA7ue",
                                       "-", "Ouvrir le dossier des journaux"}));
    EXPECT_EQ(MenuEntries(3),
              (Entries{"Com 1", "Com 2", "-", "Choisir le p\xC3\xA9riph\xC3\xA9rique...",
                       "\xC3\x89talonner..."}));
    EXPECT_EQ(MenuEntries(4),
              (Entries{"Min \xC3\xA9"
                       "chelle verticale...",
                       "Max \xC3\xA9"
                       "chelle verticale...",
                       "Echelle verticale par d\xC3\xA9"
                       "faut",
                       "Echelle verticale optimum", "-", "Fen\xC3\xAAtre de r\xC3\xA9ponse", "Son",
                       "Volume du son..."}));
    EXPECT_EQ(MenuEntries(5), (Entries{"Index de l'aide", "-", "Lisez-moi", "-", "A propos..."}));
}

TEST_F(MainWindowTest, PortEntriesAreAnExclusivePairWithComOneChecked) {
    QAction* com1 = Action("ActComSetComNum1");
    QAction* com2 = Action("ActComSetComNum2");
    ASSERT_NE(com1->actionGroup(), nullptr);
    EXPECT_EQ(com1->actionGroup(), com2->actionGroup());
    EXPECT_TRUE(com1->actionGroup()->isExclusive());
    EXPECT_TRUE(com1->isChecked());
    EXPECT_FALSE(com2->isChecked());
    com2->setChecked(true);
    EXPECT_FALSE(com1->isChecked());
}

TEST_F(MainWindowTest, ToolBarButtonsAndSeparators) {
    std::vector<std::string> layout;
    for (QAction* item : window->ToolBar1->actions()) {
        if (item->isSeparator()) {
            layout.push_back("-");
            continue;
        }
        auto* button = qobject_cast<QToolButton*>(window->ToolBar1->widgetForAction(item));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->size(), QSize(52, 37));
        EXPECT_TRUE(button->autoRaise());
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_EQ(button->text(), button->defaultAction()->text());
        layout.push_back(button->defaultAction()->text().toStdString());
    }
    EXPECT_EQ(layout, (std::vector<std::string>{"Nouveau", "Ouvrir...", "Sauver", "-", "Imprimer",
                                                "-", "D\xC3\xA9marrer", "Arr\xC3\xAAter", "Marquer",
                                                "-", "Quitter"}));
    EXPECT_EQ(window->ToolBar1->height(), 41);
}

TEST_F(MainWindowTest, ToolBarTooltipsAreTheHintsAndNoneWithoutAHint) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const auto tipOf = [&](QAction* action) {
        QToolTip::hideText();
        QCoreApplication::processEvents();
        auto* button = window->ToolBar1->findChild<QToolButton*>(QStringLiteral("ToolButton_") +
                                                                 action->objectName());
        EXPECT_NE(button, nullptr);
        if (button == nullptr)
            return std::string("no button");
        const QPoint centre = button->rect().center();
        QHelpEvent event(QEvent::ToolTip, centre, button->mapToGlobal(centre));
        QCoreApplication::sendEvent(button, &event);
        return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
    };
    // "Démarrer" has no hint: no tooltip at all, not its caption.
    EXPECT_EQ(tipOf(window->ActCaptureStart), "");
    EXPECT_EQ(tipOf(window->ActCaptureStop), "Arr\xC3\xAAter");
    EXPECT_EQ(tipOf(window->ActNew), "Nouveau");
}

TEST_F(MainWindowTest, SoundIsOfferedOnlyWithAnAudioOutputAndSaysWhyNot) {
    const bool output = !QMediaDevices::audioOutputs().isEmpty();
    EXPECT_EQ(window->ActGraphSound->isEnabled(), output);
    EXPECT_EQ(window->ActGraphSoundVolume->isEnabled(), output);
    if (!output) {
        EXPECT_EQ(window->ActGraphSound->toolTip().toStdString(), "aucune sortie audio");
    }
    EXPECT_FALSE(window->ActGraphSound->isChecked()) << "off on a first start";
}

TEST_F(MainWindowTest, HelpIndexStaysDisabledAndF1DoesNothing) {
    QAction* help = Action("ActAppHelpIndex");
    EXPECT_FALSE(help->isEnabled());
    help->setEnabled(true); // a refresh of the command states
    EXPECT_FALSE(help->isEnabled());
    int triggered = 0;
    QObject::connect(help, &QAction::triggered, window.get(), [&] { ++triggered; });
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(triggered, 0);
    EXPECT_TRUE(ui.Shown().empty());
}

// The toolkit offers a menu to hide the toolbar on a right click anywhere on the window's bars;
// the program has no such menu.
TEST_F(MainWindowTest, RightClickOnTheWindowOpensNoMenu) {
    window->show();
    for (QWidget* target :
         {static_cast<QWidget*>(window->menuBar()), static_cast<QWidget*>(window->ToolBar1),
          window->centralWidget(), static_cast<QWidget*>(window->statusBar())}) {
        QString opened;
        // A menu that opens runs its own loop: this closes it from there.
        QTimer::singleShot(0, window.get(), [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                const auto* menu = qobject_cast<QMenu*>(popup);
                opened = menu && !menu->actions().isEmpty() ? menu->actions().front()->text()
                                                            : QStringLiteral("?");
                popup->close();
            }
        });
        const QPoint at(5, 5);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
        QCoreApplication::processEvents();
        EXPECT_EQ(opened.toStdString(), "") << target->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, StatusBarPanels) {
    window->show();
    EXPECT_EQ(window->statusBar()->height(), 19);
    EXPECT_EQ(window->Panel(0)->width(), 100);
    EXPECT_EQ(window->Panel(1)->width(), 70);
    // The last panel reaches the right edge of the window.
    const QLabel* last = window->Panel(2);
    const int lastRight = last->mapTo(window.get(), QPoint(last->width(), 0)).x();
    EXPECT_GE(lastRight, window->width() - 4);
    window->SetPanelText(2, "Acquisition arr\xC3\xAAt\xC3\xA9"
                            "e");
    EXPECT_EQ(window->PanelText(2), "Acquisition arr\xC3\xAAt\xC3\xA9"
                                    "e");
}

TEST_F(MainWindowTest, CaptionFollowsTheFileNamePart) {
    EXPECT_EQ(window->windowTitle().toStdString(), "Ruderuzoz id azaderuvi");
    window->UpdateCaption("");
    EXPECT_EQ(window->windowTitle().toStdString(), "Ruderuzoz id azaderuvi - []");
    window->UpdateCaption("/home/a b/mesure 1.dat");
    EXPECT_EQ(window->windowTitle().toStdString(), "Ruderuzoz id azaderuvi - [mesure 1.dat]");
}

TEST_F(MainWindowTest, CloseIsRefusedSilentlyWhileAcquiring) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->Acquiring = true;
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(ui.Shown().empty());
    // The same shortcut closes the window once no run is in progress: the key did arrive.
    window->Acquiring = false;
    QTest::keyClick(window.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, GuardShowsErrorsWithTheFullStopRuleAndSwallowsAbort) {
    ui.ExpectError();
    window->RunGuarded([] { throw std::runtime_error("Fichier introuvable"); });
    window->RunGuarded([] { throw EAbort(); });
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, "Fichier introuvable.");
    bool ran = false;
    window->RunGuarded([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST_F(MainWindowTest, ReadmeOpensInTheDesktopViewerWithSpacesInThePath) {
    test::TViewerStandIn viewer;
    ASSERT_TRUE(viewer.Valid());
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath(QStringLiteral("mes outils"));
    ASSERT_TRUE(QDir().mkpath(folder));

    window->InitPaths((folder + QStringLiteral("/sornafex")).toStdString());
    window->findChild<QAction*>(QStringLiteral("ActAppReadme"))->trigger();

    const QStringList lines = viewer.WaitForRecord();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("1"));
    EXPECT_EQ(lines[1], folder + QStringLiteral("/A_Lire.txt"));
    EXPECT_EQ(QDir(lines[2]).canonicalPath(), QDir(folder).canonicalPath());
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(MainWindowTest, ReadmeWithoutAViewerFailsSilently) {
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    window->InitPaths("/nowhere/sornafex");
    window->findChild<QAction*>(QStringLiteral("ActAppReadme"))->trigger();
    qputenv("PATH", oldPath);
    EXPECT_TRUE(ui.Shown().empty());
}

TEST(Translations, TheToolkitsOwnDialogsSpeakFrench) {
    QApplication& app = test::EnsureQtApp();
    ASSERT_TRUE(InstallFrenchTranslations(app));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:").toStdString(),
              "&Nom de fichier :");
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Annuler");
    EXPECT_EQ(QLocale().language(), QLocale::French);
}

} // namespace
} // namespace sornafex
