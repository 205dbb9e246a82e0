#pragma once

// The device dialog of a port: the machine's serial devices (name, kernel name, what the system
// says of each), a device typed by its path, the simulated sensor with its frequency and the
// simulated sensor following a profile file ("Parcourir..." chooses it), each kind with its own
// field, enabled while its entry is selected. "Actualiser" reads the devices again, "OK" keeps
// the choice when it is one to keep and says why otherwise, staying open; "Annuler" changes
// nothing. The dialog is as large as its content needs, and opens beside its owner window.

#include "base/device_choice.h"

#include <QDialog>
#include <QPoint>
#include <optional>
#include <string>

class QLineEdit;
class QPushButton;
class QRect;
class QSize;
class QTreeWidget;

namespace sornafex {

class TUiServices;

// Where a window of outer size size goes so that it covers nothing of owner (the owner's outer
// frame): to its right, else its left, below it or above it, wholly within screen, level with
// it. When none of these has room, the one of them that, moved into the screen, covers the
// least of keepClear (the owner's chart); the first in that order on a tie.
QPoint PlaceBeside(const QSize& size, const QRect& owner, const QRect& keepClear,
                   const QRect& screen);

// The outer size, no larger than size in either direction and no smaller than minimum, at which
// a window stands beside owner within screen: size itself when a side holds it (or when no side
// holds minimum), else as much of it as the side with the most room holds.
QSize FitBeside(const QSize& size, const QSize& minimum, const QRect& owner, const QRect& screen);

// Moves a window, on its first show, beside its parent (the main window) on the parent's screen,
// no larger than it is and, where no side holds that, as large as the roomiest side holds down to
// least (its client size).
void PlaceBesideParent(QWidget& window, const QSize& least);

class TfmDevice final : public QDialog {
    Q_OBJECT
public:
    // ui shows the message of a choice that is not one to keep, and the file dialog of
    // "Parcourir...". parent: the owner window the dialog opens beside.
    TfmDevice(TDeviceChoice& choice, TUiServices& ui, QWidget* parent = nullptr);

    // The value kept by "OK"; nullopt before, and after "Annuler".
    const std::optional<std::string>& Value() const { return m_value; }

    QTreeWidget* List() const { return m_list; }
    QLineEdit* PathEdit() const { return m_path; }
    QLineEdit* FrequencyEdit() const { return m_frequency; }
    QLineEdit* ProfileEdit() const { return m_profile; }
    QPushButton* BrowseButton() const { return m_browse; }
    QPushButton* RefreshButton() const { return m_refresh; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* CancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Fills the list from the choice and selects the entry named selectName, else the current.
    void Fill(const std::string& selectName);
    void Refresh();
    void Browse();
    void TryAccept();
    void UpdateFields();
    int SelectedEntry() const;
    // The field of the selected entry's kind; null for a device of the list.
    QLineEdit* SelectedField() const;
    // Sizes the dialog to its content and, when its owner is on the screen, puts it beside.
    void FitAndPlace();

    TDeviceChoice& m_choice;
    TUiServices& m_ui;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_path = nullptr;
    QLineEdit* m_frequency = nullptr;
    QLineEdit* m_profile = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    std::optional<std::string> m_value;
    bool m_placed = false;
};

} // namespace sornafex
