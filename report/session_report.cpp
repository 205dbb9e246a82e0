#include "report/session_report.h"

#include "base/uRes.h"

#include <stdexcept>

namespace sornafex {

TSessionReport ReadSessionReport(const std::string& journalPath, const TResponseSettings& settings,
                                 TFileSystem& fs) {
    TSessionReport report;
    report.journalPath = journalPath;
    report.session = ReadJournalSession(journalPath, fs);
    // A report without the sheet that exists would say the person was not named: better none.
    try {
        report.sheet = ReadSessionSheet(journalPath, fs).value_or(TSessionSheet{});
    } catch (const EFileError& error) {
        throw std::runtime_error(
            res::FormatStr(res::kReportSheetUnreadableFormat, SessionSheetPathFor(journalPath)) +
            error.what());
    }
    report.settings = settings;
    report.table = MeasureSessionResponses(report.session, settings);
    return report;
}

} // namespace sornafex
