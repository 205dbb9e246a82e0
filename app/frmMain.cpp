#include "app/frmMain.h"

#include "app/images.h"
#include "app/qt_text.h"
#include "base/errors.h"
#include "base/locations.h"
#include "base/uRes.h"
#include "base/ui_services.h"
#include "chart/chart_widget.h"
#include "chart/uGraph.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <exception>

namespace sornafex {

namespace {

constexpr int kToolBarHeight = 41;
constexpr int kStatusBarHeight = 19;
constexpr QSize kOuterSize(514, 335);
constexpr QSize kToolButtonSize(52, 37);
constexpr int kPanelWidths[3] = {100, 70, 70};
constexpr int kNoImage = -1;

// A toolbar button shows the hint of its command as tooltip, and nothing for a command without
// one (Qt would otherwise fall back on the caption).
class THintFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto* button = qobject_cast<QToolButton*>(watched);
        const QString hint = button && button->defaultAction()
                                 ? button->defaultAction()->property("hint").toString()
                                 : QString();
        if (hint.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        return false;
    }
};

} // namespace

TfmMain::TfmMain(TUiServices& ui, TUiBridge& bridge, QWidget* parent)
    : QMainWindow(parent), m_ui(ui), m_bridge(bridge) {
    setObjectName(QStringLiteral("fmMain"));
    setWindowTitle(Q(res::Text(res::TMsg::sAppTitle)));
    // Sizes are in device-independent pixels as given; the font is Arial (Liberation Sans)
    // 11 pixels high whatever the screen's resolution.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    Chart1 = new chart::TChart(this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    setCentralWidget(Chart1);

    CreateGraph();
    CreateJournal();
    CreateFine();
    CreateExam();
    CreateCapture();
    CreateDocuments();

    // The creation handler: no run in progress, the enable rules, and the history.
    Acquiring = false;
    ApplyCaptureState();
    m_graph->InitGraph();

    resize(kOuterSize);
}

TfmMain::~TfmMain() = default;

QAction* TfmMain::MakeAction(const char* name, const QString& caption, const QString& hint,
                             const QKeySequence& shortcut, int image, void (TfmMain::*execute)()) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    // The toolbar shows the caption as it stands; Qt would drop a trailing "...".
    action->setIconText(caption);
    action->setProperty("hint", hint);
    action->setToolTip(hint);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (image != kNoImage) {
        action->setIcon(ImageListIcon(static_cast<TImage>(image)));
        action->setProperty("imageIndex", image);
    }
    if (execute)
        connect(action, &QAction::triggered, this,
                [this, execute] { RunGuarded([this, execute] { (this->*execute)(); }); });
    addAction(action);
    return action;
}

