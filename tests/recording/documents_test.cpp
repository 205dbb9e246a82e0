#include "base/errors.h"
#include "recording/dat_format.h"
#include "recording/documents.h"
#include "recording/journal_reader.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using test::ReadBytes;
using test::TScratchFolder;
using test::TScriptedUiServices;
using test::WriteBytes;

// The window and its history as the document sees them: AddSample behaves as the chart's does
// (shift, append, readout, unsaved data).
class TFakeView final : public TDocumentView {
public:
    TDocument* document = nullptr;
    std::vector<double> history = std::vector<double>(kHistorySize, 0.0);
    std::string captionFileName = "<none>";
    std::string panel1;
    int addSampleCalls = 0;
    std::vector<int> markers;

    std::vector<double> HistoryValues() const override { return history; }
    void InitGraph() override {
        history.assign(kHistorySize, 0.0);
        markers.clear();
    }
    void AddMarker(int number) override { markers.push_back(number); }
    void AddSample(std::int32_t value) override {
        ++addSampleCalls;
        history.erase(history.begin());
        history.push_back(value);
        panel1 = std::to_string(value) + " Hz";
        document->MarkUnsaved();
    }
    void UpdateCaption(const std::string& fileName) override { captionFileName = fileName; }
    void SetFrequencyText(const std::string& text) override { panel1 = text; }
};

class DocumentTest : public testing::Test {
protected:
    DocumentTest() {
        view.document = &document;
        openDialog.initialDir = folder.Path() + "/";
        saveDialog.initialDir = folder.Path() + "/";
    }

    // A run delivered these samples.
    void Acquire(std::initializer_list<std::int32_t> samples) {
        for (const auto s : samples)
            view.AddSample(s);
    }

    TScratchFolder folder;
    TScriptedUiServices ui;
    TFileDialogOptions openDialog;
    TFileDialogOptions saveDialog;
    TFakeView view;
    test::TFaultyFileSystem fs;
    TDocument document{view, ui, openDialog, saveDialog, fs};
};

const std::string kAsk = "Données actuelles non sauvegardées. \rLes sauver maintenant ?";

TEST_F(DocumentTest, NewWithNothingUnsavedAsksNothing) {
    document.New();
    EXPECT_TRUE(ui.Shown().empty());
    EXPECT_EQ(view.captionFileName, "");
}

TEST_F(DocumentTest, NewClearsEverything) {
    Acquire({5, 6});
    ui.ExpectConfirm(TConfirmResult::No);
    document.New();
    EXPECT_EQ(view.history, std::vector<double>(kHistorySize, 0.0));
    EXPECT_EQ(document.FileName(), "");
    EXPECT_EQ(view.captionFileName, "");
    EXPECT_FALSE(document.Unsaved());
    ASSERT_EQ(ui.Shown().size(), 1u);
    EXPECT_EQ(ui.Shown()[0].text, kAsk);
}

TEST_F(DocumentTest, CancelInThePromptKeepsEverything) {
    const std::string path = folder / "kept.dat";
    WriteBytes(path, "1\r\n2\r\n");
    ui.ExpectOpen(path);
    document.Open();
    Acquire({9});
    const auto history = view.history;

    ui.ExpectConfirm(TConfirmResult::Cancel);
    EXPECT_THROW(document.New(), EAbort);
    ui.ExpectConfirm(TConfirmResult::Cancel);
    EXPECT_THROW(document.Open(), EAbort);
    EXPECT_EQ(view.history, history);
    EXPECT_EQ(document.FileName(), path);
    EXPECT_EQ(view.captionFileName, path);
    EXPECT_TRUE(document.Unsaved());
}

TEST_F(DocumentTest, YesSavesANamedDocumentThenGoesOn) {
    const std::string path = folder / "named.dat";
    WriteBytes(path, "1\r\n");
    ui.ExpectOpen(path);
    document.Open();
    Acquire({3});
    ui.ExpectConfirm(TConfirmResult::Yes);
    document.New();
    std::vector<std::int32_t> saved(kHistorySize, 0);
    saved[254] = 1;
    saved[255] = 3;
    EXPECT_EQ(ParseRecording(ReadBytes(path)), saved);
    EXPECT_EQ(document.FileName(), "");
    EXPECT_FALSE(document.Unsaved());
}

TEST_F(DocumentTest, YesOnANewDocumentShowsSaveAs) {
    Acquire({4});
    ui.ExpectConfirm(TConfirmResult::Yes);
    ui.ExpectSave(folder / "chosen.dat");
    document.New();
    EXPECT_EQ(ParseRecording(ReadBytes(folder / "chosen.dat")).back(), 4);
    EXPECT_EQ(document.FileName(), "");
}

