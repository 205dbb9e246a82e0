#include "report/question_chart.h"

#include "analysis/fine_frequency.h"
#include "base/decimal_text.h"
#include "chart/axis.h"
#include "chart/custom_chart.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace sornafex {

namespace {

using namespace chart;

constexpr double kDelaySeconds = double(TFineFrequency::kDelay) / 1e9;
// The fine rows stand 100 ms apart; a longer step between two is a span without an estimate.
constexpr double kLongestStep = 0.15;
constexpr double kTimeStep = 2;
// Room above and below the trace for the marks' labels, as a share of its span; a flat trace
// spans at least this share of its level.
constexpr double kRangePadding = 0.3;
constexpr double kFlatSpan = 0.005;
// Two marks' labels closer than this (beyond touching) would hide one another.
constexpr int kLabelClearance = 6;
constexpr std::string_view kTimeCaption = "secondes depuis la question";

constexpr TColor kTraceColor = Rgb(0, 100, 0);
constexpr TColor kAnswerColor = Rgb(0, 0, 170);
constexpr TColor kPointColor = Rgb(200, 0, 0);

// Measures on another canvas and draws nothing: the pass that lays the chart out before its
// labels are settled.
class TMeasuringCanvas final : public TCanvas {
public:
    explicit TMeasuringCanvas(TCanvas& metrics) : m_metrics(metrics) {}

    void SetPen(const TPenSpec&) override {}
    void SetBrush(const TBrushSpec&) override {}
    void SetFont(const TFontSpec& font) override { m_metrics.SetFont(font); }
    void SetBackMode(TBackMode) override {}
    void SetBackColor(TColor) override {}
    void Line(int, int, int, int) override {}
    void Rectangle(const TRect&) override {}
    void FillRect(const TRect&) override {}
    void TextOut(int, int, std::string_view) override {}
    int TextWidth(std::string_view text) override { return m_metrics.TextWidth(text); }
    int TextHeight(std::string_view text) override { return m_metrics.TextHeight(text); }
    void SetClipRect(const TRect&) override {}
    void ResetClip() override {}
    TColor SysColor(TSysColor which) const override { return m_metrics.SysColor(which); }

private:
    TCanvas& m_metrics;
};

std::optional<double> SignalOf(const TResponseTable& table, double hertz,
                               const std::optional<double>& microsiemens) {
    return table.calibrated ? microsiemens : std::optional(hertz);
}

// The chart's look on paper, with nothing on it.
TLineSeries& SetupQuestionChart(TCustomChart& chart, bool calibrated) {
    chart.BeginLoading();
    chart.SetMargins({0, 0, 1, 0});
    chart.SetBevelOuter(TBevel::None);
    chart.SetBevelInner(TBevel::None);
    chart.SetColor(kClWhite);
    TChartBrush wallBrush = chart.BackWall().brush;
    wallBrush.SetColor(kClWhite);
    chart.SetBackWallBrush(wallBrush);
    chart.SetBackColor(kClWhite);
    chart.SetFrame({kClGray, 1, TPenStyle::Solid, true, false});
    chart.Title().SetVisible(false);
    chart.Foot().SetText({std::string(kTimeCaption)});
    chart.Foot().SetFont({"Arial", 10, false, false, kClBlack});
    chart.SetLegendVisible(false);
    chart.SetView3D(false);
    chart.SetAllowZoom(false);
    chart.SetAllowPanning(false);

    TChartAxis& left = chart.LeftAxis();
    left.SetAutomatic(false);
    left.SetUnit(calibrated ? "µS" : "Hz");

    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetVisible(true);
    bottom.SetAutomatic(false);
    bottom.SetSteps(TAxisSteps::Seconds);
    bottom.SetLabelFormatter([&chart](double seconds) {
        return FormatSecondsBeforeNow(seconds, chart.NumberSeparators());
    });
    bottom.SetMinimum(-kQuestionChartBefore);
    bottom.SetMaximum(kQuestionChartAfter);
    bottom.SetIncrement(kTimeStep);

    TLineSeries& series = chart.AddSeries();
    series.SetSeriesColor(kTraceColor);
    chart.EndLoading();
    chart.SetPrinting(true);
    chart.SetMetafiling(true);
    return series;
}

} // namespace

std::string SignalValueText(double value) {
    return FrenchDecimal(value, 3, true);
}

