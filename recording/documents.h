#pragma once

// The document of the main window: the current file name, the unsaved-data flag, and the
// commands New, Open, Save and Save as with the unsaved-data prompt that guards them and the
// window's closing. Runs on the UI thread; knows the window and the sample history only through
// TDocumentView, and the user only through TUiServices.

#include "base/file_io.h"
#include "base/ui_services.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sornafex {

// What the document commands need from the main window and its sample history.
class TDocumentView {
public:
    virtual ~TDocumentView() = default;

    // The history's points, oldest first.
    virtual std::vector<double> HistoryValues() const = 0;
    // Fills the history with 256 zero samples.
    virtual void InitGraph() = 0;
    // Appends one sample as an acquisition does: status panel 1, the no-data title, and the
    // unsaved-data flag (through TDocument::MarkUnsaved).
    virtual void AddSample(std::int32_t value) = 0;
    // Adds the marker of that number to the sample that will be added next.
    virtual void AddMarker(int number) = 0;
    // The caption rule: "%s - [%s]" with the title and the file-name part of fileName.
    virtual void UpdateCaption(const std::string& fileName) = 0;
    // Status panel 1.
    virtual void SetFrequencyText(const std::string& text) = 0;
};

class TDocument {
public:
    // openDialog and saveDialog are the window's OpenDialog1 and SaveDialog1: their initial
    // folder is set at start-up, and the chart export shares SaveDialog1 (its proposed name
    // among other things). All of them must outlive the document.
    TDocument(TDocumentView& view, TUiServices& ui, TFileDialogOptions& openDialog,
              TFileDialogOptions& saveDialog, TFileSystem& fs = TFileSystem::Posix());

    // Empty for a new document, else the full path last opened or saved.
    const std::string& FileName() const { return m_fileName; }
    bool Unsaved() const { return m_unsaved; }
    // Every sample that enters the history sets the flag.
    void MarkUnsaved() { m_unsaved = true; }

    // The commands. Each may end by EAbort (the user chose "Annuler", silently) or by EFileError
    // (for the error box); either way, what the command had not yet done stays undone.

    // After the prompt: 256 zeros, no file name, no unsaved data.
    void New();
    // After the prompt, the open dialog (recordings, or run journals) and the file read in full:
    // the history holds the last 256 values of the file (zeros before them when there are
    // fewer) with a journal's markers, the file name is the path chosen, status panel 1 shows
    // "-", no unsaved data. A file that cannot be read changes nothing at all. True when a file
    // was read, false when the dialog was cancelled.
    bool Open();
    // Writes to the current file, or runs Save as for a new document and for one read from a
    // journal (which a recording must never overwrite). Returns false when the user cancelled
    // the Save as dialog.
    bool Save();
    // The save dialog, then the write. Returns false when the user cancelled the dialog. A name
    // in ".csv" (a journal's, which "Ouvrir..." would read as one) is refused with a message, and
    // the dialog comes back proposing the same name in ".dat".
    bool SaveAs();

    // Loads the file into the history (see Open) without asking anything: a ".csv" file as a
    // run journal (EJournalFormat when it is not one), any other as a recording.
    void ReadRecording(const std::string& path);
    // Writes the history to the file and names the document after it; the unsaved-data flag is
    // left to the caller. A failure leaves the file, the name and the flag as they were.
    void WriteRecording(const std::string& path);

    // The unsaved-data prompt: returns when the command may go on (nothing unsaved, "&Non", or
    // "&Oui" and the data saved); throws EAbort for "Annuler" and also when the user answered
    // "&Oui" and then cancelled the Save as dialog, so that unsaved data are never dropped
    // without the user saying so. A failed save throws its EFileError.
    void ConfirmDiscard();

private:
    TDocumentView& m_view;
    TUiServices& m_ui;
    TFileDialogOptions& m_openDialog;
    TFileDialogOptions& m_saveDialog;
    TFileSystem& m_fs;
    std::string m_fileName;
    bool m_unsaved = false;
    // The current file is a journal: Save goes through Save as.
    bool m_journal = false;
};

// path with ".<ext>" appended when its file-name part has no extension.
std::string WithDefaultExtension(const std::string& path, std::string_view ext);
// Whether the file-name part of path ends in ".csv", in any letter case.
bool IsJournalPath(std::string_view path);

} // namespace sornafex
