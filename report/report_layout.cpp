#include "report/report_layout.h"

#include "analysis/calibration.h"
#include "base/decimal_text.h"
#include "report/question_chart.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>

namespace sornafex {

using chart::TCanvas;
using chart::TFontSpec;
using chart::TPenSpec;
using chart::TRect;

struct TReportLayout::TBlock {
    struct TText {
        int x = 0;
        int y = 0;
        std::string text;
        TFontSpec font;
    };
    struct TRule {
        int left = 0;
        int right = 0;
        int y = 0;
        TPenSpec pen;
    };

    int height = 0;
    int spaceAbove = 0; // left out at the top of a page
    // On the same page as the next block: a heading, the head of a table.
    bool keepWithNext = false;
    // The block drawn above this one when it begins a page: the head of its table.
    std::optional<std::size_t> head;
    std::vector<TText> texts;
    std::vector<TRule> rules;
    std::optional<std::size_t> question; // the row whose chart stands in chart
    TRect chart;
};

namespace {

// ---- Words and numbers ------------------------------------------------------------------------

constexpr std::string_view kFace = "Liberation Sans";
constexpr int kTitleSize = 24;
constexpr int kHeadingSize = 17;
constexpr int kBodySize = 13;
constexpr int kTableSize = 11;
constexpr int kFootSize = 10;
constexpr int kLeading = 2;
constexpr int kCellPadding = 3;
constexpr int kSectionSpace = 18;
constexpr int kParagraphSpace = 8;
constexpr int kChartSpace = 14;
// Several charts a page: the height a chart takes is what leaves room for this many.
constexpr int kChartsPerPage = 4;
constexpr int kCaptionLines = 2; // of the question's text above its chart, at most
constexpr std::string_view kEllipsis = "…";
constexpr std::string_view kNone = "—";

constexpr std::array<std::string_view, 7> kWeekdays{"dimanche", "lundi",    "mardi", "mercredi",
                                                    "jeudi",    "vendredi", "samedi"};
constexpr std::array<std::string_view, 12> kMonths{"janvier",   "février", "mars",     "avril",
                                                   "mai",       "juin",    "juillet",  "août",
                                                   "septembre", "octobre", "novembre", "décembre"};

TFontSpec Font(int height, bool bold = false, bool italic = false) {
    return {std::string(kFace), height, bold, italic, chart::kClBlack};
}

std::int64_t FloorDiv(std::int64_t value, std::int64_t by) {
    return value / by - (value % by < 0 ? 1 : 0);
}

// "mardi 8 décembre 2026 à 10:15:02 (UTC+01:00)": the local time of the run's start.
std::string DateText(const TJournalTime& start) {
    using namespace std::chrono;
    const std::int64_t local =
        FloorDiv(start.epochMs + std::int64_t(start.utcOffsetSeconds) * 1000, 1000);
    const std::int64_t day = FloorDiv(local, 86400);
    const sys_days date{days{day}};
    const year_month_day ymd{date};
    const auto second = static_cast<int>(local - day * 86400);
    const int offset = std::abs(start.utcOffsetSeconds) / 60;
    char clock[64];
    std::snprintf(clock, sizeof clock, " à %02d:%02d:%02d (UTC%c%02d:%02d)", second / 3600,
                  second / 60 % 60, second % 60, start.utcOffsetSeconds < 0 ? '-' : '+',
                  offset / 60, offset % 60);
    const unsigned dayOfMonth = unsigned(ymd.day());
    return std::string(kWeekdays[weekday(date).c_encoding()]) + " " +
           (dayOfMonth == 1 ? std::string("1er") : std::to_string(dayOfMonth)) + " " +
           std::string(kMonths[unsigned(ymd.month()) - 1]) + " " + std::to_string(int(ymd.year())) +
           clock;
}

// "1 h 02 min 05 s", "12 min 05 s", "45 s".
std::string DurationText(TJournalMs ms) {
    const auto seconds = static_cast<long long>(ms / 1000);
    char text[64];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%lld h %02lld min %02lld s", seconds / 3600,
                      seconds / 60 % 60, seconds % 60);
    else if (seconds >= 60)
        std::snprintf(text, sizeof text, "%lld min %02lld s", seconds / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%lld s", seconds);
    return text;
}

TJournalMs LastRowAt(const TJournalSession& s) {
    TJournalMs last = 0;
    const auto consider = [&](const auto& rows) {
        if (!rows.empty())
            last = std::max(last, rows.back().at);
    };
    consider(s.samples);
    consider(s.fine);
    consider(s.markers);
    consider(s.questions);
    consider(s.answers);
    consider(s.events);
    return last;
}

// "1000 kΩ à 10 Hz ; 100 kΩ à 100 Hz"; the journal's own text when it does not read as points.
std::string CalibrationText(const TSessionReport& report) {
    const std::string& points = report.session.calibration;
    if (points.empty())
        return report.table.calibrated ? "étalonné (points non indiqués dans le journal)"
                                       : "non étalonné";
    try {
        std::string text;
        for (const TCalibrationPoint& point : ParseCalibrationPoints(points))
            text.append(text.empty() ? "" : " ; ")
                .append(FrenchDecimal(point.kiloohms, 3))
                .append(" kΩ à ")
                .append(FrenchDecimal(point.hertz, 3))
                .append(" Hz");
        return text;
    } catch (const ECalibration&) {
        return points;
    }
}

std::string Optional(const std::optional<double>& value, int decimals) {
    return value ? FrenchDecimal(*value, decimals, true) : std::string(kNone);
}

std::string_view KindName(TQuestionType type) {
    switch (type) {
    case TQuestionType::Relevant:
        return "R (pertinentes)";
    case TQuestionType::Comparison:
        return "C (de comparaison)";
    case TQuestionType::Neutral:
        return "N (neutres)";
    case TQuestionType::Unlisted:
        break;
    }
    return "- (hors liste)";
}

std::string_view AmplitudeUnit(const TResponseTable& table) {
    return table.calibrated ? "µS" : "%";
}

int AmplitudeDecimals(const TResponseTable& table) {
    return table.calibrated ? 3 : 2;
}

// Drops the last UTF-8 character of text.
void PopCharacter(std::string& text) {
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.back());
        text.pop_back();
        if ((byte & 0xC0) != 0x80)
            return;
    }
}

