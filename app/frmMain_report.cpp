// The examination's report of the main window: "Rapport..." prints the session last opened or
// recorded.

#include "app/frmMain.h"
#include "base/mono_clock.h"
#include "base/ui_bridge.h"
#include "recording/journal.h"
#include "report/report_printer.h"

#include <QPrinter>

namespace sornafex {

namespace {

// The writer of a run just ended flushes and closes its file within moments; a disk that takes
// longer than this leaves the report with the rows written so far.
constexpr TMonoNs kJournalWait = 5 * kNsPerSecond;

} // namespace

void TfmMain::SetReportJournal(std::string path) {
    m_reportJournal = std::move(path);
}

void TfmMain::ActFileReportExecute() {
    std::string journal = m_reportJournal;
    if (journal.empty()) {
        const TMonoNs deadline = MonotonicNs() + kJournalWait;
        m_bridge.ProcessMessagesUntil([this] { return Journal().Idle(); },
                                      [deadline] { return MonotonicNs() >= deadline; });
        journal = Journal().Path();
    }
    if (!m_reportPrinter)
        m_reportPrinter = std::make_shared<QPrinter>(QPrinter::HighResolution);
    ReportCommand(journal, m_ui, *m_reportPrinter);
}

} // namespace sornafex
