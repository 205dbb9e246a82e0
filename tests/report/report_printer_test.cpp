#include "base/uRes.h"
#include "report/question_chart.h"
#include "report/report_printer.h"
#include "tests/report/session_journal.h"
#include "tests/support/qt_app.h"
#include "tests/support/scripted_ui_services.h"
#include "tests/support/test_files.h"

#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>

namespace sornafex {
namespace {

const std::string kJournalName = "2026-12-08_10-15-02_COM1.csv";

bool HavePoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

// What a poppler tool writes, blanks and line ends made single spaces.
std::string Poppler(const char* tool, const QStringList& arguments) {
    QProcess process;
    process.start(QString::fromLatin1(tool), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).simplified().toStdString();
}

class ReportPrinterTest : public testing::Test {
protected:
    void SetUp() override { test::EnsureQtApp(); }

    std::string Journal(bool calibrated, bool questions) {
        const std::string path = folder / kJournalName;
        test::WriteBytes(path, test::SessionJournal(calibrated, questions));
        return path;
    }

    // Prints the report of journal into a PDF file through the print dialog; its text.
    std::string PrintedText(const std::string& journal, int& pages) {
        const std::string pdf = folder / "rapport.pdf";
        QPrinter printer(QPrinter::HighResolution);
        ui.ExpectPrint([&](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(pdf));
            return true;
        });
        EXPECT_TRUE(ReportCommand(journal, ui, printer));
        const QString file = QString::fromStdString(pdf);
        const std::string info = Poppler("pdfinfo", {file});
        // A4 portrait, to the point.
        EXPECT_NE(info.find("Page size: 595 x 842 pts (A4) Page rot: 0"), std::string::npos)
            << info;
        std::smatch count;
        EXPECT_TRUE(std::regex_search(info, count, std::regex("Pages: (\\d+)"))) << info;
        pages = count.empty() ? 0 : std::stoi(count[1]);
        return Poppler("pdftotext", {QStringLiteral("-raw"), file, QStringLiteral("-")});
    }

