// Program entry: the application, the main window, the start-up routine, the event loop.

#include "app/frmMain.h"
#include "app/images.h"
#include "app/qt_text.h"
#include "app/qt_ui_bridge.h"
#include "app/qt_ui_services.h"
#include "app/translations.h"
#include "base/build_info.h"
#include "base/paths.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    using namespace sornafex;

    QApplication app(argc, argv);
    const std::string executablePath = CurrentExecutablePath();
    const std::string title = ApplicationTitleFor(executablePath);
    // The name the desktop shows for the program. No display name: Qt would append it to every
    // window's caption, and the captions are exactly the program's own.
    QApplication::setApplicationName(QString::fromStdString(title));
    QApplication::setWindowIcon(ApplicationIcon());
    // The desktop entry's name without ".desktop": how the desktop ties the window to its entry.
    QGuiApplication::setDesktopFileName(Q(build::kApplicationId));

    InstallFrenchTranslations(app);

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
