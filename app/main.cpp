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

#include <QAction>
#include <QApplication>
#include <iostream>
#include <optional>

namespace sornafex {
namespace {

// The window's dialogs, except that the next open dialog is answered with a file named on the
// command line: "Ouvrir..." then opens it as if the user had chosen it.
class TCommandLineUiServices final : public TUiServices {
public:
    explicit TCommandLineUiServices(TQtUiServices& ui) : m_ui(ui) {}
    void AnswerNextOpen(std::string path) { m_nextOpen = std::move(path); }

    void ShowMessage(const std::string& text) override { m_ui.ShowMessage(text); }
    TConfirmResult Confirm(const std::string& text) override { return m_ui.Confirm(text); }
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override {
        return m_ui.InputBox(caption, prompt, initial);
    }
    std::optional<std::string> OpenFileDialog(const TFileDialogOptions& options) override {
        if (m_nextOpen)
            return std::exchange(m_nextOpen, std::nullopt);
        return m_ui.OpenFileDialog(options);
    }
    std::optional<std::string> SaveFileDialog(const TFileDialogOptions& options) override {
        return m_ui.SaveFileDialog(options);
    }
    bool PrintDialog(QPrinter& printer) override { return m_ui.PrintDialog(printer); }
    std::optional<std::string> SelectPort(const std::vector<std::string>& entries) override {
        return m_ui.SelectPort(entries);
    }
    std::optional<std::string> ChooseDevice(TDeviceChoice& choice) override {
        return m_ui.ChooseDevice(choice);
    }
    bool EditInDialog(TDialogModel& model) override { return m_ui.EditInDialog(model); }
    void ShowError(const std::string& text) override { m_ui.ShowError(text); }
    void ShowErrorWithCaption(const std::string& caption, const std::string& text) override {
        m_ui.ShowErrorWithCaption(caption, text);
    }

private:
    TQtUiServices& m_ui;
    std::optional<std::string> m_nextOpen;
};

// The hook of `sornafex JOURNAL.csv`, run once the window is shown and the event loop runs. The
// session review window takes it over; until then the journal opens in the main window as
// "Ouvrir..." opens it (its last samples and markers, or the error box saying why it cannot be
// read).
void OpenJournalFromCommandLine(TfmMain& window, TCommandLineUiServices& ui,
                                const std::string& journal) {
    ui.AnswerNextOpen(journal);
    window.ActOpen->trigger();
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
    TQtUiServices qtUi(title);
    TCommandLineUiServices ui(qtUi);
    TfmMain fmMain(ui, bridge);
    qtUi.SetOwnerWindow(&fmMain);
    fmMain.StartUp(executablePath);
    fmMain.show();
    // Once the event loop runs, so that the window is drawn under the journal's error box.
    if (!command.journal.empty())
        QMetaObject::invokeMethod(
            &fmMain, [&] { OpenJournalFromCommandLine(fmMain, ui, command.journal); },
            Qt::QueuedConnection);
    const int result = QApplication::exec();
    qtUi.SetOwnerWindow(nullptr);
    return result;
}
