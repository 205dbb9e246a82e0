// Run journals and markers of the main window: one journal for each run, the "Marquer" command,
// and the journals' folder.

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "base/locations.h"
#include "base/uRes.h"
#include "chart/uGraph.h"
#include "recording/journal.h"
#include "settings/uPrefs.h"

#include <QMetaObject>
#include <QProcess>
#include <utility>

namespace sornafex {

class TfmMain::TJournalArea {
public:
    TJournal journal;
    std::string folder;
    bool writeQueued = false;
};

void TfmMain::TJournalAreaDeleter::operator()(TJournalArea* area) const {
    delete area;
}

void TfmMain::CreateJournal() {
    m_journal.reset(new TJournalArea);
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
    m_journal->journal.Sample(sample);
    QueueJournalWrite();
}

void TfmMain::JournalPortEvent(TJournalEvent event) {
    m_journal->journal.PortEvent(event);
    QueueJournalWrite();
}

void TfmMain::QueueJournalWrite() {
    // A sample's row is made during its hand-off, while the counting loop waits; the file is
    // written once the loop has been let go, in the next turn of the event loop. A window that
    // goes away first takes the queued write with it (the journal writes the rest as it ends).
    if (std::exchange(m_journal->writeQueued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_journal->writeQueued = false;
            m_journal->journal.Write();
        },
        Qt::QueuedConnection);
}

void TfmMain::ActCaptureMarkExecute() {
    if (!Acquiring)
        return;
    const int number = m_journal->journal.Mark();
    QueueJournalWrite();
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
