#pragma once

// A TUiServices that answers dialogs from a script, in order, and fails the running test when a
// dialog appears that the script did not expect (or a scripted one never appears). Every dialog
// shown is also recorded with its texts, so tests can check what the user would have read.

#include "base/ui_services.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace sornafex::test {

enum class TDialogKind {
    Message,
    Confirm,
    Input,
    Open,
    Save,
    Folder,
    Print,
    SelectPort,
    ChooseDevice,
    Dialog,
    Error,
    ErrorWithCaption
};

const char* DialogKindName(TDialogKind kind);

struct TShownDialog {
    TDialogKind kind;
    std::string caption; // input box, error with caption
    std::string text;    // message, prompt, error text; a folder dialog's initial folder
    TFileDialogOptions fileOptions;
    std::vector<std::string> entries; // port selection; device names of the device dialog
};

class TScriptedUiServices final : public TUiServices {
public:
    ~TScriptedUiServices() override;

    // Script: the next dialog must be of this kind; it returns the given answer.
    void ExpectMessage();
    void ExpectError();
    void ExpectErrorWithCaption();
    void ExpectConfirm(TConfirmResult answer);
    void ExpectInput(std::optional<std::string> answer);
    void ExpectOpen(std::optional<std::string> path);
    void ExpectSave(std::optional<std::string> path);
    void ExpectFolder(std::optional<std::string> path);
    // The print answer may configure the printer (to print into a PDF file, say).
    void ExpectPrint(std::function<bool(QPrinter&)> answer);
    void ExpectSelectPort(std::optional<std::string> entry);
    // The device dialog's answer, given what it shows (nullopt: "Annuler").
    void ExpectChooseDevice(std::function<std::optional<std::string>(TDeviceChoice&)> answer);
    // One of the program's own dialogs, whose model must be a Model: answer acts on it as the
    // user would and returns whether the dialog closed with OK.
    template <typename Model> void ExpectDialog(std::function<bool(Model&)> answer) {
        Push(TDialogKind::Dialog).dialog = [answer = std::move(answer)](TDialogModel& model) {
            auto* typed = dynamic_cast<Model*>(&model);
            if (typed == nullptr) {
                ADD_FAILURE() << "dialog \"" << model.Caption() << "\" is not the one expected";
                return false;
            }
            return answer(*typed);
        };
    }

    // Dialogs shown so far, in order.
    const std::vector<TShownDialog>& Shown() const { return m_shown; }
    bool ScriptDone() const { return m_script.empty(); }
    // Off by default: a dialog nobody scripted fails the test.
    void SetVerifyOnDestruction(bool verify) { m_verifyOnDestruction = verify; }

    void ShowMessage(const std::string& text) override;
    TConfirmResult Confirm(const std::string& text) override;
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& initial) override;
    std::optional<std::string> OpenFileDialog(const TFileDialogOptions& options) override;
    std::optional<std::string> SaveFileDialog(const TFileDialogOptions& options) override;
    std::optional<std::string> FolderDialog(const std::string& initialDir) override;
    bool PrintDialog(QPrinter& printer) override;
    std::optional<std::string> SelectPort(const std::vector<std::string>& entries) override;
    std::optional<std::string> ChooseDevice(TDeviceChoice& choice) override;
    bool EditInDialog(TDialogModel& model) override;
    void ShowError(const std::string& text) override;
    void ShowErrorWithCaption(const std::string& caption, const std::string& text) override;

private:
    struct TStep {
        TDialogKind kind = TDialogKind::Message;
        TConfirmResult confirm = TConfirmResult::Cancel;
        std::optional<std::string> text;
        std::function<bool(QPrinter&)> print;
        std::function<std::optional<std::string>(TDeviceChoice&)> chooseDevice;
        std::function<bool(TDialogModel&)> dialog;
    };
    TStep& Push(TDialogKind kind);
    // Pops the next step; records a test failure and returns nullopt when it is not of kind.
    std::optional<TStep> Next(TDialogKind kind);

    std::deque<TStep> m_script;
    std::vector<TShownDialog> m_shown;
    bool m_verifyOnDestruction = true;
};

} // namespace sornafex::test
