// Chart, sample history and vertical scale commands of the main window.

#include "app/frmMain.h"
#include "chart/chart_widget.h"
#include "chart/uGraph.h"

#include <QAction>

namespace sornafex {

namespace {

// The window as the history sees it: status panel 1 and the document's unsaved-data flag.
class TWindowGraphHost final : public chart::TGraphHost {
public:
    TWindowGraphHost(TfmMain& window, const std::function<void()>& dataModified)
        : m_window(window), m_dataModified(dataModified) {}

    void SetFrequencyText(const std::string& text) override { m_window.SetPanelText(1, text); }
    void SetDataModified() override {
        if (m_dataModified)
            m_dataModified();
    }

private:
    TfmMain& m_window;
    const std::function<void()>& m_dataModified;
};

} // namespace

void TfmMain::CreateGraph() {
    chart::TLineSeries& series1 = chart::SetupMainChart(*Chart1);
    m_graphHost = std::make_unique<TWindowGraphHost>(*this, m_dataModified);
    m_graph = std::make_unique<chart::TGraph>(*Chart1, series1, *m_graphHost);
    ActShowNoData->setChecked(m_graph->ShowNoData());
}

void TfmMain::SetDataModifiedHandler(std::function<void()> handler) {
    m_dataModified = std::move(handler);
}

void TfmMain::ActGraphSetXMinExecute() {
    m_graph->ActGraphSetXMin(m_ui);
}

void TfmMain::ActGraphSetXMaxExecute() {
    m_graph->ActGraphSetXMax(m_ui);
}

void TfmMain::ActGraphSetXAutoExecute() {
    m_graph->ActGraphSetXAuto();
}

void TfmMain::ActGraphSetXDefaultExecute() {
    m_graph->ActGraphSetXDefault();
}

void TfmMain::ActShowNoDataExecute() {
    // The action inverts its own check mark when triggered; the preference follows the history's
    // option so that the two never disagree.
    ActShowNoData->setChecked(m_graph->ToggleShowNoData(Acquiring));
}

} // namespace sornafex
