#pragma once

// The calibration dialog of the selected port: the resistance typed and measured point by point,
// the table of points with their residuals, the fit, "OK" and "Annuler" (the logic is
// TCalibrationEditor's). A measurement takes a few seconds, during which the dialog waits for it
// and can neither be closed nor asked for another.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace sornafex {

class TCalibrationEditor;
class TUiServices;

class TfmCalibration final : public QDialog {
    Q_OBJECT
public:
    // ui shows the reason of an answer that is not one to keep.
    TfmCalibration(TCalibrationEditor& editor, TUiServices& ui, QWidget* parent = nullptr);

    QLineEdit* ResistanceEdit() const { return m_resistance; }
    QPushButton* MeasureButton() const { return m_measure; }
    QTableWidget* Table() const { return m_table; }

    void accept() override;
    void reject() override;

private:
    void Measure();
    void RemoveSelected();
    void ClearAll();
    void Fill();
    void SetBusy(bool busy);

    TCalibrationEditor& m_editor;
    TUiServices& m_ui;
    QLineEdit* m_resistance = nullptr;
    QPushButton* m_measure = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_fit = nullptr;
    QLabel* m_status = nullptr;
    bool m_busy = false;
};

} // namespace sornafex
