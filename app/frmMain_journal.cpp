// Run journals and markers of the main window: one journal for each run, the "Marquer" command
// (F8: a free marker, which the examination labels and may undo), and the journals' folder.

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "base/locations.h"
#include "base/uRes.h"
#include "chart/uGraph.h"
#include "recording/journal.h"
#include "settings/uPrefs.h"

#include <QLabel>
#include <QProcess>
#include <optional>

namespace sornafex {

class TfmMain::TJournalArea {
public:
    explicit TJournalArea(TUiBridge& bridge) : journal(bridge) {}

    TJournal journal;
    std::string folder;
    // Runs begun since start-up: a failure says which run it belongs to.
    int runs = 0;
    // The failure of the last run's journal.
    std::optional<TJournal::TFailure> failure;

    // Stop's words for the last run.
    std::string StoppedText() const {
        if (!failure)
            return std::string(res::Text(res::TMsg::sCaptureStopped));
        return res::FormatStr(failure->incomplete ? res::kStoppedJournalIncompleteFormat
                                                  : res::kStoppedWithoutJournalFormat,
                              failure->reason);
    }
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
    // A journal that cannot be written leaves the run alone, and says so until the run ends.
    const int run = ++m_journal->runs;
    m_journal->failure.reset();
    ShowJournalMark({}, {});
    m_journal->journal.BeginRun(m_journal->folder, Acquisition().ComPort1().ComNumber(),
                                [this, run](const TJournal::TFailure& failure) {
                                    JournalFailed(run, failure.reason, failure.incomplete);
                                });
}

void TfmMain::EndJournal() {
    m_journal->journal.EndRun();
    Graph().SettleMarkers();
    // Stop's words take over from the mark.
    ShowJournalMark({}, {});
    SetPanelToolTip(kActivityPanel, {});
    if (m_journal->failure)
        Acquisition().SetActivityText(m_journal->StoppedText());
}

void TfmMain::JournalFailed(int run, const std::string& reason, bool incomplete) {
    const std::string mark(incomplete ? res::kJournalMarkIncomplete : res::kJournalMarkNone);
    if (run != m_journal->runs) {
        // The last flush of a run already over failed once the next one had begun.
        ShowJournalMark(mark, res::FormatStr(res::kPreviousJournalFailedFormat, reason));
        return;
    }
    m_journal->failure = TJournal::TFailure{reason, incomplete};
    if (!Acquiring) {
        // Its last flush or its close, after Stop: Stop's words are said again.
        Acquisition().SetActivityText(m_journal->StoppedText());
        return;
    }
    const std::string why = res::FormatStr(res::kJournalFailedFormat, reason);
    ShowJournalMark(mark, why);
    SetPanelToolTip(kActivityPanel, why);
}

void TfmMain::ShowJournalMark(const std::string& mark, const std::string& why) {
    m_journalMark->setText(QString::fromStdString(mark));
    m_journalMark->setToolTip(QString::fromStdString(why));
    m_journalMark->setVisible(!mark.empty());
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