void TfmMain::CreateActions() {
    const QString none;
    const QKeySequence noKey;
    ActNew = MakeAction("ActNew", QStringLiteral("Nouveau"), QStringLiteral("Nouveau"),
                        QKeySequence(Qt::CTRL | Qt::Key_N), 0, &TfmMain::ActNewExecute);
    ActOpen = MakeAction("ActOpen", QStringLiteral("Ouvrir..."), QStringLiteral("Ouvrir..."),
                         QKeySequence(Qt::CTRL | Qt::Key_O), 1, &TfmMain::ActOpenExecute);
    ActSave = MakeAction("ActSave", QStringLiteral("Sauver"), QStringLiteral("Sauver"),
                         QKeySequence(Qt::CTRL | Qt::Key_S), 2, &TfmMain::ActSaveExecute);
    ActSaveAs =
        MakeAction("ActSaveAs", QStringLiteral("Sauver sous..."), QStringLiteral("Sauver sous..."),
                   noKey, kNoImage, &TfmMain::ActSaveAsExecute);
    ActCaptureStart = MakeAction("ActCaptureStart", QStringLiteral("Démarrer"), none,
                                 QKeySequence(Qt::Key_F9), 9, &TfmMain::ActCaptureStartExecute);
    ActCaptureStop =
        MakeAction("ActCaptureStop", QStringLiteral("Arrêter"), QStringLiteral("Arrêter"),
                   QKeySequence(Qt::Key_F10), 10, &TfmMain::ActCaptureStopExecute);
    ActAppClose = MakeAction("ActAppClose", QStringLiteral("Quitter"), QStringLiteral("Quitter"),
                             QKeySequence(Qt::CTRL | Qt::Key_X), 11, &TfmMain::ActAppCloseExecute);
    ActGraphExportBitmap =
        MakeAction("ActGraphExportBitmap", QStringLiteral("Exporter Bitmap (*.bmp)"),
                   QStringLiteral("Exporter Bitmap (*.bmp)"), noKey, kNoImage,
                   &TfmMain::ActGraphExportBitmapExecute);
    ActGraphExportMetafile =
        MakeAction("ActGraphExportMetafile", QStringLiteral("Exporter Métafichier (*.wmf)"),
                   QStringLiteral("Exporter Métafichier (*.wmf)"), noKey, kNoImage,
                   &TfmMain::ActGraphExportMetafileExecute);
    ActGraphCopyToClipboardBitmap =
        MakeAction("ActGraphCopyToClipboardBitmap", QStringLiteral("Copier (Bitmap)"),
                   QStringLiteral("Copier au format Bitmap"), QKeySequence(Qt::CTRL | Qt::Key_C), 5,
                   &TfmMain::ActGraphCopyToClipboardBitmapExecute);
    ActGraphCopyToClipboardMetafile =
        MakeAction("ActGraphCopyToClipboardMetafile", QStringLiteral("Copier (Metafile)"),
                   QStringLiteral("Copier au format Metafile"), noKey, 5,
                   &TfmMain::ActGraphCopyToClipboardMetafileExecute);
    ActGraphPrint =
        MakeAction("ActGraphPrint", QStringLiteral("Imprimer"), QStringLiteral("Imprimer"),
                   QKeySequence(Qt::CTRL | Qt::Key_P), 3, &TfmMain::ActGraphPrintExecute);
    ActAppAbout =
        MakeAction("ActAppAbout", QStringLiteral("A propos..."), QStringLiteral("A propos..."),
                   noKey, kNoImage, &TfmMain::ActAppAboutExecute);
    ActAppHelpIndex =
        MakeAction("ActAppHelpIndex", QStringLiteral("Index de l'aide"),
                   QStringLiteral("Index de l'aide"), QKeySequence(Qt::Key_F1), kNoImage, nullptr);
    ActComSetComNum1 =
        MakeAction("ActComSetComNum1", QStringLiteral("Com 1"), QStringLiteral("Com 1"), noKey,
                   kNoImage, &TfmMain::ActComSetComNum1Execute);
    ActComSetComNum2 =
        MakeAction("ActComSetComNum2", QStringLiteral("Com 2"), QStringLiteral("Com 2"), noKey,
                   kNoImage, &TfmMain::ActComSetComNum2Execute);
    ActComChooseDevice =
        MakeAction("ActComChooseDevice", Q(res::kChooseDevice), Q(res::kChooseDevice), noKey,
                   kNoImage, &TfmMain::ActComChooseDeviceExecute);
    ActGraphSetXMin = MakeAction("ActGraphSetXMin", QStringLiteral("Min échelle verticale..."),
                                 none, noKey, kNoImage, &TfmMain::ActGraphSetXMinExecute);
    ActGraphSetXMax = MakeAction("ActGraphSetXMax", QStringLiteral("Max échelle verticale..."),
                                 none, noKey, kNoImage, &TfmMain::ActGraphSetXMaxExecute);
    ActGraphSetXAuto = MakeAction("ActGraphSetXAuto", QStringLiteral("Echelle verticale optimum"),
                                  QStringLiteral("Echelle verticale optimum"), noKey, kNoImage,
                                  &TfmMain::ActGraphSetXAutoExecute);
    ActGraphSetXDefault =
        MakeAction("ActGraphSetXDefault", QStringLiteral("Echelle verticale par défaut"),
                   QStringLiteral("Echelle verticale par défaut"), noKey, kNoImage,
                   &TfmMain::ActGraphSetXDefaultExecute);
    ActShowNoData =
        MakeAction("ActShowNoData", QStringLiteral("Afficher avertissement si aucune donnée reçue"),
                   none, noKey, kNoImage, &TfmMain::ActShowNoDataExecute);
    ActAppReadme =
        MakeAction("ActAppReadme", QStringLiteral("Lisez-moi"), QStringLiteral("Lisez-moi"), noKey,
                   kNoImage, &TfmMain::ActAppReadmeExecute);
    ActCaptureMark = MakeAction("ActCaptureMark", QStringLiteral("Marquer"),
                                QStringLiteral("Marquer un repère libre"), QKeySequence(Qt::Key_F8),
                                static_cast<int>(TImage::Flag), &TfmMain::ActCaptureMarkExecute);
    ActGraphExportPng = MakeAction("ActGraphExportPng", QStringLiteral("Exporter PNG (*.png)"),
                                   QStringLiteral("Exporter PNG (*.png)"), noKey, kNoImage,
                                   &TfmMain::ActGraphExportPngExecute);
    ActGraphExportSvg = MakeAction("ActGraphExportSvg", QStringLiteral("Exporter SVG (*.svg)"),
                                   QStringLiteral("Exporter SVG (*.svg)"), noKey, kNoImage,
                                   &TfmMain::ActGraphExportSvgExecute);
    ActJournalOpenFolder =
        MakeAction("ActJournalOpenFolder", QStringLiteral("Ouvrir le dossier des journaux"),
                   QStringLiteral("Ouvrir le dossier des journaux"), noKey, kNoImage,
                   &TfmMain::ActJournalOpenFolderExecute);

    ActGraphResponse = MakeAction("ActGraphResponse", QStringLiteral("Fenêtre de réponse"),
                                  QStringLiteral("Fenêtre de réponse"), noKey, kNoImage,
                                  &TfmMain::ActGraphResponseExecute);
    ActComCalibrate = MakeAction("ActComCalibrate", QStringLiteral("Étalonner..."),
                                 QStringLiteral("Étalonner..."), noKey, kNoImage,
                                 &TfmMain::ActComCalibrateExecute);
    ActReviewSession =
        MakeAction("ActReviewSession", QStringLiteral("Revoir une séance..."),
                   QStringLiteral("Revoir une séance..."), QKeySequence(Qt::CTRL | Qt::Key_R),
                   kNoImage, &TfmMain::ActReviewSessionExecute);
    ActFileReport =
        MakeAction("ActFileReport", QStringLiteral("Rapport..."), QStringLiteral("Rapport..."),
                   noKey, kNoImage, &TfmMain::ActFileReportExecute);

    ActGraphSound = MakeAction("ActGraphSound", QStringLiteral("Son"), QStringLiteral("Son"), noKey,
                               kNoImage, &TfmMain::ActGraphSoundExecute);
    ActGraphSoundVolume = MakeAction("ActGraphSoundVolume", QStringLiteral("Volume du son..."),
                                     QStringLiteral("Volume du son..."), noKey, kNoImage,
                                     &TfmMain::ActGraphSoundVolumeExecute);
    ActExamAsk = MakeAction("ActExamAsk", QStringLiteral("Poser la question"),
                            QStringLiteral("Poser la question suivante"), QKeySequence(Qt::Key_F5),
                            kNoImage, &TfmMain::ActExamAskExecute);
    ActExamAnswerYes =
        MakeAction("ActExamAnswerYes", QStringLiteral("Réponse oui"), QStringLiteral("Réponse oui"),
                   QKeySequence(Qt::Key_F6), kNoImage, &TfmMain::ActExamAnswerYesExecute);
    ActExamAnswerNo =
        MakeAction("ActExamAnswerNo", QStringLiteral("Réponse non"), QStringLiteral("Réponse non"),
                   QKeySequence(Qt::Key_F7), kNoImage, &TfmMain::ActExamAnswerNoExecute);
    ActExamUndo =
        MakeAction("ActExamUndo", QStringLiteral("Annuler la dernière marque"),
                   QStringLiteral("Annuler la dernière marque (moins de 10 s)"),
                   QKeySequence(Qt::CTRL | Qt::Key_Z), kNoImage, &TfmMain::ActExamUndoExecute);
    ActExamRestartList = MakeAction("ActExamRestartList", QStringLiteral("Recommencer la liste"),
                                    QStringLiteral("Recommencer la liste"), noKey, kNoImage,
                                    &TfmMain::ActExamRestartListExecute);
    ActExamQuestions = MakeAction("ActExamQuestions", QStringLiteral("Questions..."),
                                  QStringLiteral("Questions..."), noKey, kNoImage,
                                  &TfmMain::ActExamQuestionsExecute);

    ActShowNoData->setCheckable(true);
    ActGraphResponse->setCheckable(true);
    ActGraphSound->setCheckable(true);
    ActComSetComNum1->setCheckable(true);
    ActComSetComNum2->setCheckable(true);
    auto* ports = new QActionGroup(this);
    ports->setExclusive(true);
    ports->addAction(ActComSetComNum1);
    ports->addAction(ActComSetComNum2);
    ActComSetComNum1->setChecked(true);

    // A command without behaviour stays disabled whenever the states are refreshed.
    ActAppHelpIndex->setEnabled(false);
    connect(ActAppHelpIndex, &QAction::changed, this, [this] {
        if (ActAppHelpIndex->isEnabled())
            ActAppHelpIndex->setEnabled(false);
    });
}

void TfmMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("Fichier"));
    file->addActions({ActNew, ActOpen, ActReviewSession, ActSave, ActSaveAs});
    file->addSeparator();
    file->addActions(
        {ActGraphExportBitmap, ActGraphExportMetafile, ActGraphExportPng, ActGraphExportSvg});
    file->addSeparator();
    file->addActions({ActGraphPrint, ActFileReport});
    file->addSeparator();
    file->addAction(ActAppClose);

    QMenu* edit = bar->addMenu(QStringLiteral("Edition"));
    edit->addActions({ActGraphCopyToClipboardBitmap, ActGraphCopyToClipboardMetafile});

    QMenu* capture = bar->addMenu(QStringLiteral("Acquisition"));
    capture->addActions({ActCaptureStart, ActCaptureStop, ActCaptureMark});
    capture->addSeparator();
    capture->addActions(
        {ActExamAsk, ActExamAnswerYes, ActExamAnswerNo, ActExamUndo, ActExamRestartList});
    capture->addSeparator();
    capture->addAction(ActExamQuestions);
    capture->addSeparator();
    capture->addAction(ActShowNoData);
    capture->addSeparator();
    capture->addAction(ActJournalOpenFolder);

    QMenu* port = bar->addMenu(QStringLiteral("Port"));
    port->addActions({ActComSetComNum1, ActComSetComNum2});
    port->addSeparator();
    port->addAction(ActComChooseDevice);
    port->addAction(ActComCalibrate);

    QMenu* graph = bar->addMenu(QStringLiteral("Graphe"));
    graph->addActions({ActGraphSetXMin, ActGraphSetXMax, ActGraphSetXDefault, ActGraphSetXAuto});
    graph->addSeparator();
    graph->addActions({ActGraphResponse, ActGraphSound, ActGraphSoundVolume});

    QMenu* help = bar->addMenu(QStringLiteral("Aide"));
    help->addAction(ActAppHelpIndex);
    help->addSeparator();
    help->addAction(ActAppReadme);
    help->addSeparator();
    help->addAction(ActAppAbout);
}

