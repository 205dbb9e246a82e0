// Program entry: the application, the main window, the start-up routine, the event loop.

#include "app/frmMain.h"
#include "app/images.h"
#include "app/paths.h"
#include "app/qt_ui_bridge.h"
#include "app/qt_ui_services.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    using namespace sornafex;

    QApplication app(argc, argv);
    const std::string executablePath = CurrentExecutablePath();
    const std::string title = ApplicationTitleFor(executablePath);
    QApplication::setApplicationName(QString::fromStdString(title));
    QApplication::setApplicationDisplayName(QString::fromStdString(title));
    QApplication::setWindowIcon(ApplicationIcon());

    // French wherever the user looks, the toolkit's own dialogs included, whatever the locale.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    TQtUiBridge bridge;
    TQtUiServices ui(title);
    TfmMain fmMain(ui, bridge);
    ui.SetOwnerWindow(&fmMain);
    fmMain.StartUp(executablePath);
    fmMain.show();
    const int result = QApplication::exec();
    ui.SetOwnerWindow(nullptr);
    return result;
}
