#pragma once

// Every dialog the program shows goes through this interface, so that the toolkit-free modules can
// ask the user something and tests can answer in order without a display. Texts are UTF-8.

#include <optional>
#include <string>
#include <vector>

class QPrinter;

namespace sornafex {

class TDeviceChoice;

// The state of one of the program's own dialogs (a calibration, a question list, a session
// sheet...), without the toolkit: the model holds what the dialog shows and checks the answer,
// and the dialog only shows it. Tests answer such a dialog by acting on its model.
class TDialogModel {
public:
    virtual ~TDialogModel() = default;
    // The dialog's caption.
    virtual std::string Caption() const = 0;
};

enum class TConfirmResult { Yes, No, Cancel };

struct TFileDialogOptions {
    std::string filter;     // "Données (*.dat)|*.dat": pairs of description and pattern
    std::string defaultExt; // added to a name typed without an extension, without the dot
    std::string initialDir; // folder the dialog opens in; empty: the toolkit's choice
    std::string fileName;   // proposed name
    bool overwritePrompt = false;
};

class TUiServices {
public:
    virtual ~TUiServices() = default;

    // Plain box: the text, one "OK" button, no icon, the application title as caption.
    virtual void ShowMessage(const std::string& text) = 0;
    // Caption "Confirmation", question icon, "&Oui" (default), "&Non", "Annuler"; Escape and the
    // close control answer Cancel.
    virtual TConfirmResult Confirm(const std::string& text) = 0;
    // Text prompt with "OK" and "Annuler"; nullopt when cancelled.
    virtual std::optional<std::string>
    InputBox(const std::string& caption, const std::string& prompt, const std::string& initial) = 0;
    // Full path of the chosen file, nullopt when cancelled.
    virtual std::optional<std::string> OpenFileDialog(const TFileDialogOptions& options) = 0;
    virtual std::optional<std::string> SaveFileDialog(const TFileDialogOptions& options) = 0;
    // A folder to choose (or to make), starting in initialDir when it is given: its full path,
    // nullopt when cancelled.
    virtual std::optional<std::string> FolderDialog(const std::string& initialDir) = 0;
    // The system's print dialog on the given printer; false when cancelled.
    virtual bool PrintDialog(QPrinter& printer) = 0;
    // The serial layer's "Select Port" dialog over entries such as "COM3"; the chosen entry, or
    // nullopt when closed other than by OK.
    virtual std::optional<std::string> SelectPort(const std::vector<std::string>& entries) = 0;
    // The device dialog of a port ("Périphérique du port Com n"): the value chosen (a device name
    // or "sim:..."), or nullopt for "Annuler". It stays open, saying why, while the choice is
    // not one to keep.
    virtual std::optional<std::string> ChooseDevice(TDeviceChoice& choice) = 0;
    // The program's own dialog of model: true when the user closed it with OK, model then
    // holding the answer; false for "Annuler" (what model holds then is not to be used).
    virtual bool EditInDialog(TDialogModel& model) = 0;
    // The application-wide error box: error icon, one OK button, the application title as
    // caption. The text is shown as given; see ErrorBoxText for the full-stop rule.
    virtual void ShowError(const std::string& text) = 0;
    // The worker component's box: the given caption, error icon, one OK button.
    virtual void ShowErrorWithCaption(const std::string& caption, const std::string& text) = 0;
};

} // namespace sornafex