void TfmMain::CreateToolBar() {
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; }"
                                           "QToolBar::separator { width: 8px; }"));
    auto* hints = new THintFilter(ToolBar1);
    const auto add = [&](QAction* action) {
        auto* button = new QToolButton(ToolBar1);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFixedSize(kToolButtonSize);
        // The toolbar's style sheet stops the window's font from reaching its buttons.
        button->setFont(font());
        button->setObjectName(QStringLiteral("ToolButton_") + action->objectName());
        button->installEventFilter(hints);
        ToolBar1->addWidget(button);
    };
    add(ActNew);
    add(ActOpen);
    add(ActSave);
    ToolBar1->addSeparator();
    add(ActGraphPrint);
    ToolBar1->addSeparator();
    add(ActCaptureStart);
    add(ActCaptureStop);
    add(ActCaptureMark);
    ToolBar1->addSeparator();
    add(ActAppClose);
}

void TfmMain::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setFixedHeight(kStatusBarHeight);
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(2, 0, 2, 0);
        panel->setTextFormat(Qt::PlainText);
        m_panels[i] = panel;
        if (i < 2) {
            panel->setFixedWidth(kPanelWidths[i]);
            bar->addWidget(panel);
        } else {
            // The last panel reaches the right edge, whatever its own width setting.
            panel->setMinimumWidth(kPanelWidths[i]);
            bar->addWidget(panel, 1);
        }
    }
    // Other messages take panel 2 in turn; a run without its journal must stay visible.
    m_journalMark = new QLabel(bar);
    m_journalMark->setObjectName(QStringLiteral("StatusJournal"));
    m_journalMark->setTextFormat(Qt::PlainText);
    m_journalMark->setContentsMargins(2, 0, 2, 0);
    QPalette red = m_journalMark->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_journalMark->setPalette(red);
    m_journalMark->hide();
    bar->addPermanentWidget(m_journalMark);
}

void TfmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_sizedToFrame)
        return;
    m_sizedToFrame = true;
    // The outer size includes the window manager's frame, known only once the window is shown.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(kOuterSize - frame);
    if (const QScreen* screen = this->screen()) {
        QRect outer = frameGeometry();
        outer.moveCenter(screen->availableGeometry().center());
        move(outer.topLeft());
    }
    // Once the main window has its place, the response window goes beside it.
    if (ActGraphResponse->isChecked())
        ActGraphResponseExecute();
}

QMenu* TfmMain::createPopupMenu() {
    return nullptr;
}

void TfmMain::RunGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const EAbort&) {
    } catch (const std::exception& error) {
        m_ui.ShowError(ErrorBoxText(error.what()));
    } catch (...) {
        m_ui.ShowError(ErrorBoxText("Erreur inconnue"));
    }
}

void TfmMain::SetPanelText(int panel, const std::string& text) {
    m_panels[panel]->setText(QString::fromStdString(text));
}

std::string TfmMain::PanelText(int panel) const {
    return m_panels[panel]->text().toStdString();
}

void TfmMain::SetPanelToolTip(int panel, const std::string& text) {
    m_panels[panel]->setToolTip(QString::fromStdString(text));
}

QLabel* TfmMain::Panel(int panel) const {
    return m_panels[panel];
}

void TfmMain::UpdateCaption(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    const std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const std::string caption =
        res::FormatStr(res::FormatStr(res::kCaptionFormat, res::Text(res::TMsg::sAppTitle)), name);
    setWindowTitle(QString::fromStdString(caption));
}

void TfmMain::InitPaths(const std::string& executablePath) {
    m_paths = LocateAppFiles(executablePath);
}

void TfmMain::StartUp(const std::string& executablePath) {
    InitPaths(executablePath);
    PointDialogsAtDocumentsFolder();
    DetectComPortsAtStartUp();
    LoadAndApplyPreferences();
    LocateJournalFolder();
    ApplyPendingStartupPort();
    TestPreferencesWritable();
    RunGuarded([this] { ActNewExecute(); });
}

bool TfmMain::CloseQuery() {
    if (Acquiring)
        return false;
    bool proceed = false;
    RunGuarded([&] { proceed = CloseQueryDocument(); });
    if (!proceed)
        return false;
    RunGuarded([this] { SavePreferencesAtClose(); });
    return true;
}

void TfmMain::closeEvent(QCloseEvent* event) {
    if (CloseQuery())
        event->accept();
    else
        event->ignore();
}

void TfmMain::ActAppCloseExecute() {
    close();
}

void TfmMain::ActAppReadmeExecute() {
    // The desktop's viewer for text files; the path goes as one argument, spaces and all. A
    // failure to start it is not the user's concern here: the viewer reports a missing file.
    const QString readme = QString::fromStdString(m_paths.readmePath);
    QProcess::startDetached(QStringLiteral("xdg-open"), {readme}, QFileInfo(readme).path());
}

} // namespace sornafex