// The longest start of word, whole characters, that is at most width wide: at least one
// character.
std::size_t FittingPrefix(TCanvas& canvas, std::string_view word, int width) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 1; i <= word.size(); ++i)
        if (i == word.size() || (static_cast<unsigned char>(word[i]) & 0xC0) != 0x80)
            ends.push_back(i);
    const auto fits = std::partition_point(ends.begin(), ends.end(), [&](std::size_t end) {
        return canvas.TextWidth(word.substr(0, end)) <= width;
    });
    return fits == ends.begin() ? ends.front() : *std::prev(fits);
}

void WrapParagraph(TCanvas& canvas, std::string_view text, int width,
                   std::vector<std::string>& lines) {
    std::string line;
    bool any = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
        std::string_view word = text.substr(start, end - start);
        at = end;
        const std::string joined =
            line.empty() ? std::string(word) : line + " " + std::string(word);
        if (canvas.TextWidth(joined) <= width) {
            line = joined;
            continue;
        }
        if (!line.empty()) {
            lines.push_back(line);
            any = true;
        }
        while (canvas.TextWidth(word) > width) {
            const std::size_t head = FittingPrefix(canvas, word, width);
            lines.emplace_back(word.substr(0, head));
            any = true;
            word.remove_prefix(head);
        }
        line = std::string(word);
    }
    if (!line.empty() || !any)
        lines.push_back(line);
}

} // namespace

std::vector<std::string> WrapText(TCanvas& canvas, std::string_view text, int width) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        WrapParagraph(canvas, text.substr(at, end - at), width, lines);
        if (end == text.size())
            return lines;
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
}

// ---- The blocks -------------------------------------------------------------------------------

class TReportLayout::TBuilder {
public:
    TBuilder(const TSessionReport& report, TCanvas& canvas, int width, int height)
        : m_report(report), m_canvas(canvas), m_width(width), m_height(height) {}

