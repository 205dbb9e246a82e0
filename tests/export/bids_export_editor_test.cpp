#include "export/bids_export_editor.h"

#include <gtest/gtest.h>
#include <string>

namespace sornafex {
namespace {

TEST(BidsExportEditor, StartsFromTheCommandLinesDefaultsAndRefusesWhatIsNoLabel) {
    const TBidsExportEditor start("/home/x/journal/2026-12-08_10-15-02_COM1.csv");
    EXPECT_EQ(start.subject, "20261208101502COM1");
    EXPECT_EQ(start.task, "examen");
    EXPECT_EQ(start.folder, "/home/x/journal");
    EXPECT_EQ(TBidsExportEditor("j.csv").folder, ".");

    const struct {
        const char* subject;
        const char* task;
        const char* folder;
        const char* error; // none: accepted
    } rows[] = {
        {"A1", "examen", "/tmp", nullptr},
        {"Zoé", "examen", "/tmp",
         "Export impossible : le libellé BIDS « Zoé » doit n'avoir que des lettres et des "
         "chiffres, sans accent."},
        {"A1", "", "/tmp",
         "Export impossible : le libellé BIDS «  » doit n'avoir que des lettres et des "
         "chiffres, sans accent."},
        {"A1", "examen", "", "Indiquez le dossier où écrire les fichiers."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.subject + std::string("/") + row.task + "/" + row.folder);
        TBidsExportEditor editor("/j.csv");
        editor.subject = row.subject;
        editor.task = row.task;
        editor.folder = row.folder;
        std::string error;
        EXPECT_EQ(editor.Accept(error), row.error == nullptr);
        EXPECT_EQ(error, row.error ? row.error : "");
    }
}

} // namespace
} // namespace sornafex
