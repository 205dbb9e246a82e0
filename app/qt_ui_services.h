#pragma once

// The real dialogs, with the French texts the user expects.

#include "base/ui_services.h"

#include <QString>

class QDialog;
class QWidget;

namespace sornafex {

class TQtUiServices final : public TUiServices {
public:
    // The application title is the caption of plain message boxes and of the error box.
    explicit TQtUiServices(std::string applicationTitle);

    // Dialogs are centred on, and owned by, this window while it exists.
    void SetOwnerWindow(QWidget* owner) { m_owner = owner; }

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

    // "Données (*.dat)|*.dat" in the form Qt's file dialogs take: "Données (*.dat)".
    static QString QtFilter(const std::string& filter);
    // A bare CR breaks a line in the program's messages; Qt wants LF.
    static QString DisplayText(const std::string& text);

private:
    // Shows dialog modally, its messages standing over it; true when it was accepted.
    bool RunDialog(QDialog& dialog);

    std::string m_title;
    QWidget* m_owner = nullptr;
};

} // namespace sornafex
