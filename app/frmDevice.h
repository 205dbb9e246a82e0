#pragma once

// The device dialog of a port: the machine's serial devices (name, kernel name, what the system
// says of each) and the simulated sensor with its frequency field; "Actualiser" reads the
// devices again, "OK" keeps the choice when it is one to keep, and says why otherwise, staying
// open; "Annuler" changes nothing.

#include "base/device_choice.h"

#include <QDialog>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace sornafex {

class TUiServices;

class TfmDevice final : public QDialog {
    Q_OBJECT
public:
    // ui shows the message of a choice that is not one to keep.
    TfmDevice(TDeviceChoice& choice, TUiServices& ui, QWidget* parent = nullptr);

    // The value kept by "OK"; nullopt before, and after "Annuler".
    const std::optional<std::string>& Value() const { return m_value; }

    QTreeWidget* List() const { return m_list; }
    QLineEdit* FrequencyEdit() const { return m_frequency; }
    QPushButton* RefreshButton() const { return m_refresh; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    // Fills the list from the choice and selects the entry named selectName, else the current.
    void Fill(const std::string& selectName);
    void Refresh();
    void TryAccept();
    void UpdateFrequencyState();
    int SelectedEntry() const;

    TDeviceChoice& m_choice;
    TUiServices& m_ui;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_frequency = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    std::optional<std::string> m_value;
};

} // namespace sornafex