void DrawQuestionChart(TCanvas& canvas, const TRect& bounds, const TSessionReport& report,
                       std::size_t row) {
    const TResponseTable& table = report.table;
    const TQuestionResponse& question = table.rows.at(row);
    const double onset = question.response.onset;
    TCustomChart chart;
    TLineSeries& series = SetupQuestionChart(chart, table.calibrated);

    // The trace, a point beyond each end so that it reaches the frame, and the span it covers.
    double low = INFINITY;
    double high = -INFINITY;
    const auto include = [&](double value) {
        low = std::min(low, value);
        high = std::max(high, value);
    };
    const auto& fine = report.session.fine;
    const auto firstAt = static_cast<TJournalMs>(
        std::floor((onset - kQuestionChartBefore + kDelaySeconds - kLongestStep) * 1000));
    auto point = std::lower_bound(fine.begin(), fine.end(), firstAt,
                                  [](const auto& f, TJournalMs at) { return f.at < at; });
    std::optional<double> previous;
    for (; point != fine.end(); ++point) {
        const double x = double(point->at) / 1000 - kDelaySeconds - onset;
        if (x > kQuestionChartAfter + kLongestStep)
            break;
        if (previous && x - *previous > kLongestStep)
            series.AddNullXY((x + *previous) / 2);
        previous = x;
        const auto value = SignalOf(table, point->hertz, point->microsiemens);
        if (!value) {
            series.AddNullXY(x);
            continue;
        }
        series.AddXY(x, *value);
        if (x >= -kQuestionChartBefore && x <= kQuestionChartAfter)
            include(*value);
    }

    std::vector<TChartPointMark> points;
    if (const auto& rise = question.response.rise) {
        const auto trough = SignalOf(table, rise->trough.hertz, rise->trough.microSiemens);
        const auto peak = SignalOf(table, rise->peak.hertz, rise->peak.microSiemens);
        if (trough && peak) {
            points.push_back({rise->trough.seconds - onset, *trough, TPointMarkShape::TriangleDown,
                              SignalValueText(*trough), kPointColor});
            points.push_back({rise->peak.seconds - onset, *peak, TPointMarkShape::TriangleUp,
                              SignalValueText(*peak), kPointColor});
            include(*trough);
            include(*peak);
        }
    }
    chart.SetPointMarks(points);

    TChartAxis& left = chart.LeftAxis();
    if (low <= high) {
        const double span = std::max(high - low, kFlatSpan * std::max(std::fabs(high), 1.0));
        const double middle = (low + high) / 2;
        left.SetMaximum(middle + span * (0.5 + kRangePadding));
        left.SetMinimum(middle - span * (0.5 + kRangePadding));
    } else {
        left.SetMaximum(1);
    }

    // The marks: the onset, the answer last given to the question, the markers in view.
    std::vector<TChartMarker> marks;
    // Appended rather than added: GCC 12 sees a false overlap in "Q" + std::to_string() at -O2.
    std::string onsetLabel = "Q";
    onsetLabel.append(std::to_string(question.number));
    marks.push_back({0, onsetLabel, {kClBlack, 1, TPenStyle::Solid, true, false}});
    std::optional<std::size_t> answerMark;
    const auto& answers = report.session.answers;
    const auto answer = std::find_if(answers.rbegin(), answers.rend(),
                                     [&](const auto& a) { return a.number == question.number; });
    if (answer != answers.rend()) {
        answerMark = marks.size();
        marks.push_back({double(answer->at) / 1000 - onset,
                         std::string(answer->yes ? kAnswerYes : kAnswerNo),
                         {kAnswerColor, 1, TPenStyle::Dash, true, false}});
    }
    for (const auto& marker : report.session.markers) {
        const double x = double(marker.at) / 1000 - onset;
        if (x >= -kQuestionChartBefore && x <= kQuestionChartAfter)
            marks.push_back({x, std::to_string(marker.number), TChartPen::DottedGray()});
    }
    chart.SetMarkers(marks);

    if (answerMark) {
        TMeasuringCanvas measuring(canvas);
        chart.Draw(measuring, bounds);
        canvas.SetFont(left.LabelsFont());
        const TChartAxis& bottom = chart.BottomAxis();
        TChartMarker& onsetMark = marks.front();
        TChartMarker& answered = marks[*answerMark];
        const int apart = bottom.CalcPosValue(answered.x) - bottom.CalcPosValue(onsetMark.x);
        const int needed =
            (canvas.TextWidth(onsetMark.label) + canvas.TextWidth(answered.label)) / 2 +
            kLabelClearance;
        if (apart < needed) {
            answered.label = onsetMark.label + " " + answered.label;
            onsetMark.label.clear();
            chart.SetMarkers(marks);
        }
    }
    chart.Draw(canvas, bounds);
}

} // namespace sornafex
