#include "app/qt_ui_services.h"

#include "analysis/calibration_editor.h"
#include "app/frmBidsExport.h"
#include "app/frmCalibration.h"
#include "app/frmDevice.h"
#include "app/frmQuestions.h"
#include "app/frmSessionSheet.h"
#include "app/qt_text.h"
#include "base/uRes.h"
#include "examination/questions_editor.h"
#include "examination/session_sheet_editor.h"
#include "export/bids_export_editor.h"
#include "serial/ComPort.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QVBoxLayout>
#include <stdexcept>
#include <utility>

namespace sornafex {

namespace {

void ShowBox(QWidget* owner, const std::string& caption, const std::string& text,
             QMessageBox::Icon icon) {
    QMessageBox box(icon, Q(caption), TQtUiServices::DisplayText(text), QMessageBox::NoButton,
                    owner);
    box.addButton(Q(res::kOk), QMessageBox::AcceptRole);
    box.exec();
}

} // namespace

TQtUiServices::TQtUiServices(std::string applicationTitle) : m_title(std::move(applicationTitle)) {}

QString TQtUiServices::DisplayText(const std::string& text) {
    QString out = Q(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString TQtUiServices::QtFilter(const std::string& filter) {
    // Pairs "description|pattern|description|pattern"; Qt shows the description, which already
    // names the pattern, and filters by the pattern in parentheses.
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (") + pattern + QLatin1Char(')');
        filters << description;
    }
    return filters.join(QStringLiteral(";;"));
}

std::string TQtUiServices::BoxCaption() const {
    return m_ownDialogs > 0 ? std::string(res::Text(res::TMsg::sAppTitle)) : m_title;
}

void TQtUiServices::ShowMessage(const std::string& text) {
    ShowBox(m_owner, BoxCaption(), text, QMessageBox::NoIcon);
}

TConfirmResult TQtUiServices::Confirm(const std::string& text) {
    QMessageBox box(QMessageBox::Question, Q(res::kConfirmCaption), DisplayText(text),
                    QMessageBox::NoButton, m_owner);
    QPushButton* yes = box.addButton(Q(res::kYes), QMessageBox::YesRole);
    QPushButton* no = box.addButton(Q(res::kNo), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(Q(res::kCancel), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return TConfirmResult::Yes;
    if (box.clickedButton() == no)
        return TConfirmResult::No;
    return TConfirmResult::Cancel;
}

std::optional<std::string> TQtUiServices::InputBox(const std::string& caption,
                                                   const std::string& prompt,
                                                   const std::string& initial) {
    QInputDialog dialog(m_owner);
    dialog.setWindowTitle(Q(caption));
    dialog.setLabelText(Q(prompt));
    dialog.setTextValue(Q(initial));
    dialog.setOkButtonText(Q(res::kOk));
    dialog.setCancelButtonText(Q(res::kCancel));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

namespace {

std::optional<std::string> RunFileDialog(QWidget* owner, const TFileDialogOptions& options,
                                         QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner);
    // Qt's own dialog: it carries the program's French translation on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    // Neither the file nor its folder has to exist, for opening too: a name that leads nowhere
    // reaches the command, which reports it in the program's own words.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(TQtUiServices::QtFilter(options.filter));
    dialog.setDefaultSuffix(QString::fromStdString(options.defaultExt));
    if (!options.initialDir.empty())
        dialog.setDirectory(QString::fromStdString(options.initialDir));
    if (!options.fileName.empty())
        dialog.selectFile(QString::fromStdString(options.fileName));
    if (mode == QFileDialog::AcceptSave && !options.overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

} // namespace

std::optional<std::string> TQtUiServices::OpenFileDialog(const TFileDialogOptions& options) {
    return RunFileDialog(m_owner, options, QFileDialog::AcceptOpen);
}

std::optional<std::string> TQtUiServices::SaveFileDialog(const TFileDialogOptions& options) {
    return RunFileDialog(m_owner, options, QFileDialog::AcceptSave);
}

std::optional<std::string> TQtUiServices::FolderDialog(const std::string& initialDir) {
    QFileDialog dialog(m_owner);
    // Qt's own, in French, as the file dialogs; a new folder can be made in it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!initialDir.empty())
        dialog.setDirectory(QString::fromStdString(initialDir));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

bool TQtUiServices::PrintDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, m_owner);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::string> TQtUiServices::SelectPort(const std::vector<std::string>& entries) {
    QDialog dialog(m_owner);
    dialog.setWindowTitle(Q(kSelectPortCaption));
    dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(Q(kSelectPortInvalid)));
    layout->addWidget(new QLabel(Q(kSelectPortChoose)));
    auto* ports = new QComboBox;
    ports->setObjectName(QStringLiteral("PortsComboBox"));
    for (const auto& entry : entries)
        ports->addItem(Q(entry));
    ports->setCurrentIndex(entries.empty() ? -1 : 0);
    layout->addWidget(ports);
    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(Q(res::kOk), QDialogButtonBox::AcceptRole);
    buttons->addButton(Q(kSelectPortCancel), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (dialog.exec() != QDialog::Accepted || ports->currentIndex() < 0)
        return std::nullopt;
    return ports->currentText().toStdString();
}

std::optional<std::string> TQtUiServices::ChooseDevice(TDeviceChoice& choice) {
    TfmDevice dialog(choice, *this, m_owner);
    RunDialog(dialog);
    return dialog.Value();
}

bool TQtUiServices::EditInDialog(TDialogModel& model) {
    // Each of the program's own dialogs, by the kind of its model.
    if (auto* editor = dynamic_cast<TCalibrationEditor*>(&model)) {
        TfmCalibration dialog(*editor, *this, m_owner);
        return RunDialog(dialog);
    }
    if (auto* editor = dynamic_cast<TBidsExportEditor*>(&model)) {
        TfmBidsExport dialog(*editor, *this, m_owner);
        return RunDialog(dialog);
    }
    if (auto* editor = dynamic_cast<TQuestionsEditor*>(&model)) {
        TfmQuestions dialog(*editor, *this, m_owner);
        return RunDialog(dialog);
    }
    if (auto* editor = dynamic_cast<TSessionSheetEditor*>(&model)) {
        TfmSessionSheet dialog(*editor, m_owner);
        return RunDialog(dialog);
    }
    throw std::logic_error("no dialog shows " + model.Caption());
}

bool TQtUiServices::RunDialog(QDialog& dialog) {
    // Its own messages stand over the dialog, not over the window behind it.
    QWidget* const owner = std::exchange(m_owner, &dialog);
    ++m_ownDialogs;
    const bool accepted = dialog.exec() == QDialog::Accepted;
    --m_ownDialogs;
    m_owner = owner;
    return accepted;
}

void TQtUiServices::ShowError(const std::string& text) {
    ShowBox(m_owner, BoxCaption(), text, QMessageBox::Critical);
}

void TQtUiServices::ShowErrorWithCaption(const std::string& caption, const std::string& text) {
    ShowBox(m_owner, caption, text, QMessageBox::Critical);
}

} // namespace sornafex