// Mended: answering "&Oui" and then cancelling the save dialog must not drop the data.
TEST_F(DocumentTest, YesThenCancelledSaveAsEndsTheCommandAsCancel) {
    Acquire({4, 5});
    const auto history = view.history;
    ui.ExpectConfirm(TConfirmResult::Yes);
    ui.ExpectSave(std::nullopt);
    EXPECT_THROW(document.New(), EAbort);
    EXPECT_EQ(view.history, history);
    EXPECT_TRUE(document.Unsaved());

    ui.ExpectConfirm(TConfirmResult::Yes);
    ui.ExpectSave(std::nullopt);
    EXPECT_THROW(document.Open(), EAbort); // no open dialog follows
    EXPECT_EQ(view.history, history);
    EXPECT_TRUE(document.Unsaved());
}

TEST_F(DocumentTest, YesWithAFailingSaveEndsTheCommandWithTheError) {
    Acquire({4});
    fs.FailOn(test::TFaultyFileSystem::TCall::Write, ENOSPC);
    ui.ExpectConfirm(TConfirmResult::Yes);
    ui.ExpectSave(folder / "full.dat");
    EXPECT_THROW(document.New(), EFileError);
    EXPECT_EQ(view.history.back(), 4);
    EXPECT_TRUE(document.Unsaved());
    EXPECT_EQ(document.FileName(), "");
}

TEST_F(DocumentTest, OpenShowsTheDataDialogAndLoadsTheFile) {
    const std::string path = folder / "three hundred.dat";
    std::string bytes;
    for (int i = 1; i <= 300; ++i)
        bytes += std::to_string(i) + "\r\n";
    WriteBytes(path, bytes);
    ui.ExpectOpen(path);
    document.Open();

    ASSERT_EQ(ui.Shown().size(), 1u);
    const TFileDialogOptions& shown = ui.Shown()[0].fileOptions;
    EXPECT_EQ(shown.filter, "Données (*.dat)|*.dat|Journaux (*.csv)|*.csv");
    EXPECT_EQ(shown.defaultExt, "dat");
    EXPECT_EQ(shown.initialDir, folder.Path() + "/");

    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(view.history[static_cast<std::size_t>(i)], 45 + i);
    EXPECT_EQ(document.FileName(), path);
    EXPECT_EQ(view.captionFileName, path);
    EXPECT_EQ(view.panel1, "-");
    EXPECT_FALSE(document.Unsaved());
    // Only the values that stay in the history pass through AddSample.
    EXPECT_EQ(view.addSampleCalls, 256);
}

TEST_F(DocumentTest, OpenAnEmptyFile) {
    Acquire({8});
    const std::string path = folder / "empty.dat";
    WriteBytes(path, "");
    ui.ExpectConfirm(TConfirmResult::No);
    ui.ExpectOpen(path);
    document.Open();
    EXPECT_EQ(view.history, std::vector<double>(kHistorySize, 0.0));
    EXPECT_EQ(view.captionFileName, path);
    EXPECT_EQ(view.panel1, "-");
    EXPECT_FALSE(document.Unsaved());
}

TEST_F(DocumentTest, CancelledOpenDialogChangesNothing) {
    Acquire({8});
    ui.ExpectConfirm(TConfirmResult::No);
    ui.ExpectOpen(std::nullopt);
    document.Open();
    EXPECT_EQ(view.history.back(), 8);
    EXPECT_TRUE(document.Unsaved());
}

// Mended: a file that cannot be read leaves the history, the name and the flag untouched.
TEST_F(DocumentTest, FailedOpenKeepsTheHistory) {
    Acquire({1, 2, 3});
    const auto history = view.history;
    ui.ExpectConfirm(TConfirmResult::No);
    ui.ExpectOpen(folder / "missing.dat");
    try {
        document.Open();
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_EQ(ErrorBoxText(error.what()), "Fichier introuvable.");
    }
    EXPECT_EQ(view.history, history);
    EXPECT_EQ(view.captionFileName, "<none>");
    EXPECT_EQ(view.panel1, "3 Hz");
    EXPECT_TRUE(document.Unsaved());

    // A read that fails halfway through the file changes nothing either.
    const std::string big = folder / "big.dat";
    std::string bytes;
    for (int i = 0; i < 40000; ++i)
        bytes += "77\r\n";
    WriteBytes(big, bytes);
    fs.FailOn(test::TFaultyFileSystem::TCall::Read, EIO, 2);
    ui.ExpectConfirm(TConfirmResult::No);
    ui.ExpectOpen(big);
    EXPECT_THROW(document.Open(), EFileError);
    EXPECT_EQ(view.history, history);
    EXPECT_EQ(view.addSampleCalls, 3);

    // Nor does a journal with a bad line: its samples before that line stay out of the history.
    fs.FailOn(test::TFaultyFileSystem::TCall::None, 0);
    const std::string journal = folder / "other.CSV";
    WriteBytes(journal, JournalHeader() + "\r\n2026-12-08T10:15:03.127+01:00,1.0,COM1,57,,,,\r\n"
                                          "2026-12-08T10:15:04.127+01:00,2.0,COM1,x,,,,\r\n");
    ui.ExpectConfirm(TConfirmResult::No);
    ui.ExpectOpen(journal);
    EXPECT_THROW(document.Open(), EJournalFormat);
    EXPECT_EQ(view.history, history);
    EXPECT_EQ(view.addSampleCalls, 3);
    EXPECT_EQ(view.captionFileName, "<none>");
}

