#include "recording/documents.h"

#include "base/errors.h"
#include "base/uRes.h"
#include "recording/dat_format.h"
#include "recording/journal_reader.h"

#include <algorithm>
#include <cctype>
#include <unistd.h>

namespace sornafex {

namespace {

// The two dialogs take their filter and extension anew each time: the chart export shares the
// save dialog and leaves its own there. The proposed name is left as the dialog last held it.
void PrepareDataDialog(TFileDialogOptions& dialog) {
    dialog.filter = std::string(res::kDataFilter);
    dialog.defaultExt = std::string(res::kDataExt);
}

} // namespace

std::string WithDefaultExtension(const std::string& path, std::string_view ext) {
    const auto slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (path.find('.', nameStart) != std::string::npos || nameStart == path.size())
        return path;
    return path + "." + std::string(ext);
}

bool IsJournalPath(std::string_view path) {
    const std::string_view name = path.substr(path.rfind('/') + 1);
    const std::string_view ext = res::kJournalExt;
    if (name.size() <= ext.size() + 1 || name[name.size() - ext.size() - 1] != '.')
        return false;
    const std::string_view tail = name.substr(name.size() - ext.size());
    return std::equal(tail.begin(), tail.end(), ext.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

TDocument::TDocument(TDocumentView& view, TUiServices& ui, TFileDialogOptions& openDialog,
                     TFileDialogOptions& saveDialog, TFileSystem& fs)
    : m_view(view), m_ui(ui), m_openDialog(openDialog), m_saveDialog(saveDialog), m_fs(fs) {}

void TDocument::New() {
    ConfirmDiscard();
    m_view.InitGraph();
    m_journal = false;
    m_fileName = std::string(res::Text(res::TMsg::sNewFileName));
    m_view.UpdateCaption(m_fileName);
    m_unsaved = false;
}

bool TDocument::Open() {
    ConfirmDiscard();
    PrepareDataDialog(m_openDialog);
    m_openDialog.filter.append("|").append(res::kJournalFilter);
    m_openDialog.overwritePrompt = false;
    const auto chosen = m_ui.OpenFileDialog(m_openDialog);
    if (!chosen)
        return false;
    // A name typed without an extension means the .dat file, unless a file of that very name
    // exists: then the user picked it.
    const std::string path = ::access(chosen->c_str(), F_OK) == 0
                                 ? *chosen
                                 : WithDefaultExtension(*chosen, res::kDataExt);
    m_openDialog.fileName = path;
    ReadRecording(path);
    return true;
}

bool TDocument::Save() {
    if (m_fileName.empty() || m_journal)
        return SaveAs();
    WriteRecording(m_fileName);
    m_unsaved = false;
    return true;
}

bool TDocument::SaveAs() {
    PrepareDataDialog(m_saveDialog);
    m_saveDialog.overwritePrompt = true;
    for (;;) {
        const auto chosen = m_ui.SaveFileDialog(m_saveDialog);
        if (!chosen)
            return false;
        std::string path = WithDefaultExtension(*chosen, res::kDataExt);
        if (IsJournalPath(path)) {
            // "Ouvrir..." would read the recording as a journal and refuse it, and a journal of
            // that name would be lost. The name is not changed behind the user's back: the dialog
            // comes back with the recording's extension, and asks before replacing that file.
            m_ui.ShowMessage(std::string(res::kRecordingNotJournal));
            path.replace(path.size() - res::kJournalExt.size(), res::kJournalExt.size(),
                         res::kDataExt);
            m_saveDialog.fileName = std::move(path);
            continue;
        }
        m_saveDialog.fileName = path;
        WriteRecording(path);
        m_unsaved = false;
        return true;
    }
}

void TDocument::ReadRecording(const std::string& path) {
    // The whole file is read and converted before the history is touched, so that a file that
    // cannot be read leaves the history, the name and the flag exactly as they were.
    const bool journal = IsJournalPath(path);
    if (journal) {
        const std::vector<TJournalEntry> entries = ReadJournalFile(path, m_fs);
        m_view.InitGraph();
        for (const TJournalEntry& entry : entries) {
            if (entry.kind == TJournalEntry::TKind::Marker)
                m_view.AddMarker(entry.value);
            else
                m_view.AddSample(entry.value);
        }
    } else {
        const std::vector<std::int32_t> values = ReadRecordingFile(path, m_fs);
        m_view.InitGraph();
        for (const std::int32_t value : values)
            m_view.AddSample(value);
    }
    m_journal = journal;
    m_fileName = path;
    m_view.UpdateCaption(m_fileName);
    m_view.SetFrequencyText(std::string(res::kNoFrequency));
    m_unsaved = false;
}

void TDocument::WriteRecording(const std::string& path) {
    const std::vector<double> history = m_view.HistoryValues();
    WriteRecordingFile(path, history, m_fs);
    m_journal = false;
    m_fileName = path;
    m_view.UpdateCaption(m_fileName);
}

void TDocument::ConfirmDiscard() {
    if (!m_unsaved)
        return;
    switch (m_ui.Confirm(std::string(res::Text(res::TMsg::sAskSaveData)))) {
    case TConfirmResult::Yes:
        if (!Save())
            throw EAbort();
        return;
    case TConfirmResult::No:
        return;
    case TConfirmResult::Cancel:
        throw EAbort();
    }
    throw EAbort();
}

} // namespace sornafex
