// Run journals and markers of the main window: one journal for each run, the "Marquer" command
// (F8: a free marker, which the examination labels and may undo), and the journals' folder.

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
    // A lost port reads no carrier: a window that met a loss, even for a moment, measured nothing.
    m_journal->journal.Sample(sample, Acquisition().LastWindowMeasured());
    ExamSample();
}

void TfmMain::JournalPortEvent(TJournalEvent event) {
    m_journal->journal.Event(event);
}

void TfmMain::ActCaptureMarkExecute() {
    const TMonoNs at = MonotonicNs();
    if (!Acquiring)
        return;
    // The journal numbers the markers of its run; the examination labels them on the charts.
    ExamMarker(at, m_journal->journal.Mark(at));
}

void TfmMain::ActJournalOpenFolderExecute() {
    // Before the first run the folder does not exist yet; an empty folder tells the user more
    // than the file manager's complaint. Failures are as silent as the readme's.
    const std::string& folder = m_journal->folder;
    MakeFolder(folder);
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(folder)});
}

} // namespace sornafex
