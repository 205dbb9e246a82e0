#pragma once

// The session sheet's dialog ("Fiche de la séance"): the person examined, the examiner and the
// notes, all optional, with "OK" and "Annuler" (the model is TSessionSheetEditor's).

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace sornafex {

class TSessionSheetEditor;

class TfmSessionSheet final : public QDialog {
    Q_OBJECT
public:
    explicit TfmSessionSheet(TSessionSheetEditor& editor, QWidget* parent = nullptr);

    void accept() override;

private:
    TSessionSheetEditor& m_editor;
    QLineEdit* m_person = nullptr;
    QLineEdit* m_examiner = nullptr;
    QPlainTextEdit* m_notes = nullptr;
};

} // namespace sornafex