TEST_F(DocumentTest, OpenAddsTheDefaultExtensionToABareName) {
    WriteBytes(folder / "values.dat", "6\r\n");
    ui.ExpectOpen(folder / "values");
    document.Open();
    EXPECT_EQ(document.FileName(), folder / "values.dat");
    EXPECT_EQ(view.history.back(), 6);
}

TEST_F(DocumentTest, SaveOnANewDocumentShowsSaveAsAndCancelKeepsItNew) {
    Acquire({7});
    ui.ExpectSave(std::nullopt);
    EXPECT_FALSE(document.Save());
    EXPECT_TRUE(document.Unsaved());
    EXPECT_EQ(document.FileName(), "");
    EXPECT_EQ(ui.Shown()[0].fileOptions.filter, "Données (*.dat)|*.dat");
    EXPECT_TRUE(ui.Shown()[0].fileOptions.overwritePrompt);
}

TEST_F(DocumentTest, SaveAsWritesNamesAndClears) {
    Acquire({-1, 12});
    ui.ExpectSave(folder / "out");
    EXPECT_TRUE(document.SaveAs());
    const std::string path = folder / "out.dat";
    EXPECT_EQ(document.FileName(), path);
    EXPECT_EQ(view.captionFileName, path);
    EXPECT_FALSE(document.Unsaved());
    EXPECT_EQ(ReadBytes(path), FormatRecording(view.history));
    EXPECT_EQ(ReadBytes(path).substr(ReadBytes(path).size() - 8), "-1\r\n12\r\n");

    // Save then writes to the same file without a dialog.
    Acquire({30});
    EXPECT_TRUE(document.Save());
    EXPECT_EQ(ParseRecording(ReadBytes(path)).back(), 30);
    EXPECT_FALSE(document.Unsaved());
}

TEST_F(DocumentTest, WrittenHistoryOpensBackTheSame) {
    Acquire({-1, 0, 2147483647, -2147483647 - 1, 400});
    const auto history = view.history;
    ui.ExpectSave(folder / "trip.dat");
    document.SaveAs();
    document.New();
    ui.ExpectOpen(folder / "trip.dat");
    document.Open();
    EXPECT_EQ(view.history, history);
}

TEST_F(DocumentTest, SaveAsProposesWhatTheDialogLastHeld) {
    ui.ExpectSave(folder / "first.dat");
    document.SaveAs();
    EXPECT_EQ(ui.Shown()[0].fileOptions.fileName, "");

    ui.ExpectSave(std::nullopt);
    document.SaveAs();
    EXPECT_EQ(ui.Shown()[1].fileOptions.fileName, folder / "first.dat");

    // The chart export shares the dialog and leaves its own filter and name there.
    saveDialog.filter = "Bitmap (*.bmp)|*.bmp";
    saveDialog.defaultExt = "bmp";
    saveDialog.fileName = "Nouveau";
    ui.ExpectSave(std::nullopt);
    document.SaveAs();
    const TFileDialogOptions& shown = ui.Shown()[2].fileOptions;
    EXPECT_EQ(shown.fileName, "Nouveau");
    EXPECT_EQ(shown.filter, "Données (*.dat)|*.dat");
    EXPECT_EQ(shown.defaultExt, "dat");
}

// Mended: a save that fails leaves the earlier recording as it was.
TEST_F(DocumentTest, FailedSaveLeavesTheOldFileAndTheState) {
    const std::string path = folder / "old.dat";
    WriteBytes(path, "1\r\n2\r\n");
    ui.ExpectOpen(path);
    document.Open();
    Acquire({99});

    fs.FailOn(test::TFaultyFileSystem::TCall::Write, ENOSPC, 1);
    try {
        document.Save();
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_EQ(ErrorBoxText(error.what()), "Disque plein.");
    }
    EXPECT_EQ(ReadBytes(path), "1\r\n2\r\n");
    EXPECT_TRUE(document.Unsaved());
    EXPECT_EQ(document.FileName(), path);
    EXPECT_EQ(folder.Entries(), std::set<std::string>{"old.dat"});
}

