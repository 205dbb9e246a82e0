// Acquisition run and port selection commands of the main window.

#include "app/frmMain.h"

#include <QAction>

namespace sornafex {

void TfmMain::CreateCapture() {}

void TfmMain::ApplyCaptureState() {
    const bool idle = !Acquiring;
    ActCaptureStart->setEnabled(idle);
    ActCaptureStop->setEnabled(!idle);
    SetPanelText(1, "-");
}

void TfmMain::DetectComPortsAtStartUp() {}

void TfmMain::ActCaptureStartExecute() {}

void TfmMain::ActCaptureStopExecute() {}

void TfmMain::ActComSetComNum1Execute() {}

void TfmMain::ActComSetComNum2Execute() {}

} // namespace sornafex
