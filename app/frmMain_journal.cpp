// Run journals and markers of the main window: one journal for each run, the "Marquer" command,
// and the journals' folder.

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "base/locations.h"
#include "base/uRes.h"
#include "chart/uGraph.h"
#include "recording/journal.h"
#include "settings/uPrefs.h"

#include <QProcess>

namespace sornafex {

class TfmMain::TJournalArea {
public:
    explicit TJournalArea(TUiBridge& bridge) : journal(bridge) {}

    TJournal journal;
    std::string folder;
    // The port's device is lost now; it was lost at some moment of the window being counted.
    bool portLost = false;
    bool lossInWindow = false;
};

void TfmMain::TJournalAreaDeleter::operator()(TJournalArea* area) const {
    delete area;
}

void TfmMain::CreateJournal() {
    m_journal.reset(new TJournalArea(Bridge()));
}

const std::string& TfmMain::JournalFolder() const {
    return m_journal->folder;
}

TJournal& TfmMain::Journal() const {
    return m_journal->journal;
}

void TfmMain::LocateJournalFolder() {
    m_journal->folder = sornafex::LocateJournalFolder(ReadJournalFolder(m_paths.preferencesPath),
                                                      m_paths.preferencesPath);
}

void TfmMain::BeginJournal() {
    m_journal->portLost = false;
    m_journal->lossInWindow = false;
    // A journal that cannot be written says so once and leaves the run alone.
    m_journal->journal.BeginRun(
        m_journal->folder, Acquisition().ComPort1().ComNumber(), [this](const std::string& reason) {
            SetPanelText(kActivityPanel, res::FormatStr(res::kJournalFailedFormat, reason));
        });
}

void TfmMain::EndJournal() {
    m_journal->journal.EndRun();
    Graph().SettleMarkers();
}

void TfmMain::JournalSample(std::int32_t sample) {
    // A lost port reads no carrier: a window that saw the loss, even for a moment, measured
    // nothing. The loss is posted to this thread once a dispatcher thread notices it, a few
    // milliseconds after it happened: one in the last of them of a window marks the next one.
    const bool measured = !m_journal->lossInWindow;
    m_journal->lossInWindow = m_journal->portLost;
    m_journal->journal.Sample(sample, measured);
}

void TfmMain::JournalPortEvent(TJournalEvent event) {
    if (event == TJournalEvent::PortLost)
        m_journal->portLost = m_journal->lossInWindow = true;
    else if (event == TJournalEvent::PortReopened)
        m_journal->portLost = false;
    m_journal->journal.Event(event);
}

void TfmMain::ActCaptureMarkExecute() {
    if (!Acquiring)
        return;
    const int number = m_journal->journal.Mark();
    Graph().AddMarker(number);
    SetPanelText(kActivityPanel, res::FormatInt(res::kMarkerStatusFormat, number));
}

void TfmMain::ActJournalOpenFolderExecute() {
    // Before the first run the folder does not exist yet; an empty folder tells the user more
    // than the file manager's complaint. Failures are as silent as the readme's.
    const std::string& folder = m_journal->folder;
    MakeFolder(folder);
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(folder)});
}

} // namespace sornafex
