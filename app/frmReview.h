#pragma once

// The review of a whole session, "Revue de séance - [journal]": the session's signal over the
// time of its run (chart/session_view.h has the logic), a strip of the whole session against the
// clock that shows the range in view, the list of its questions, markers and port events, and
// the read-outs. Zoom: Ctrl+wheel, "+" and "−"; scroll: the wheel, the arrows, Page Up and Down,
// Home and End; a click on the strip centres the view there, a click on the chart sets point A,
// a Shift+click point B. "Exporter EDF+..." and "Exporter BIDS..." hand the session on.

#include "chart/session_view.h"
#include "recording/journal_reader.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace sornafex {

class TUiServices;

namespace chart {
class TChart;
}

class TfmReview final : public QWidget {
    Q_OBJECT
public:
    // Reads the journal at path and makes its review (not shown yet), with the wait cursor;
    // throws EFileError or EJournalFormat, the words of "Ouvrir...", and makes none then.
    static TfmReview* Open(const std::string& path, TUiServices& ui, QWidget* parent);

    // The review of session, read from the journal at path. ui shows the exports' dialogs and
    // their failures. parent: the main window, which owns it and which it opens beside.
    TfmReview(std::string path, TJournalSession session, TUiServices& ui, QWidget* parent);
    ~TfmReview() override;

    const std::string& Path() const { return m_path; }
    chart::TSessionView& View() { return *m_view; }
    chart::TChart* Chart() const { return m_chart; }
    chart::TChart* Overview() const { return m_overview; }
    QListWidget* EntryList() const { return m_entries; }
    QLabel* RangeLabel() const { return m_range; }
    QLabel* ReadingLabel() const { return m_reading; }
    QLabel* DifferenceLabel() const { return m_difference; }
    QLabel* StatusLabel() const { return m_status; }
    QPushButton* ExportEdfButton() const { return m_exportEdf; }
    QPushButton* ExportBidsButton() const { return m_exportBids; }

    // The commands: each asks where (through ui) and writes, or says why it could not.
    void ExportEdf();
    void ExportBids();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // After every change of the range in view: its text.
    void Viewed();
    void PointAt(int pixelX, bool second);
    // Runs an export, with the wait cursor; its failure goes to the error box.
    void Export(const std::function<void()>& write, const std::string& target,
                const std::string& done);

    std::string m_path;
    TJournalSession m_session;
    TUiServices& m_ui;
    chart::TChart* m_chart = nullptr;
    chart::TChart* m_overview = nullptr;
    std::unique_ptr<chart::TSessionView> m_view;
    QListWidget* m_entries = nullptr;
    QLabel* m_range = nullptr;
    QLabel* m_signal = nullptr;
    QLabel* m_reading = nullptr;
    QLabel* m_difference = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_exportEdf = nullptr;
    QPushButton* m_exportBids = nullptr;
    bool m_placed = false;
};

} // namespace sornafex
