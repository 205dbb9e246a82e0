#include "base/build_info.h"
#include "export/bids_export.h"
#include "export/edf_export.h"
#include "tests/support/test_files.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using test::ReadBytes;
using test::TScratchFolder;

// A small journal with a row of every kind, run on 2026-12-08 from 10:15:02.123 in Paris: ms
// since the start, then the fields after the port.
struct TJournalRow {
    int ms;
    std::string rest;
};
const TJournalRow kJournal[] = {
    {100, ",,,50.0000,2.0000,,,,"},
    {200, ",,,50.5000,2.1000,,,,"},
    {300, ",,,51.0000,,,,,"}, // a fine value without its conductance
    {400, ",,,51.5000,2.3000,,,,"},
    {450, ",,question,,,1,R,Étiez-vous à Besançon après Noël ?,"},
    {500, ",,,52.0000,2.4000,,,,"},
    {600, ",1,,,,,,,"},
    {650, ",2,,,,,,,"},
    {700, ",2,annulé,,,,,,"},
    {800, ",,réponse,,,1,,,oui"},
    {850, ",,annulé,,,1,,,oui"},
    {900, ",,réponse,,,1,,,non"},
    {1004, "51,,,,,,,,"},
    {1100, ",,question,,,2,-,,"},
    {1150, ",,annulé,,,2,,,"},
    {1200, ",,port perdu,,,,,,"},
    {2004, ",,sans mesure,,,,,,"},
    {2200, ",,port rouvert,,,,,,"},
    {2300, ",,,49.0000,1.9000,,,,"},
    {2400, ",,,49.5000,1.9500,,,,"},
    {2450, ",,recentrage,,,,,,"},
    {2500, ",,question,,,3,C,\"Né à Lyon, \"\"vraiment\"\" ?\","},
    // 2.5 s: the line fell silent for a tenth.
    {2600, ",,,50.0000,2.0000,,,,"},
    {3004, "50,,,,,,,,"},
    {3100, ",,port perdu,,,,,,"},
    {3300, ",,question,,,4,N,caf\xE9 ?,"}, // edited as Latin-1
    {3500, ",,sans mesure,,,,,,"},
};
constexpr std::int64_t kStartEpochMs = 1796721302123;

TJournalSession Session() {
    std::string bytes = JournalHeader() + "\r\n";
    for (const TJournalRow& row : kJournal) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%d.%03d", row.ms / 1000, row.ms % 1000);
        bytes += FormatJournalTime(kStartEpochMs + row.ms, 3600) + "," + seconds + ",COM1," +
                 row.rest + "\r\n";
    }
    return ParseJournalSession(bytes);
}

// What the session's slots hold, ten a second: hertz and microsiemens, NaN for none. The file
// fills its last second up.
struct TSlot {
    int slot;
    double hertz;
    double microsiemens;
};
const TSlot kValued[] = {
    {1, 50.0, 2.0}, {2, 50.5, 2.1},  {3, 51.0, NAN},   {4, 51.5, 2.3},
    {5, 52.0, 2.4}, {23, 49.0, 1.9}, {24, 49.5, 1.95}, {26, 50.0, 2.0},
};
constexpr int kEdfSlots = 40;

// A reading of read_exports.py: its lines, each split at its tabs.
struct TReading {
    int status = -1;
    std::vector<std::vector<std::string>> lines;

    std::vector<std::vector<std::string>> Lines(const std::string& kind) const {
        std::vector<std::vector<std::string>> found;
        for (const auto& line : lines)
            if (!line.empty() && line.front() == kind)
                found.emplace_back(line.begin() + 1, line.end());
        return found;
    }
};