    std::vector<TBlock> Build() {
        Title();
        Sheet();
        Questions();
        if (!m_report.table.rows.empty()) {
            Responses();
            Kinds();
            Method();
        }
        return std::move(m_blocks);
    }

private:
    struct TColumn {
        std::string header;
        double share = 0;
        bool right = false; // numbers stand against the column's right edge
        int width = 0;
    };

    int LineHeight(const TFontSpec& font) {
        m_canvas.SetFont(font);
        return m_canvas.TextHeight("W") + kLeading;
    }

    std::vector<std::string> Wrap(std::string_view text, const TFontSpec& font, int width) {
        m_canvas.SetFont(font);
        return WrapText(m_canvas, text, width);
    }

    TBlock& Add(int height, int spaceAbove = 0) {
        TBlock& block = m_blocks.emplace_back();
        block.height = height;
        block.spaceAbove = spaceAbove;
        return block;
    }

    // One block a line, so that a long text flows on to the next page.
    void Paragraph(std::string_view text, const TFontSpec& font, int spaceAbove) {
        const int height = LineHeight(font);
        for (const std::string& line : Wrap(text, font, m_width)) {
            Add(height, spaceAbove).texts.push_back({0, 0, line, font});
            spaceAbove = 0;
        }
    }

    void Heading(std::string_view text, int size = kHeadingSize) {
        const TFontSpec font = Font(size, true);
        TBlock& block = Add(LineHeight(font) + kParagraphSpace / 2, kSectionSpace);
        block.texts.push_back({0, 0, std::string(text), font});
        block.keepWithNext = true;
    }

    void Title() {
        const TFontSpec title = Font(kTitleSize, true);
        Add(LineHeight(title)).texts.push_back({0, 0, "Rapport de séance", title});
        const std::string& path = m_report.journalPath;
        Paragraph("Journal : " + path.substr(path.rfind('/') + 1), Font(kBodySize), 0);
    }

    // A field of the sheet: its label, then its value wrapped beside it, a block a line.
    void Field(std::string_view label, std::string_view value, int valueX) {
        const TFontSpec body = Font(kBodySize);
        const int height = LineHeight(body);
        bool first = true;
        for (const std::string& line : Wrap(value, body, m_width - valueX)) {
            TBlock& block = Add(height);
            if (first)
                block.texts.push_back({0, 0, std::string(label), Font(kBodySize, true)});
            block.texts.push_back({valueX, 0, line, body});
            first = false;
        }
    }

    void Sheet() {
        const TJournalSession& session = m_report.session;
        const TSessionSheet& sheet = m_report.sheet;
        const TResponseTable& table = m_report.table;
        const bool rows = !session.port.empty();
        int answered = 0;
        for (const TQuestionResponse& row : table.rows)
            answered += row.answer ? 1 : 0;
        const std::string questions = table.rows.empty()
                                          ? std::string("aucune")
                                          : std::to_string(table.rows.size()) + ", dont " +
                                                std::to_string(answered) + " avec une réponse";
        const std::pair<std::string_view, std::string> fields[] = {
            {"Date", rows ? DateText(session.start) : "inconnue"},
            {"Durée", DurationText(LastRowAt(session))},
            {"Port", rows ? session.port : "inconnu"},
            {"Périphérique",
             session.device.empty() ? "non indiqué dans le journal" : session.device},
            {"Étalonnage", CalibrationText(m_report)},
            {"Personne examinée", sheet.person.empty() ? "non renseignée" : sheet.person},
            {"Examinateur", sheet.examiner.empty() ? "non renseigné" : sheet.examiner},
            {"Questions", questions},
            {"Notes", sheet.notes.empty() ? "aucune" : sheet.notes},
        };
        m_canvas.SetFont(Font(kBodySize, true));
        int valueX = 0;
        for (const auto& [label, value] : fields)
            valueX = std::max(valueX, m_canvas.TextWidth(label));
        valueX += 2 * kParagraphSpace;
        Heading("Séance");
        for (const auto& [label, value] : fields)
            Field(label, value, valueX);
    }

