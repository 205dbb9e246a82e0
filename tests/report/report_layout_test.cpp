#include "report/report_layout.h"
#include "tests/chart/fake_canvas.h"

#include <gtest/gtest.h>
#include <map>

namespace sornafex {
namespace {

using chart::test::TFakeCanvas;

TEST(WrapText, BreaksAtBlanksAtLineEndsAndInsideWordsTooWide) {
    struct TCase {
        const char* text;
        int width; // the fake canvas: 7 a byte
        std::vector<std::string> lines;
    } const cases[] = {
        {"", 70, {""}},
        {"un deux", 49, {"un deux"}},
        {"un deux trois", 48, {"un", "deux", "trois"}},
        {"  un \t  deux  ", 70, {"un deux"}},
        {"abcdefghij", 28, {"abcd", "efgh", "ij"}},
        {"mot abcdefghij", 28, {"mot", "abcd", "efgh", "ij"}},
        // Two bytes a character: never half of one, and one at least on each line.
        {"\xC3\xA9\xC3\xA9\xC3\xA9", 21, {"\xC3\xA9", "\xC3\xA9", "\xC3\xA9"}},
        {"ab", 3, {"a", "b"}},
        {"a\nb\r\nc\rd", 70, {"a", "b", "c", "d"}},
        {"a\n\nb\n", 70, {"a", "", "b", ""}},
    };
    TFakeCanvas canvas;
    for (const TCase& c : cases)
        EXPECT_EQ(WrapText(canvas, c.text, c.width), c.lines) << c.text << " in " << c.width;
}

// Forty questions and notes of a hundred lines: the notes and the table flow on to the next
// pages, none of their lines lost or doubled, the table's head above its rows on each page, no
// more than four charts a page, nothing below the page, every page numbered.
TEST(ReportLayout, FlowsOverThePagesWithTheTablesHeadAndTheirNumbers) {
    constexpr int kQuestions = 40;
    constexpr int kNotes = 100;
    constexpr TReportLayout::TPageSize kPage{680, 1000};
    TSessionReport report;
    report.journalPath = "/j/2026-12-08_10-15-02_COM1.csv";
    report.session.port = "COM1";
    for (int tenth = 1; tenth <= (kQuestions + 1) * 150; ++tenth)
        report.session.fine.push_back({tenth * 100, 50, std::nullopt});
    for (int q = 1; q <= kQuestions; ++q)
        report.session.questions.push_back(
            {q * 15000, q, TQuestionType::Relevant, "Question " + std::to_string(q) + " ?"});
    for (int n = 1; n <= kNotes; ++n)
        report.sheet.notes += "note" + std::to_string(n) + "\n";
    report.table = MeasureSessionResponses(report.session);
    ASSERT_EQ(report.table.rows.size(), std::size_t(kQuestions));

    TFakeCanvas canvas;
    const TReportLayout layout(report, canvas, kPage);
    ASSERT_GT(layout.PageCount(), kQuestions / 4);
    std::vector<std::string> notes;
    std::map<std::string, int> rows;
    int charts = 0;
    for (int page = 0; page < layout.PageCount(); ++page) {
        SCOPED_TRACE(page);
        canvas.Reset();
        layout.DrawPage(canvas, page);
        ASSERT_FALSE(canvas.texts.empty());
        EXPECT_EQ(canvas.texts.back().text,
                  "Page " + std::to_string(page + 1) + " / " + std::to_string(layout.PageCount()));
        int onPage = 0;
        std::optional<int> head;
        std::optional<int> firstRow;
        for (const auto& text : canvas.texts) {
            EXPECT_GE(text.at.y, 0) << text.text;
            EXPECT_LE(text.at.y + 14, kPage.height) << text.text;
            if (text.text.starts_with("note"))
                notes.push_back(text.text);
            if (text.text.starts_with("Question ") && text.font.bold)
                ++onPage;
            // The table's first column: its head, and the number of each row.
            if (text.text == "N°")
                head = text.at.y;
            else if (text.font.face == "Liberation Sans" && text.font.height == 11 &&
                     text.at.x == 3 && std::isdigit(text.text[0])) {
                ++rows[text.text];
                firstRow = std::min(firstRow.value_or(text.at.y), text.at.y);
            }
        }
        for (const auto& line : canvas.lines)
            EXPECT_LE(std::max(line.from.y, line.to.y), kPage.height);
        EXPECT_LE(onPage, 4);
        charts += onPage;
        if (firstRow) {
            ASSERT_TRUE(head) << "rows without the table's head";
            EXPECT_LT(*head, *firstRow);
        }
    }
    EXPECT_EQ(charts, kQuestions);
    ASSERT_EQ(notes.size(), std::size_t(kNotes));
    for (int n = 1; n <= kNotes; ++n)
        EXPECT_EQ(notes[n - 1], "note" + std::to_string(n));
    EXPECT_EQ(rows.size(), std::size_t(kQuestions));
    for (const auto& [number, seen] : rows)
        EXPECT_EQ(seen, 1) << number;
}

} // namespace
} // namespace sornafex