TReading Read(const std::string& what, const std::string& path) {
    const char* python = std::getenv("SORNAFEX_PYTHON3");
    const std::string command = std::string(python ? python : "python3") + " '" +
                                std::getenv("SORNAFEX_SOURCE_DIR") +
                                "/tests/export/read_exports.py' " + what + " '" + path + "'";
    TReading reading;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return reading;
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = ::pclose(pipe);
    reading.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream text(output);
    for (std::string line; std::getline(text, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');)
            fields.push_back(field);
        reading.lines.push_back(fields);
    }
    return reading;
}

TEST(SessionExport, EdfReadBackByMne) {
    const TScratchFolder folder;
    const std::string path = folder / "seance.edf";
    ExportEdf(Session(), path);
    const TReading mne = Read("edf", path);
    if (mne.status == 77)
        GTEST_SKIP() << "python3-mne is missing: the EDF+ file was written but not read back";
    ASSERT_EQ(mne.status, 0);

    EXPECT_EQ(mne.Lines("rate"), (std::vector<std::vector<std::string>>{{"10.0"}}));
    EXPECT_EQ(mne.Lines("start"), (std::vector<std::vector<std::string>>{{"2026-12-08 10:15:02"}}));
    const auto channels = mne.Lines("channel");
    const auto samples = mne.Lines("samples");
    ASSERT_EQ(channels.size(), 2u);
    ASSERT_EQ(samples.size(), 2u);
    struct Channel {
        const char* label;
        const char* unit;
        double TSlot::*value;
    } const expected[] = {{"Frequence", "Hz", &TSlot::hertz},
                          {"Conductance", "uS", &TSlot::microsiemens}};
    for (std::size_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(expected[c].label);
        EXPECT_EQ(channels[c][0], expected[c].label);
        EXPECT_EQ(channels[c][1], expected[c].unit);
        const double min = std::stod(channels[c][2]);
        const double max = std::stod(channels[c][3]);
        const double step = (max - min) / 65535;
        ASSERT_EQ(samples[c].size(), std::size_t(kEdfSlots) + 1);
        std::map<int, double> values;
        for (const TSlot& slot : kValued)
            values[slot.slot] = slot.*expected[c].value;
        for (int i = 0; i < kEdfSlots; ++i) {
            const double read = std::stod(samples[c][std::size_t(i) + 1]);
            const auto value = values.find(i);
            if (value != values.end() && !std::isnan(value->second)) {
                EXPECT_NEAR(read, value->second, step / 2 + 1e-9) << "slot " << i;
                EXPECT_GT(value->second, min + step) << "the margin keeps a value off the minimum";
            } else {
                EXPECT_NEAR(read, min, 1e-9) << "slot " << i << " has no value";
            }
        }
    }
    const std::vector<std::vector<std::string>> annotations{
        {"0.0000", "0.1000", "sans mesure"},
        {"0.4500", "0.0000", "Q1 R Étiez-vous à Besançon après No"},
        {"0.6000", "0.0000", "Repère 1"},
        {"0.6000", "1.7000", "sans mesure"},
        {"0.9000", "0.0000", "Q1 non"},
        {"1.2000", "1.0000", "port perdu"},
        {"2.4500", "0.0000", "recentrage"},
        {"2.5000", "0.0000", "Q3 C Né à Lyon, \"vraiment\" ?"},
        {"2.5000", "0.1000", "sans mesure"},
        {"2.7000", "1.3000", "sans mesure"},
        {"3.1000", "0.4000", "port perdu"},
        {"3.3000", "0.0000", "Q4 N caf? ?"},
    };
    auto read = mne.Lines("annotation");
    std::sort(read.begin(), read.end());
    EXPECT_EQ(read, annotations);
}

TEST(SessionExport, BidsFieldByField) {
    const TScratchFolder folder;
    const std::string where = folder / "bids/sub";
    ExportBids(Session(), where, {"S01", "examen"});
    const std::string prefix = where + "/sub-S01_task-examen";
    const TReading read = Read("bids", prefix);
    ASSERT_EQ(read.status, 0);

    const std::vector<std::vector<std::string>> json{
        {"SamplingFrequency", "10"},
        {"StartTime", "0.1"},
        {"Columns", "[\"frequency\", \"conductance\"]"},
        {"frequency.Units", "\"Hz\""},
        {"frequency.Description",
         "\"Fréquence de l'oscillateur du capteur de réponse cutanée, estimée dix fois par "
         "seconde d'après les instants de ses changements de niveau\""},
        {"conductance.Units", "\"uS\""},
        {"conductance.Description",
         "\"Conductance cutanée, déduite de la fréquence par l'étalonnage du capteur\""},
        {"SoftwareVersions", "\"Sornafex " + std::string(build::kVersion) + "\""},
    };
    EXPECT_EQ(read.Lines("json"), json);

    // From the first value (0.1 s) to the last (2.6 s).
    std::vector<std::vector<std::string>> physio(26, {"n/a", "n/a"});
    physio[0] = {"50.0000", "2.0000"};
    physio[1] = {"50.5000", "2.1000"};
    physio[2] = {"51.0000", "n/a"};
    physio[3] = {"51.5000", "2.3000"};
    physio[4] = {"52.0000", "2.4000"};
    physio[22] = {"49.0000", "1.9000"};
    physio[23] = {"49.5000", "1.9500"};
    physio[25] = {"50.0000", "2.0000"};
    EXPECT_EQ(read.Lines("physio"), physio);

    EXPECT_EQ(ReadBytes(prefix + "_events.tsv"),
              "onset\tduration\ttrial_type\tvalue\tresponse_time\n"
              "0.450\t0\tR\tnon\t0.450\n"
              "0.600\t0\trepère\tn/a\tn/a\n"
              "2.500\t0\tC\tn/a\tn/a\n"
              "3.300\t0\tN\tn/a\tn/a\n");
}

} // namespace
} // namespace sornafex
