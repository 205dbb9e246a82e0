#pragma once

// The examination's report laid out on pages, against the abstract canvas: the title, the session
// sheet, a chart of each question (question_chart.h), several to a page, then the table of the
// responses, the means of each kind of question and their ratio R/C, and how they were measured.
// Every page has its number. Texts are wrapped within the page; a long text, the notes and a
// long table flow on to the next pages, the table's head repeated above its rows. It states
// measurements only: no wording judges the person.
//
// Units are the chart's pixels, 96 to the inch, so that the charts keep their screen fonts: an
// A4 page inside margins of 15 mm is about 680 x 1010. The report's own texts are in Liberation
// Sans, 13 units (9.75 pt) for the body and 11 (8.25 pt) for the tables.

#include "chart/canvas.h"
#include "report/session_report.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

inline constexpr int kReportUnitsPerInch = 96;

// The lines of text, in the canvas' current font, each at most width wide: broken at blanks and
// at line ends (LF, CR LF or CR), a word wider than width between two of its characters (a UTF-8
// sequence is never cut). Blanks between words become one space; an empty line stays one.
std::vector<std::string> WrapText(chart::TCanvas& canvas, std::string_view text, int width);

class TReportLayout {
public:
    struct TPageSize {
        int width = 0;
        int height = 0;
    };

    // Lays report out on pages of size page (the part inside the margins), measuring its texts on
    // canvas: the canvas it will be drawn on, or one with the same metrics. report must outlive
    // the layout.
    TReportLayout(const TSessionReport& report, chart::TCanvas& canvas, TPageSize page);
    ~TReportLayout();
    TReportLayout(const TReportLayout&) = delete;
    TReportLayout& operator=(const TReportLayout&) = delete;

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // Draws page index, from 0, with its top-left corner at (0, 0).
    void DrawPage(chart::TCanvas& canvas, int index) const;

private:
    struct TBlock;
    class TBuilder;
    struct TPlaced {
        std::size_t block;
        int top;
    };

    const TSessionReport& m_report;
    TPageSize m_page;
    int m_contentHeight = 0;
    std::vector<TBlock> m_blocks;
    std::vector<std::vector<TPlaced>> m_pages;
};

} // namespace sornafex
