// Recordings (New, Open, Save, Save as) and preferences of the main window: the glue between the
// window and the toolkit-free document and preference modules.

#include "acquisition/acquisition.h"
#include "app/frmMain.h"
#include "base/locations.h"
#include "chart/line_series.h"
#include "chart/uGraph.h"
#include "recording/documents.h"
#include "settings/uPrefs.h"

#include <QAction>

namespace sornafex {

// The window as the document and the preferences see it.
class TfmMain::TDocumentsArea final : public TDocumentView, public TPreferencesTarget {
public:
    explicit TDocumentsArea(TfmMain& window)
        : form(window), document(*this, window.m_ui, window.OpenDialog1, window.SaveDialog1) {}

    // TDocumentView
    std::vector<double> HistoryValues() const override {
        const chart::TChartValueList& values = form.Graph().Series().YValues();
        std::vector<double> history;
        history.reserve(static_cast<std::size_t>(values.Count()));
        for (int i = 0; i < values.Count(); ++i)
            history.push_back(values.Value(i));
        return history;
    }
    void InitGraph() override {
        form.Graph().InitGraph();
        form.ExamNewHistory();
    }
    void AddSample(std::int32_t value) override { form.Graph().AddSample(value); }
    void AddMarker(int number) override { form.Graph().AddMarker(std::to_string(number)); }
    void UpdateCaption(const std::string& fileName) override { form.UpdateCaption(fileName); }
    void SetFrequencyText(const std::string& text) override { form.SetPanelText(1, text); }

    // TPreferencesTarget
    void ApplyStartupPort(std::int32_t portNumber) override { form.ApplyStartupPort(portNumber); }
    void ApplyVerticalRange(std::int32_t min, std::int32_t max) override {
        chart::TGraph& graph = form.Graph();
        graph.SetVerticalMin(min);
        graph.SetVerticalMax(max);
        graph.ApplyVerticalRange(min, max);
    }
    void SetShowNoData(bool on) override {
        form.Graph().SetShowNoData(on);
        form.ActShowNoData->setChecked(on);
    }
    void ApplyCaptureState() override { form.ApplyCaptureState(); }

    // The values as the commands have left them, gathered from where each one lives.
    TPreferences CurrentPreferences() const {
        const chart::TGraph& graph = form.Graph();
        return TPreferences{form.PortNumberPreference(),
                            graph.VerticalMin(),
                            graph.VerticalMax(),
                            graph.ShowNoData(),
                            form.Acquisition().FullSpeedPoll(),
                            form.ResponsePreferences(),
                            form.SoundPreferences(),
                            form.QuestionPreferences()};
    }

    TfmMain& form;
    TDocument document;
    bool preferencesWritable = false;
};

void TfmMain::TDocumentsAreaDeleter::operator()(TDocumentsArea* area) const {
    delete area;
}

TDocument& TfmMain::Document() const {
    return m_documents->document;
}

bool TfmMain::PreferencesWritable() const {
    return m_documents->preferencesWritable;
}

void TfmMain::CreateDocuments() {
    m_documents.reset(new TDocumentsArea(*this));
    SetDataModifiedHandler([this] { m_documents->document.MarkUnsaved(); });
}

void TfmMain::PointDialogsAtDocumentsFolder() {
    OpenDialog1.initialDir = m_paths.documentsFolder;
    SaveDialog1.initialDir = m_paths.documentsFolder;
}

void TfmMain::LoadAndApplyPreferences() {
    TPreferences prefs = LoadPreferences(m_paths.preferencesPath);
    ApplyPreferences(prefs, *m_documents);
    Acquisition().SetFullSpeedPoll(prefs.fullSpeedPoll);
    ApplyResponsePreferences(prefs.response);
    ApplySoundPreferences(prefs.sound);
    ApplyQuestionPreferences(prefs.questions);
}

void TfmMain::TestPreferencesWritable() {
    // An installed program's configuration folder may not exist yet; a folder that can't be made
    // fails the test like any other unwritable place.
    m_documents->preferencesWritable = MakeFolderFor(m_paths.preferencesPath) &&
                                       sornafex::TestPreferencesWritable(m_paths.preferencesPath);
}

bool TfmMain::CloseQueryDocument() {
    m_documents->document.ConfirmDiscard();
    return true;
}

void TfmMain::SavePreferencesAtClose() {
    // The folder may have been removed while the program ran; the save reports what still fails.
    if (m_documents->preferencesWritable)
        MakeFolderFor(m_paths.preferencesPath);
    SavePreferences(m_paths.preferencesPath, m_documents->CurrentPreferences(),
                    m_documents->preferencesWritable);
}

void TfmMain::ActNewExecute() {
    m_documents->document.New();
}

void TfmMain::ActOpenExecute() {
    TDocument& document = m_documents->document;
    if (document.Open() && IsJournalPath(document.FileName()))
        SetReportJournal(document.FileName());
}

void TfmMain::ActSaveExecute() {
    m_documents->document.Save();
}

void TfmMain::ActSaveAsExecute() {
    m_documents->document.SaveAs();
}

} // namespace sornafex
