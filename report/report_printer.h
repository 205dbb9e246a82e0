#pragma once

// The examination's report on paper, or in a PDF file through the print dialog: the Qt side of
// report_layout.h, and the command "Rapport...".

#include "base/ui_services.h"
#include "report/session_report.h"

#include <string>

class QPrinter;

namespace sornafex {

// A4 portrait inside margins of 15 mm, the job named after the journal: what the print dialog
// then offers.
void PrepareReportPrinter(QPrinter& printer, const TSessionReport& report);

// Prints report on printer, laid out on its page as the printer has it set; returns the number of
// pages. Throws std::runtime_error with the French reason when the printer refuses the job,
// which is then aborted.
int PrintSessionReport(const TSessionReport& report, QPrinter& printer);

// "Rapport...": the report of the journal at journalPath, printed after the print dialog. With
// no journal (an empty path) the message kReportNoSession says why there is none. A journal or
// a sheet that cannot be read throws its message before any dialog, and a job the printer
// refuses throws its own. True when the report was printed.
bool ReportCommand(const std::string& journalPath, TUiServices& ui, QPrinter& printer);

} // namespace sornafex
