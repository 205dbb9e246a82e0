#include "recording/journal_reader.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using E = TJournalEntry;
using K = TJournalEntry::TKind;

const std::string kOldHeader = "horodatage,secondes,port,frequence_hz,repere,evenement\r\n";
const std::string kHeader =
    kOldHeader.substr(0, kOldHeader.size() - 2) + ",frequence_fine_hz,conductance_us\r\n";
const std::string kMarksHeader =
    kHeader.substr(0, kHeader.size() - 2) + ",question,type,texte,reponse\r\n";
const std::string kTime = "2026-12-08T10:15:03.127+01:00";

std::string SampleRow(int hertz) {
    return kTime + ",1.004,COM1," + std::to_string(hertz) + ",,\r\n";
}
std::string MarkerRow(int number) {
    return kTime + ",1.492,COM1,," + std::to_string(number) + ",\r\n";
}
// A row at 1 s on COM1: the fields after the port.
std::string DataRow(const std::string& rest) {
    return kTime + ",1.0,COM1," + rest + "\r\n";
}

TEST(JournalReading, EntriesOrTheFirstLineThatIsNotAJournals) {
    struct Row {
        const char* name;
        std::string bytes;
        std::vector<E> entries;
        int badLine;      // 0: read
        std::string port; // the whole session's, when read
    } const rows[] = {
        {"old header only", kOldHeader, {}, 0, ""},
        {"marker waits for its sample",
         kOldHeader + SampleRow(5) + MarkerRow(1) + SampleRow(6),
         {{K::Sample, 5}, {K::Marker, 1}, {K::Sample, 6}},
         0,
         "COM1"},
        {"markers after the last sample go with it",
         kOldHeader + SampleRow(5) + SampleRow(6) + MarkerRow(1) + MarkerRow(2),
         {{K::Sample, 5}, {K::Marker, 1}, {K::Marker, 2}, {K::Sample, 6}},
         0,
         "COM1"},
        {"markers without samples", kOldHeader + MarkerRow(1), {}, 0, "COM1"},
        {"fine rows and events left out, a sample without measurement read as 0",
         kHeader + DataRow(",,,50.2371,") + DataRow("5,,,,") + DataRow(",,sans mesure,,") +
             DataRow(",,recentrage,,") + DataRow(",1,,,") + DataRow(",,,50.1,3.0001") +
             DataRow("6,,,,"),
         {{K::Sample, 5}, {K::Sample, 0}, {K::Marker, 1}, {K::Sample, 6}},
         0,
         "COM1"},
        {"questions and answers left out, an undone marker taken away with its sample's",
         kMarksHeader + DataRow("5,,,,,,,,") + DataRow(",1,,,,,,,") + DataRow(",2,,,,,,,") +
             DataRow(",,question,,,1,C,\"Né, où ?\",") + DataRow(",,réponse,,,1,,,oui") +
             DataRow(",1,annulé,,,,,,") + DataRow(",,annulé,,,1,,,oui") +
             DataRow(",,annulé,,,1,,,") + DataRow(",,annulé,,,7,,,") + DataRow("6,,,,,,,,"),
         {{K::Sample, 5}, {K::Marker, 2}, {K::Sample, 6}},
         0,
         "COM1"},
        {"columns by their names, in any order",
         "secondes,evenement,repere,frequence_hz,port,horodatage,conductance_us\r\n"
         "1.5,,,7,COM2," +
             kTime + ",\r\n",
         {{K::Sample, 7}},
         0,
         "COM2"},
        {"byte-order mark, LF line ends, quoted fields, empty lines",
         "\xEF\xBB\xBF\"horodatage\",secondes,port,frequence_hz,repere,evenement\n\"" + kTime +
             "\",\"1.5\",\"CO\"\"M,1\",,,\"port perdu\"\n\n" + kTime + ",2,COM1,\"7\",,\n",
         {{K::Sample, 7}},
         0,
         "CO\"M,1"},
        {"the row a crash cut short",
         kOldHeader + SampleRow(5) + "2026-12-08T10:15:04.1",
         {{K::Sample, 5}},
         0,
         "COM1"},
        {"a quoted field a crash cut short",
         kHeader + DataRow("5,,,,") + kTime + ",\"1.5",
         {{K::Sample, 5}},
         0,
         "COM1"},
        {"empty file", "", {}, 1, ""},
        {"header of another program", "time,hz\r\n", {}, 1, ""},
        {"header naming a column twice",
         kOldHeader.substr(0, kOldHeader.size() - 2) + ",port\r\n",
         {},
         1,
         ""},
        {"header without one of the first columns",
         "horodatage,secondes,port,frequence_hz\r\n",
         {},
         1,
         ""},
        {"not a number", kOldHeader + SampleRow(5) + DataRow("5x,,"), {}, 3, ""},
        {"a line cut short but ended",
         kOldHeader + "2026-12-08T10:15:04.1\r\n" + SampleRow(5),
         {},
         2,
         ""},
        {"time without its offset",
         kOldHeader + "2026-12-08T10:15:03.127,1.0,COM1,5,,\r\n",
         {},
         2,
         ""},
        {"sample and marker in one row", kOldHeader + DataRow("5,1,"), {}, 2, ""},
        {"marker 0", kOldHeader + DataRow(",0,"), {}, 2, ""},
        {"an event of no journal", kOldHeader + DataRow(",,port ferme"), {}, 2, ""},
        {"seconds not a number", kOldHeader + kTime + ",soon,COM1,5,,\r\n", {}, 2, ""},
        {"seven fields under the old header", kOldHeader + DataRow("5,,,"), {}, 2, ""},
        {"fine value and sample in one row", kHeader + DataRow("5,,,50.1,"), {}, 2, ""},
        {"conductance without a fine value", kHeader + DataRow(",,,,3.1"), {}, 2, ""},
        {"fine value with an exponent", kHeader + DataRow(",,,5e1,"), {}, 2, ""},
        {"question 0", kMarksHeader + DataRow(",,question,,,0,R,,"), {}, 2, ""},
        {"question of no type", kMarksHeader + DataRow(",,question,,,1,X,,"), {}, 2, ""},
        {"question of two types", kMarksHeader + DataRow(",,question,,,1,RC,,"), {}, 2, ""},
        {"question without its type", kMarksHeader + DataRow(",,question,,,1,,Né ?,"), {}, 2, ""},
        {"answer neither oui nor non", kMarksHeader + DataRow(",,réponse,,,1,,,Oui"), {}, 2, ""},
        {"answer without its question", kMarksHeader + DataRow(",,réponse,,,,,,non"), {}, 2, ""},
        {"answer under the word of a question",
         kMarksHeader + DataRow(",,question,,,1,,,non"),
         {},
         2,
         ""},
        {"undoing of nothing", kMarksHeader + DataRow(",,annulé,,,,,,"), {}, 2, ""},
        {"undoing of a question's text", kMarksHeader + DataRow(",,annulé,,,1,R,,"), {}, 2, ""},
        {"marker and question in one undoing",
         kMarksHeader + DataRow(",1,annulé,,,1,,,"),
         {},
         2,
         ""},
        {"text after a closing quote", kOldHeader + DataRow("\"5\"x,,"), {}, 2, ""},
        {"lines counted across a quoted line end",
         kOldHeader + kTime + ",1.0,\"CO\r\nM1\",5,,\r\n" + DataRow(",,"),
         {},
         4,
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.badLine == 0) {
            EXPECT_EQ(ParseJournal(row.bytes), row.entries);
            EXPECT_EQ(ParseJournalSession(row.bytes).port, row.port);
            continue;
        }
        for (const auto& read : {+[](std::string_view bytes) { ParseJournal(bytes); },
                                 +[](std::string_view bytes) {
                                     ParseJournalSession(bytes);
                                 }}) {
            try {
                read(row.bytes);
                ADD_FAILURE() << "read as a journal";
            } catch (const EJournalFormat& error) {
                EXPECT_EQ(error.Line(), row.badLine);
                EXPECT_EQ(std::string(error.what()), "Ce fichier n'est pas un journal : la ligne " +
                                                         std::to_string(row.badLine) +
                                                         " n'a pas pu être lue");
            }
        }
    }
}

TEST(JournalReading, KeepsTheLastSamplesWithTheirMarkers) {
    std::string bytes = kOldHeader;
    for (int i = 1; i <= 300; ++i) {
        if (i == 44 || i == 45 || i == 290)
            bytes += MarkerRow(i);
        bytes += SampleRow(i);
    }
    const std::vector<E> entries = ParseJournal(bytes);
    ASSERT_EQ(entries.size(), 258u);
    EXPECT_EQ(entries.front(), (E{K::Marker, 45}));
    EXPECT_EQ(entries[1], (E{K::Sample, 45}));
    EXPECT_EQ(entries[246], (E{K::Marker, 290}));
    EXPECT_EQ(entries.back(), (E{K::Sample, 300}));
}

} // namespace
} // namespace sornafex