    void Questions() {
        const TResponseTable& table = m_report.table;
        Heading("Questions");
        if (table.rows.empty()) {
            Paragraph("Aucune question n'a été posée pendant cette séance.", Font(kBodySize), 0);
            return;
        }
        const TFontSpec bold = Font(kBodySize, true);
        const TFontSpec body = Font(kBodySize);
        const int line = LineHeight(body);
        const int captionHeight = (1 + kCaptionLines) * line;
        // A page too small for so many keeps a chart of a few lines' height.
        const int chartHeight =
            std::max(m_height / kChartsPerPage - captionHeight - kChartSpace, 4 * line);
        for (std::size_t i = 0; i < table.rows.size(); ++i) {
            const TQuestionResponse& row = table.rows[i];
            std::string title = "Question " + std::to_string(row.number) + " (" +
                                QuestionTypeLetter(row.type) + ")";
            title += row.answer ? std::string(" — réponse : ") +
                                      std::string(*row.answer ? kAnswerYes : kAnswerNo)
                                : " — sans réponse";
            if (!row.response.measured)
                title += " — non mesurée";
            else if (!row.response.rise)
                title += " — aucune montée";
            std::vector<std::string> text =
                Wrap(row.text.empty() ? "(sans texte)" : "« " + row.text + " »", body, m_width);
            if (text.size() > std::size_t(kCaptionLines)) {
                text.resize(kCaptionLines);
                std::string& last = text.back();
                while (!last.empty() && m_canvas.TextWidth(last + std::string(kEllipsis)) > m_width)
                    PopCharacter(last);
                last += kEllipsis;
            }
            const int top = (1 + int(text.size())) * line;
            TBlock& block = Add(top + chartHeight, kChartSpace);
            block.texts.push_back({0, 0, title, bold});
            for (std::size_t l = 0; l < text.size(); ++l)
                block.texts.push_back({0, int(l + 1) * line, text[l], body});
            block.question = i;
            block.chart = {0, top, m_width, top + chartHeight};
        }
    }

    // Widths from shares of the page, each at least as wide as the words of its head: a column
    // of share 0 takes what the others leave.
    std::vector<TColumn> Columns(std::initializer_list<TColumn> shares) {
        std::vector<TColumn> columns(shares);
        m_canvas.SetFont(Font(kTableSize, true));
        int taken = 0;
        for (TColumn& column : columns) {
            if (column.share == 0)
                continue;
            column.width = static_cast<int>(column.share * m_width);
            for (std::size_t at = 0; at < column.header.size();) {
                const std::size_t end = std::min(column.header.find(' ', at), column.header.size());
                const int word = m_canvas.TextWidth(column.header.substr(at, end - at));
                column.width = std::max(column.width, word + 3 * kCellPadding);
                at = end + 1;
            }
            taken += column.width;
        }
        for (TColumn& column : columns)
            if (column.share == 0)
                column.width = m_width - taken;
        return columns;
    }

