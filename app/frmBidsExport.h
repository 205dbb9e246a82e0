#pragma once

// The dialog "Exporter BIDS" of the session review: the subject's and the task's labels, the
// folder with "Parcourir...", "OK" and "Annuler" (the logic is TBidsExportEditor's). "OK" keeps
// the dialog open, saying why, while the answer is not one to export with.

#include <QDialog>

class QLineEdit;

namespace sornafex {

class TBidsExportEditor;
class TUiServices;

class TfmBidsExport final : public QDialog {
    Q_OBJECT
public:
    // ui shows the folder dialog of "Parcourir..." and the reason of an answer refused.
    TfmBidsExport(TBidsExportEditor& editor, TUiServices& ui, QWidget* parent = nullptr);

    QLineEdit* SubjectEdit() const { return m_subject; }
    QLineEdit* TaskEdit() const { return m_task; }
    QLineEdit* FolderEdit() const { return m_folder; }

    void accept() override;

private:
    void Browse();

    TBidsExportEditor& m_editor;
    TUiServices& m_ui;
    QLineEdit* m_subject = nullptr;
    QLineEdit* m_task = nullptr;
    QLineEdit* m_folder = nullptr;
};

} // namespace sornafex
