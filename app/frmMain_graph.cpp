// Chart, sample history and vertical scale commands of the main window.

#include "app/frmMain.h"

namespace sornafex {

void TfmMain::CreateGraph() {}

void TfmMain::ActGraphSetXMinExecute() {}

void TfmMain::ActGraphSetXMaxExecute() {}

void TfmMain::ActGraphSetXAutoExecute() {}

void TfmMain::ActGraphSetXDefaultExecute() {}

void TfmMain::ActShowNoDataExecute() {}

} // namespace sornafex