    // A row of cells, bold for a table's head; a row taller than a page is cut into pieces, each
    // with the head above it.
    void Row(const std::vector<TColumn>& columns, const std::vector<std::string>& cells, bool head,
             std::optional<std::size_t> headBlock) {
        const TFontSpec font = Font(kTableSize, head);
        const int line = LineHeight(font);
        std::vector<std::vector<std::string>> wrapped;
        std::size_t lines = 1;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            wrapped.push_back(
                Wrap(cells[c], font, columns[c].width - (columns[c].right ? 3 : 2) * kCellPadding));
            lines = std::max(lines, wrapped.back().size());
        }
        const int headHeight = headBlock ? m_blocks[*headBlock].height : 0;
        const auto perPiece = static_cast<std::size_t>(
            std::max(1, (m_height - headHeight - 2 * kCellPadding) / line));
        const TPenSpec rule{head ? chart::kClBlack : chart::kClGray, 1, chart::TPenStyle::Solid};
        for (std::size_t from = 0; from < lines; from += perPiece) {
            const std::size_t count = std::min(perPiece, lines - from);
            TBlock& block = Add(int(count) * line + 2 * kCellPadding);
            block.head = headBlock;
            block.keepWithNext = head;
            int x = 0;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                for (std::size_t l = from; l < from + count && l < wrapped[c].size(); ++l) {
                    const std::string& text = wrapped[c][l];
                    int at = x + kCellPadding;
                    // A number keeps a wider gap to its right, from the next column's text.
                    if (columns[c].right) {
                        m_canvas.SetFont(font);
                        at = x + columns[c].width - 2 * kCellPadding - m_canvas.TextWidth(text);
                    }
                    block.texts.push_back({at, kCellPadding + int(l - from) * line, text, font});
                }
                x += columns[c].width;
            }
            block.rules.push_back({0, m_width, block.height - 1, rule});
        }
    }

    std::vector<std::string> Cells(const TQuestionResponse& row) {
        const TResponseTable& table = m_report.table;
        const TResponse& response = row.response;
        std::vector<std::string> cells{
            std::to_string(row.number) + (response.overlapsPrevious ? "*" : ""),
            std::string(1, QuestionTypeLetter(row.type)),
            row.text.empty() ? std::string(kNone) : row.text,
            row.answer ? std::string(*row.answer ? kAnswerYes : kAnswerNo) : std::string(kNone),
        };
        const bool shown = response.measured && response.rise;
        cells.push_back(shown ? Optional(response.Latency(), 2) : std::string(kNone));
        cells.push_back(shown ? Optional(table.Amplitude(row), AmplitudeDecimals(table))
                              : std::string(kNone));
        cells.push_back(shown ? Optional(response.RiseTime(), 2) : std::string(kNone));
        cells.push_back(shown ? Optional(response.rise->halfRecovery, 2) : std::string(kNone));
        cells.push_back(!response.measured  ? "non mesurée"
                        : response.detected ? std::string(kAnswerYes)
                                            : std::string(kAnswerNo));
        return cells;
    }

    void Responses() {
        const TResponseTable& table = m_report.table;
        Heading("Tableau des réponses");
        const std::string amplitude = "Amplitude (" + std::string(AmplitudeUnit(table)) + ")";
        const std::vector<TColumn> columns = Columns({{"N°", 0.045},
                                                      {"Type", 0.05},
                                                      {"Question"},
                                                      {"Réponse", 0.075},
                                                      {"Latence (s)", 0.075, true},
                                                      {amplitude, 0.095, true},
                                                      {"Montée (s)", 0.075, true},
                                                      {"Demi-récup. (s)", 0.115, true},
                                                      {"Détectée", 0.09}});
        std::vector<std::string> headers;
        for (const TColumn& column : columns)
            headers.push_back(column.header);
        const std::size_t head = m_blocks.size();
        Row(columns, headers, true, std::nullopt);
        for (const TQuestionResponse& row : table.rows)
            Row(columns, Cells(row), false, head);
    }

    void Kinds() {
        const TResponseTable& table = m_report.table;
        Heading("Par type de question", kBodySize + 2);
        const std::vector<TColumn> columns =
            Columns({{"Type", 0.3},
                     {"Posées", 0.15, true},
                     {"Détectées", 0.15, true},
                     {"Amplitude moyenne (" + std::string(AmplitudeUnit(table)) + ")", 0.3, true}});
        std::vector<std::string> headers;
        for (const TColumn& column : columns)
            headers.push_back(column.header);
        const std::size_t head = m_blocks.size();
        Row(columns, headers, true, std::nullopt);
        for (const TKindSummary& kind : table.Summaries())
            if (kind.asked > 0)
                Row(columns,
                    {std::string(KindName(kind.type)), std::to_string(kind.asked),
                     std::to_string(kind.detected),
                     Optional(kind.meanAmplitude, AmplitudeDecimals(table))},
                    false, head);
        const auto ratio = table.RelevantOverComparison();
        Paragraph("Rapport R/C des amplitudes moyennes : " +
                      (ratio ? FrenchDecimal(*ratio, 2, true)
                             : std::string("sans valeur (il faut une réponse détectée parmi les "
                                           "questions R et parmi les questions C)")),
                  Font(kBodySize), kParagraphSpace);
    }

    void Method() {
        const TResponseTable& table = m_report.table;
        const TResponseSettings& s = m_report.settings;
        const auto number = [](double value) {
            return FrenchDecimal(value, 3);
        };
        const std::string threshold =
            table.calibrated ? number(s.minMicroSiemens) + " µS"
                             : number(s.minPercent) + " % du niveau au moment de la question";
        std::string text =
            "Mesures sur le signal fin (dix valeurs par seconde), du creux au pic de la plus "
            "grande montée qui commence de " +
            number(s.latencyMin) + " à " + number(s.latencyMax) +
            " s après la question, son pic au plus tard " + number(s.peakWindow) +
            " s après elle, dans une fenêtre de " + number(s.window) +
            " s au plus ; une réponse est détectée à partir de " + threshold + ". Amplitude " +
            (table.calibrated ? "en µS" : "en % du niveau au moment de la question") +
            ". Latence : de la question au début de la montée ; montée : de son début à son "
            "pic ; demi-récupération : du pic au retour à la moitié de l'amplitude.";
        Paragraph(text, Font(kTableSize), kSectionSpace);
        const bool overlapping =
            std::any_of(table.rows.begin(), table.rows.end(),
                        [](const auto& row) { return row.response.overlapsPrevious; });
        if (overlapping)
            Paragraph("* Question posée avant la fin de la fenêtre de la précédente : sa "
                      "réponse peut s'ajouter à la récupération de la précédente.",
                      Font(kTableSize), kParagraphSpace / 2);
    }

    const TSessionReport& m_report;
    TCanvas& m_canvas;
    int m_width;
    int m_height;
    std::vector<TBlock> m_blocks;
};