TEST_F(DocumentTest, SaveIntoAFolderThatRefusesWritesLeavesTheOldFile) {
    const std::string path = folder / "old.dat";
    WriteBytes(path, "1\r\n2\r\n");
    ui.ExpectOpen(path);
    document.Open();
    Acquire({99});
    test::TRefusingFolder refusing(folder.Path());
    if (!refusing.Refuses())
        GTEST_SKIP() << "no way to make a folder refuse new files here";
    try {
        document.Save();
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "Accès au fichier refusé");
    }
    EXPECT_EQ(ReadBytes(path), "1\r\n2\r\n");
    EXPECT_TRUE(document.Unsaved());
}

TEST_F(DocumentTest, AJournalOpensWithItsMarkersAndIsNeverOverwritten) {
    TQueuedUiBridge bridge;
    {
        TJournal journal(bridge, [] { return TJournalInstant{1796721302123, 3600, 0}; });
        journal.BeginRun(folder.Path(), 2, nullptr);
        journal.Sample(10, true);
        journal.Mark();
        journal.Sample(20, true);
        journal.Sample(30, true);
        journal.Mark(); // the run ended while its sample was being counted
        journal.EndRun();
    } // gone once its writer is done
    const std::string path = folder / "2026-12-08_10-15-02_COM2.csv";
    const std::string bytes = ReadBytes(path);

    ui.ExpectOpen(path);
    document.Open();
    EXPECT_EQ(view.markers, (std::vector<int>{1, 2}));
    EXPECT_EQ(std::vector<double>(view.history.end() - 4, view.history.end()),
              (std::vector<double>{0, 10, 20, 30}));
    EXPECT_EQ(view.captionFileName, path);
    EXPECT_EQ(view.panel1, "-");
    EXPECT_FALSE(document.Unsaved());

    // A recording saved over the journal would destroy it: Save asks where to put the recording.
    Acquire({40});
    ui.ExpectSave(std::nullopt);
    EXPECT_FALSE(document.Save());
    EXPECT_EQ(ReadBytes(path), bytes);
}

// "Ouvrir..." reads a .csv file as a journal: a recording saved under such a name could not be
// opened again, and would replace the journal of that name. The dialog comes back with the
// recording's own extension, and its own overwrite prompt for that name.
TEST_F(DocumentTest, SaveAsNeverTakesAJournalsName) {
    const struct {
        const char* chosen;
        std::optional<const char*> second; // the answer to the dialog that comes back
        const char* proposed;
    } rows[] = {
        {"2026-12-08_10-15-02_COM1.csv", "seance.dat", "2026-12-08_10-15-02_COM1.dat"},
        {"RUN.CSV", "run.dat", "RUN.dat"},
        {"run.csv", std::nullopt, "run.dat"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.chosen);
        const std::string journal = folder / row.chosen;
        WriteBytes(journal, JournalHeader() + "\r\n");
        Acquire({7});
        ui.ExpectSave(journal);
        ui.ExpectMessage();
        ui.ExpectSave(row.second ? std::optional(folder / *row.second) : std::nullopt);
        const std::size_t shown = ui.Shown().size();
        EXPECT_EQ(document.SaveAs(), row.second.has_value());
        EXPECT_EQ(ReadBytes(journal), JournalHeader() + "\r\n");
        ASSERT_EQ(ui.Shown().size(), shown + 3);
        EXPECT_EQ(ui.Shown()[shown + 1].text,
                  "Un enregistrement ne peut pas porter un nom en .csv, celui des journaux : "
                  "choisissez un nom en .dat.");
        EXPECT_EQ(ui.Shown()[shown + 2].fileOptions.fileName, folder / row.proposed);
        if (row.second) {
            EXPECT_EQ(ParseRecording(ReadBytes(folder / *row.second)).back(), 7);
        }
        EXPECT_EQ(document.Unsaved(), !row.second);
    }
}

TEST(WithDefaultExtension, AddsOnlyWhenTheNameHasNone) {
    EXPECT_EQ(WithDefaultExtension("/a/b", "dat"), "/a/b.dat");
    EXPECT_EQ(WithDefaultExtension("/a/b.txt", "dat"), "/a/b.txt");
    EXPECT_EQ(WithDefaultExtension("/a.d/b", "dat"), "/a.d/b.dat");
    EXPECT_EQ(WithDefaultExtension("b", "dat"), "b.dat");
    EXPECT_EQ(WithDefaultExtension("/a/", "dat"), "/a/");
}

} // namespace
} // namespace sornafex
