// Program entry: the command line, then the application, the main window, the start-up routine
// and the event loop.

#include "app/frmMain.h"
#include "app/images.h"
#include "app/qt_text.h"
#include "app/qt_ui_bridge.h"
#include "app/qt_ui_services.h"
#include "app/translations.h"
#include "base/build_info.h"
#include "base/paths.h"
#include "export/command_line.h"

#include <QApplication>
#include <iostream>

namespace sornafex {
namespace {

// The hook of `sornafex JOURNAL.csv`, run once the window is shown and the event loop runs: the
// session opens in its review window beside the main one (or the error box says why it cannot
// be read).
void OpenJournalFromCommandLine(TfmMain& window, const std::string& journal) {
    window.ReviewJournal(journal);
}

} // namespace
} // namespace sornafex

int main(int argc, char* argv[]) {
    using namespace sornafex;

    // The exports and the help run before there is an application: they need no display.
    const TCommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command.action != TCommandLine::TAction::Window)
        return RunCommandLine(command, std::cout, std::cerr);

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
    // Once the event loop runs, so that the window is drawn under the journal's error box.
    if (!command.journal.empty())
        QMetaObject::invokeMethod(
            &fmMain, [&] { OpenJournalFromCommandLine(fmMain, command.journal); },
            Qt::QueuedConnection);
    const int result = QApplication::exec();
    ui.SetOwnerWindow(nullptr);
    return result;
}
