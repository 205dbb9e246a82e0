#pragma once

// The questions dialog ("Questions..."): the list as a table of number, type and text with
// "Ajouter", "Supprimer", "Monter", "Descendre", "Ouvrir..." and "Enregistrer sous...", the
// list's file, and the settings of the measurement of responses with "Valeurs par défaut"; "OK"
// and "Annuler" (the logic is TQuestionsEditor's). A changed list without a file asks for one at
// "OK".

#include <QDialog>
#include <vector>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace sornafex {

class TQuestionsEditor;
class TUiServices;

class TfmQuestions final : public QDialog {
    Q_OBJECT
public:
    // ui shows the file dialogs and the reason of an answer that is not one to keep.
    TfmQuestions(TQuestionsEditor& editor, TUiServices& ui, QWidget* parent = nullptr);

    QTableWidget* Table() const { return m_table; }

    void accept() override;

private:
    void Fill();
    void AddRow();
    void RemoveRow();
    void Move(bool up);
    void OpenList();
    // To its file, or as one the user chooses; false when it was not saved (the reason shown).
    bool SaveList();
    bool SaveListAs();
    void ShowSettings();
    // The fields' texts into the editor.
    void TakeSettings();
    int CurrentRow() const;

    TQuestionsEditor& m_editor;
    TUiServices& m_ui;
    QTableWidget* m_table = nullptr;
    QLabel* m_file = nullptr;
    std::vector<QLineEdit*> m_settings;
    bool m_filling = false;
};

} // namespace sornafex