    test::TScratchFolder folder;
    test::TScriptedUiServices ui;
};

TEST_F(ReportPrinterTest, PrintsTheSheetEachQuestionAndTheTableOnA4) {
    if (!HavePoppler())
        GTEST_SKIP() << "pdftotext and pdfinfo (Debian poppler-utils) are not installed";
    struct TCase {
        const char* name;
        bool calibrated;
        bool questions;
        std::vector<std::string> shown;
        std::vector<std::string> absent;
    } const cases[] = {
        {"three questions, uncalibrated",
         false,
         true,
         {"Date mardi 8 décembre 2026 à 10:15:02 (UTC+01:00)", "Durée 45 s", "Port COM1",
          "Périphérique sim:file:/home/x/profil.txt", "Étalonnage non étalonné",
          "Personne examinée Jean Dupont", "Examinateur Marie Martin",
          "Notes Première séance. Calme.", "Questions 3, dont 2 avec une réponse",
          "Question 1 (R) — réponse : non", "« Hier, à Lyon ? »",
          "Question 3 (N) — sans réponse — aucune montée", "Amplitude (%)", "Q1", "Q3",
          "N (neutres) 1 0 —"},
         {"µS"}},
        {"calibrated",
         true,
         true,
         {"Étalonnage 1000 kΩ à 10 Hz ; 100 kΩ à 100 Hz", "Amplitude (µS)", "µS",
          "Question 2 (C) — réponse : oui"},
         {"Amplitude (%)"}},
        {"no question",
         false,
         false,
         {"Questions aucune", "Aucune question n'a été posée pendant cette séance."},
         {"Tableau des réponses", "Question 1", "R/C"}},
    };
    // The sheet beside the journal, as the examination's dialog writes it.
    test::WriteBytes(folder / "2026-12-08_10-15-02_COM1_fiche.txt",
                     "Personne examinée : Jean Dupont\nExaminateur : Marie Martin\nNotes :\n"
                     "Première séance.\nCalme.\n");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string journal = Journal(c.calibrated, c.questions);
        int pages = 0;
        const std::string text = PrintedText(journal, pages);
        ASSERT_GT(pages, 0);
        for (const std::string& shown : c.shown)
            EXPECT_NE(text.find(shown), std::string::npos) << shown << "\n" << text;
        for (const std::string& absent : c.absent)
            EXPECT_EQ(text.find(absent), std::string::npos) << absent;
        for (int page = 1; page <= pages; ++page)
            EXPECT_NE(text.find(kJournalName + " Page " + std::to_string(page) + " / " +
                                std::to_string(pages)),
                      std::string::npos)
                << page;
        // Measurements, never a verdict.
        for (const char* word : {"mensonge", "menteur", "coupable", "sincère", "véridique"})
            EXPECT_EQ(text.find(word), std::string::npos) << word;

        // Each question's trough and peak on its chart, and its row of the table: latency near
        // the 2 s of the journal's responses, amplitude near their 1 and 0.5 % (or 0.05 and
        // 0.025 µS of a 5 µS level).
        const TSessionReport report = ReadSessionReport(journal);
        for (const TQuestionResponse& row : report.table.rows) {
            if (const auto& rise = row.response.rise) {
                const double trough =
                    c.calibrated ? *rise->trough.microSiemens : rise->trough.hertz;
                const double peak = c.calibrated ? *rise->peak.microSiemens : rise->peak.hertz;
                EXPECT_NE(text.find(SignalValueText(trough)), std::string::npos) << row.number;
                EXPECT_NE(text.find(SignalValueText(peak)), std::string::npos) << row.number;
            }
        }
        if (!c.questions)
            continue;
        const std::regex measured("(\\d) ([RC]) [^\\d]+ (oui|non) (\\d+,\\d+) (\\d+,\\d+) "
                                  "\\d+,\\d+ \\d+,\\d+ oui");
        int rows = 0;
        for (std::sregex_iterator m(text.begin(), text.end(), measured), end; m != end; ++m) {
            const double latency =
                std::stod(std::regex_replace((*m)[4].str(), std::regex(","), "."));
            const double amplitude =
                std::stod(std::regex_replace((*m)[5].str(), std::regex(","), "."));
            const double truth = ((*m)[1] == "1" ? 1.0 : 0.5) * (c.calibrated ? 0.05 : 1);
            EXPECT_NEAR(latency, 2, 0.3) << (*m)[0];
            EXPECT_NEAR(amplitude, truth, truth * 0.1) << (*m)[0];
            ++rows;
        }
        EXPECT_EQ(rows, 2) << text;
        // Asked before the second one's window closed, and so marked.
        EXPECT_NE(text.find("3* N Il pleut ? — — — — — non"), std::string::npos);
    }
}

TEST_F(ReportPrinterTest, RefusesWithoutASessionOrWithAJournalItCannotRead) {
    // None: the message, and no print dialog.
    QPrinter printer;
    ui.ExpectMessage();
    EXPECT_FALSE(ReportCommand("", ui, printer));
    EXPECT_EQ(ui.Shown().back().text, res::kReportNoSession);

    struct TCase {
        const char* name;
        std::string journal;
        bool sheet; // a sheet beside it that cannot be read: a folder of its name
        std::string message;
    } const cases[] = {
        {"missing journal", folder / "absent.csv", false, "Fichier introuvable"},
        {"not a journal", folder / "x.csv", false,
         "Ce fichier n'est pas un journal : la ligne 1 n'a pas pu être lue"},
        {"unreadable sheet", Journal(false, false), true,
         "La fiche de séance " + folder / "2026-12-08_10-15-02_COM1_fiche.txt" +
             " ne peut pas être lue : Accès au fichier refusé"},
    };
    test::WriteBytes(folder / "x.csv", "date;valeur\n");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.sheet) {
            ASSERT_EQ(::mkdir(SessionSheetPathFor(c.journal).c_str(), 0700), 0);
        }
        try {
            ReportCommand(c.journal, ui, printer);
            ADD_FAILURE() << "no refusal";
        } catch (const std::exception& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
    EXPECT_EQ(ui.Shown().size(), 1u) << "no print dialog";
}

} // namespace
} // namespace sornafex
