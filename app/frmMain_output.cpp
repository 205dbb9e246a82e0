// Chart output (files, clipboard, printer) and the about box.

#include "app/frmAbout.h"
#include "app/frmMain.h"
#include "chart/chart_output.h"
#include "chart/chart_widget.h"

#include <QPrinter>

namespace sornafex {

void TfmMain::ActGraphExportBitmapExecute() {
    chart::ExportBitmapCommand(*Chart1, m_ui, SaveDialog1);
}

void TfmMain::ActGraphExportMetafileExecute() {
    chart::ExportMetafileCommand(*Chart1, m_ui, SaveDialog1);
}

void TfmMain::ActGraphExportPngExecute() {
    chart::ExportPngCommand(*Chart1, m_ui, SaveDialog1);
}

void TfmMain::ActGraphExportSvgExecute() {
    chart::ExportSvgCommand(*Chart1, m_ui, SaveDialog1);
}

void TfmMain::ActGraphCopyToClipboardBitmapExecute() {
    chart::CopyBitmapCommand(*Chart1, m_ui);
}

void TfmMain::ActGraphCopyToClipboardMetafileExecute() {
    chart::CopyMetafileCommand(*Chart1, m_ui);
}

void TfmMain::ActGraphPrintExecute() {
    if (!m_printer)
        m_printer = std::make_shared<QPrinter>();
    chart::PrintCommand(*Chart1, m_ui, *m_printer);
}

void TfmMain::ActAppAboutExecute() {
    TfmAbout about(m_bridge, this);
    about.exec();
}

} // namespace sornafex
