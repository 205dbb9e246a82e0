// Recordings (New, Open, Save, Save as) and preferences of the main window.

#include "app/frmMain.h"

namespace sornafex {

void TfmMain::CreateDocuments() {}

void TfmMain::LoadAndApplyPreferences() {}

void TfmMain::TestPreferencesWritable() {}

bool TfmMain::CloseQueryDocument() {
    return true;
}

void TfmMain::SavePreferencesAtClose() {}

void TfmMain::ActNewExecute() {
    UpdateCaption("");
}

void TfmMain::ActOpenExecute() {}

void TfmMain::ActSaveExecute() {}

void TfmMain::ActSaveAsExecute() {}

} // namespace sornafex
