// The time from creating the main window to its first paint, as at program start: the window,
// the start-up routine (paths, the probe of COM1 to COM50, the preferences with their port
// switch, the writability test, New), show, and the events until the chart has painted. The
// preferences map COM1 and COM2 to simulated sensors and COM3 to COM50 to no device, so no serial
// port of this machine is touched. The first window of a process also loads fonts and styles;
// it is measured on its own. Run with QT_QPA_PLATFORM=offscreen for numbers without a display.

#include "app/frmMain.h"
#include "app/qt_ui_bridge.h"
#include "app/qt_ui_services.h"
#include "chart/chart_widget.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>
#include <string>

namespace {

using namespace sornafex;

// A program folder with its preferences file; the executable's path names the file.
class TProgramFolder {
public:
    TProgramFolder() {
        std::ofstream ini(m_folder.filePath(QStringLiteral("sornafex.ini")).toStdString());
        ini << "[Com]\nDevice1=sim:40-90\nDevice2=sim:0\n";
        for (int n = 3; n <= 50; ++n)
            ini << "Device" << n << "=sim:none\n";
    }
    std::string ExecutablePath() const {
        return m_folder.filePath(QStringLiteral("sornafex")).toStdString();
    }

private:
    QTemporaryDir m_folder;
};

// One start-up; returns the window, painted once.
std::unique_ptr<TfmMain> StartUpToFirstPaint(TUiServices& ui, TUiBridge& bridge,
                                             const std::string& executablePath) {
    auto window = std::make_unique<TfmMain>(ui, bridge);
    window->StartUp(executablePath);
    window->show();
    while (window->Chart1->PaintCount() == 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return window;
}

void BM_StartUpToFirstPaint(benchmark::State& state) {
    const TProgramFolder folder;
    TQtUiBridge bridge;
    TQtUiServices ui("Sornafex");
    for (auto _ : state) {
        auto window = StartUpToFirstPaint(ui, bridge, folder.ExecutablePath());
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
// First the process's first window, then the following ones.
BENCHMARK(BM_StartUpToFirstPaint)
    ->Name("BM_StartUpToFirstPaint/first_window")
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpToFirstPaint)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
