#include "examination/response_table.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using S = TJournalSession;

// 40 s of a 50 Hz level read back from a journal: a response of 1 % to a relevant question at
// 5 s, of 0.5 % to a comparison question at 20 s, none to a neutral one at 32 s; the points
// stand where the estimator would stamp them, its delay after the moment they describe.
S Session() {
    S session;
    const auto response = [](double t, double onset, double percent) {
        const double start = onset + 2, rise = 1.5;
        if (t < start)
            return 0.0;
        if (t < start + rise)
            return percent * (1 - std::cos(M_PI * (t - start) / rise)) / 2;
        return percent * std::exp(-(t - start - rise) / 4);
    };
    for (int tenth = 1; tenth <= 400; ++tenth) {
        const double described = tenth / 10.0 - 0.24;
        const double percent = response(described, 5, 1) + response(described, 20, 0.5);
        session.fine.push_back({tenth * 100, 50 * (1 + percent / 100), std::nullopt});
    }
    session.questions = {{5000, 1, TQuestionType::Relevant, "Hier, à Lyon ?"},
                         {20000, 2, TQuestionType::Comparison, ""},
                         {32000, 3, TQuestionType::Neutral, "Il pleut ?"}};
    session.answers = {{5800, 1, true}, {20700, 2, false}};
    return session;
}

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line, '\n');) {
        EXPECT_TRUE(line.ends_with("\r"));
        line.pop_back();
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');)
            fields.push_back(field);
        if (line.ends_with(","))
            fields.emplace_back();
        rows.push_back(fields);
    }
    return rows;
}

TEST(ResponseTable, MeasuresEachQuestionOfASessionAndComparesTheKinds) {
    const TResponseTable table = MeasureSessionResponses(Session());
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_FALSE(table.calibrated);
    const auto rows = CsvRows(ResponseTableCsv(table));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].size(), 12u);
    struct TExpected {
        const char* number;
        const char* type;
        const char* text;
        const char* answer;
        const char* onset;
        double latency, percent;
        const char* detected;
    } const expected[] = {
        {"1", "R", "Hier", "oui", "5.000", 2, 1, "oui"},
        {"2", "C", "", "non", "20.000", 2, 0.5, "oui"},
        {"3", "N", "Il pleut ?", "", "32.000", 0, 0, "non"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto& row = rows[i + 1];
        const TExpected& e = expected[i];
        // A text with a comma is quoted: the split above cuts it there.
        EXPECT_EQ(row[0], e.number);
        EXPECT_EQ(row[1], e.type);
        EXPECT_EQ(row[2], i == 0 ? "\"Hier" : e.text);
        const std::size_t shift = i == 0 ? 1 : 0;
        EXPECT_EQ(row[3 + shift], e.answer);
        EXPECT_EQ(row[4 + shift], e.onset);
        EXPECT_EQ(row[11 + shift], e.detected);
        if (e.percent > 0) {
            EXPECT_NEAR(std::stod(row[5 + shift]), e.latency, 0.3);
            EXPECT_NEAR(std::stod(row[7 + shift]), e.percent, e.percent * 0.05);
            EXPECT_EQ(row[8 + shift], ""); // no µS uncalibrated
        }
    }
    const auto summaries = table.Summaries();
    EXPECT_EQ(summaries[0].detected, 1);
    EXPECT_EQ(summaries[2].detected, 0);
    EXPECT_FALSE(summaries[2].meanAmplitude);
    ASSERT_TRUE(table.RelevantOverComparison());
    EXPECT_NEAR(*table.RelevantOverComparison(), 2, 0.2);
    EXPECT_EQ(ResponseTablePathFor("/j/2026-12-08_10-15-02_COM1.csv"),
              "/j/2026-12-08_10-15-02_COM1_reponses.csv");
}

} // namespace
} // namespace sornafex