// ---- The pages --------------------------------------------------------------------------------

namespace {

int FootHeight(TCanvas& canvas) {
    canvas.SetFont(Font(kFootSize));
    return canvas.TextHeight("W") + 2 * kParagraphSpace;
}

} // namespace

TReportLayout::TReportLayout(const TSessionReport& report, TCanvas& canvas, TPageSize page)
    : m_report(report), m_page(page) {
    m_contentHeight = page.height - FootHeight(canvas);
    m_blocks = TBuilder(report, canvas, page.width, m_contentHeight).Build();

    m_pages.emplace_back();
    int y = 0;
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        const TBlock& block = m_blocks[i];
        // A heading goes to the next page with what it heads.
        int needed = block.height;
        for (std::size_t next = i; next + 1 < m_blocks.size() && m_blocks[next].keepWithNext;
             ++next)
            needed += m_blocks[next + 1].spaceAbove + m_blocks[next + 1].height;
        if (y > 0 && y + block.spaceAbove + needed > m_contentHeight) {
            m_pages.emplace_back();
            y = 0;
        }
        if (y == 0 && block.head && *block.head != i) {
            m_pages.back().push_back({*block.head, 0});
            y = m_blocks[*block.head].height;
        }
        if (y > 0)
            y += block.spaceAbove;
        m_pages.back().push_back({i, y});
        y += block.height;
    }
}

TReportLayout::~TReportLayout() = default;

void TReportLayout::DrawPage(TCanvas& canvas, int index) const {
    for (const TPlaced& placed : m_pages.at(static_cast<std::size_t>(index))) {
        const TBlock& block = m_blocks[placed.block];
        const int top = placed.top;
        if (block.question) {
            const TRect& r = block.chart;
            DrawQuestionChart(canvas, {r.left, top + r.top, r.right, top + r.bottom}, m_report,
                              *block.question);
        }
        canvas.SetBackMode(chart::TBackMode::Transparent);
        for (const TBlock::TText& text : block.texts) {
            canvas.SetFont(text.font);
            canvas.TextOut(text.x, top + text.y, text.text);
        }
        for (const TBlock::TRule& rule : block.rules) {
            canvas.SetPen(rule.pen);
            canvas.Line(rule.left, top + rule.y, rule.right, top + rule.y);
        }
    }

    const TFontSpec foot = Font(kFootSize);
    const int y = m_contentHeight + kParagraphSpace;
    canvas.SetPen({chart::kClGray, 1, chart::TPenStyle::Solid});
    canvas.Line(0, y - kParagraphSpace / 2, m_page.width, y - kParagraphSpace / 2);
    canvas.SetBackMode(chart::TBackMode::Transparent);
    canvas.SetFont(foot);
    const std::string& path = m_report.journalPath;
    canvas.TextOut(0, y, path.substr(path.rfind('/') + 1));
    const std::string number =
        "Page " + std::to_string(index + 1) + " / " + std::to_string(PageCount());
    canvas.TextOut(m_page.width - canvas.TextWidth(number), y, number);
}

} // namespace sornafex
