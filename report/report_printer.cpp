#include "report/report_printer.h"

#include "base/uRes.h"
#include "chart/qpainter_canvas.h"
#include "report/report_layout.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <stdexcept>

namespace sornafex {

namespace {

constexpr double kMarginMm = 15;

// The hourglass while a session is read and while it prints: a ten-hour one takes seconds.
class TWaitCursor {
public:
    TWaitCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~TWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

TSessionReport ReadWaiting(const std::string& journalPath) {
    const TWaitCursor wait;
    return ReadSessionReport(journalPath);
}

} // namespace

void PrepareReportPrinter(QPrinter& printer, const TSessionReport& report) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                      QPageLayout::Millimeter));
    const std::string& path = report.journalPath;
    printer.setDocName(QString::fromStdString("Rapport " + path.substr(path.rfind('/') + 1)));
}

int PrintSessionReport(const TSessionReport& report, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer))
        throw std::runtime_error(std::string(res::kReportPrintFailed));
    int pages = 0;
    try {
        // The layout's units are the chart's pixels; the scales stretch them to the printer's.
        const double scaleX = printer.logicalDpiX() / double(kReportUnitsPerInch);
        const double scaleY = printer.logicalDpiY() / double(kReportUnitsPerInch);
        painter.scale(scaleX, scaleY);
        chart::TQPainterCanvas canvas(painter);
        const TReportLayout layout(report, canvas,
                                   {static_cast<int>(printer.width() / scaleX),
                                    static_cast<int>(printer.height() / scaleY)});
        for (; pages < layout.PageCount(); ++pages) {
            if (pages > 0 && !printer.newPage())
                throw std::runtime_error(std::string(res::kReportPrintFailed));
            layout.DrawPage(canvas, pages);
        }
    } catch (...) {
        printer.abort();
        if (painter.isActive())
            painter.end();
        throw;
    }
    if (!painter.end())
        throw std::runtime_error(std::string(res::kReportPrintFailed));
    return pages;
}

bool ReportCommand(const std::string& journalPath, TUiServices& ui, QPrinter& printer) {
    if (journalPath.empty()) {
        ui.ShowMessage(std::string(res::kReportNoSession));
        return false;
    }
    const TSessionReport report = ReadWaiting(journalPath);
    PrepareReportPrinter(printer, report);
    if (!ui.PrintDialog(printer))
        return false;
    const TWaitCursor wait;
    PrintSessionReport(report, printer);
    return true;
}

} // namespace sornafex
