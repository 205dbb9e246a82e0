#include "base/uRes.h"
#include "export/command_line.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using test::Exists;
using test::TScratchFolder;
using test::WriteBytes;
using A = TCommandLine::TAction;

const std::string kTryHelp = "\nEssayez « sornafex --help ».\n";

TEST(CommandLine, WhatItDoesItsExitAndItsMessages) {
    const TScratchFolder folder;
    const std::string journal = folder / "2026-12-08_10-15-02_COM1.csv";
    WriteBytes(journal, JournalHeader() +
                            "\r\n2026-12-08T10:15:02.223+01:00,0.100,COM1,,,,50.2371,,,,,\r\n");
    const std::string old = folder / "ancien.csv";
    WriteBytes(old, "horodatage,secondes,port,frequence_hz,repere,evenement\r\n"
                    "2026-12-08T10:15:03.127+01:00,1.004,COM1,57,,\r\n");
    const std::string bad = folder / "abime.csv";
    WriteBytes(bad, JournalHeader() +
                        "\r\n2026-12-08T10:15:02.223+01:00,0.100,COM1,,,,50.2,,,,,\r\n"
                        "2026-12-08T10:15:02.323+01:00,0.200,COM1,5x,,,,,,,,\r\n");
    const std::string huge = folder / "demesure.csv";
    WriteBytes(huge, JournalHeader() +
                         "\r\n2026-12-08T10:15:02.223+01:00,0.100,COM1,,,,50.2,99999999.0,,,,\r\n");
    const std::string early = folder / "1970.csv";
    WriteBytes(early,
               JournalHeader() + "\r\n1970-01-01T01:00:00.100+01:00,0.100,COM1,,,,50.2,,,,,\r\n");
    const std::string edf = folder / "seance.edf";
    const std::string bids = folder / "bids";
    const std::string missing = folder / "absent.csv";
    const std::string noFolder = folder / "absent/seance.edf";

    struct Row {
        const char* name;
        std::vector<std::string> arguments;
        A action;
        int exit; // -1: left to the window
        std::string err;
        std::string made; // a file the command wrote
    } const rows[] = {
        {"no argument: the window", {}, A::Window, -1, "", ""},
        {"a journal to open in the window", {journal}, A::Window, -1, "", ""},
        {"help", {"--help"}, A::Help, 0, "", ""},
        {"EDF+", {"--export", "edf", journal, edf}, A::ExportEdf, 0, "", edf},
        {"BIDS, the subject from the journal's name and the task by default",
         {"--export", "bids", journal, bids},
         A::ExportBids,
         0,
         "",
         bids + "/sub-20261208101502COM1_task-examen_events.tsv"},
        {"BIDS with labels among the files",
         {"--export", "bids", "--task", "T2", journal, "--subject", "P7", bids},
         A::ExportBids,
         0,
         "",
         bids + "/sub-P7_task-T2_physio.json"},
        {"unknown option",
         {"-platform"},
         A::Refused,
         1,
         "sornafex : option inconnue « -platform »." + kTryHelp,
         ""},
        {"two journals",
         {journal, old},
         A::Refused,
         1,
         "sornafex : argument en trop « " + old + " »." + kTryHelp,
         ""},
        {"no format",
         {"--export"},
         A::Refused,
         1,
         "sornafex : --export attend un format : edf ou bids." + kTryHelp,
         ""},
        {"unknown format",
         {"--export", "csv", journal, edf},
         A::Refused,
         1,
         "sornafex : format d'export inconnu « csv » : edf ou bids." + kTryHelp,
         ""},
        {"EDF+ without its output",
         {"--export", "edf", journal},
         A::Refused,
         1,
         "sornafex : --export edf attend le journal, puis le fichier EDF à écrire." + kTryHelp,
         ""},
        {"BIDS without anything",
         {"--export", "bids"},
         A::Refused,
         1,
         "sornafex : --export bids attend le journal, puis le dossier où écrire." + kTryHelp,
         ""},
        {"EDF+ with a third file",
         {"--export", "edf", journal, edf, old},
         A::Refused,
         1,
         "sornafex : argument en trop « " + old + " »." + kTryHelp,
         ""},
        {"a label for EDF+",
         {"--export", "edf", journal, edf, "--subject", "P7"},
         A::Refused,
         1,
         "sornafex : --subject ne vaut que pour --export bids." + kTryHelp,
         ""},
        {"a label missing",
         {"--export", "bids", journal, bids, "--task"},
         A::Refused,
         1,
         "sornafex : --task attend un libellé." + kTryHelp,
         ""},
        {"a label that is not alphanumeric",
         {"--export", "bids", journal, bids, "--subject", "P-7"},
         A::Refused,
         1,
         "sornafex : le libellé BIDS « P-7 » doit n'avoir que des lettres et des chiffres, sans "
         "accent." +
             kTryHelp,
         ""},
        {"a journal's name without a letter or digit",
         {"--export", "bids", folder / "-.csv", bids},
         A::Refused,
         1,
         "sornafex : le nom du journal « " + folder / "-.csv" +
             " » ne donne aucun libellé de sujet : indiquez-le avec --subject." + kTryHelp,
         ""},
        {"a journal that is not one",
         {"--export", "edf", bad, edf},
         A::ExportEdf,
         1,
         "sornafex : " + bad +
             " : Ce fichier n'est pas un journal : la ligne 3 n'a pas pu être lue.\n",
         ""},
        {"no journal there",
         {"--export", "bids", missing, bids},
         A::ExportBids,
         1,
         "sornafex : " + missing + " : Fichier introuvable.\n",
         ""},
        {"a journal of the first form",
         {"--export", "edf", old, edf},
         A::ExportEdf,
         1,
         "sornafex : ce journal n'a aucune fréquence fine à exporter (journal d'une version "
         "antérieure ?)\n",
         ""},
        {"a conductance the header cannot scale",
         {"--export", "edf", huge, edf},
         A::ExportEdf,
         1,
         "sornafex : les valeurs du signal Conductance dépassent ce que l'en-tête EDF peut écrire "
         "(7 chiffres)\n",
         ""},
        {"a start before EDF's dates",
         {"--export", "edf", early, edf},
         A::ExportEdf,
         1,
         "sornafex : la date du début (1970-01-01T01:00:00.000+01:00) est hors de la plage du "
         "format EDF, de 1985 à 2084.\n",
         ""},
        {"an output in no folder",
         {"--export", "edf", journal, noFolder},
         A::ExportEdf,
         1,
         "sornafex : " + noFolder + " : Nom de fichier incorrect.\n",
         ""},
        {"a BIDS folder under a file",
         {"--export", "bids", journal, journal + "/bids"},
         A::ExportBids,
         1,
         "sornafex : " + journal + "/bids : Nom de fichier incorrect.\n",
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const TCommandLine command = ParseCommandLine(row.arguments);
        EXPECT_EQ(command.action, row.action);
        if (row.exit < 0) {
            EXPECT_EQ(command.journal, row.arguments.empty() ? "" : row.arguments[0]);
            continue;
        }
        std::ostringstream out, err;
        EXPECT_EQ(RunCommandLine(command, out, err), row.exit);
        EXPECT_EQ(err.str(), row.err);
        EXPECT_EQ(out.str(), row.action == A::Help ? std::string(res::kCommandHelp) : "");
        if (!row.made.empty()) {
            EXPECT_TRUE(Exists(row.made)) << row.made;
        }
    }
}

} // namespace
} // namespace sornafex
