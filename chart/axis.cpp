#include "chart/axis.h"

#include "chart/custom_chart.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace sornafex::chart {

namespace {

constexpr std::string_view kMinimumAboveMaximum = "La valeur minimum de l'axe doit être <= Maximum";
constexpr std::string_view kMaximumBelowMinimum = "La valeur maximum de l'axe doit être >= Minimum";
constexpr std::string_view kNegativeIncrement = "L'incrément de l'axe doit être >= 0";

// Rows between the left axis' unit and the half of its top label above the plot.
constexpr int kUnitGap = 2;
// How many times a horizontal axis sizes its step anew by the labels of the step before; two
// rounds settle it in practice, and a label that would still overlap is left out when drawn.
constexpr int kWidthRounds = 4;

// The 1-2-5 series: the smallest of ..., 0.5, 1, 2, 5, 10, 20, ... above x (for x in [1, 10)),
// scaled by powers of ten outside that decade.
double NextDecimalStep(double x) {
    if (x >= 10)
        return NextDecimalStep(x * 0.1) * 10;
    if (x < 1)
        return NextDecimalStep(x * 10) * 0.1;
    if (x < 2)
        return 2;
    if (x < 5)
        return 5;
    return 10;
}

// The round durations after x seconds: the decimal series below a second, whole days in the
// 1-2-5 series beyond a day.
double NextTimeStep(double x) {
    static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,   300,
                                        600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400};
    if (x < 1)
        return NextDecimalStep(x);
    for (const double step : kSteps)
        if (step > x)
            return step;
    constexpr double kDay = 86400;
    return NextDecimalStep(x / kDay) * kDay;
}

struct TNumberFormat {
    bool grouping = false;
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

TNumberFormat ParseNumberFormat(std::string_view format) {
    TNumberFormat parsed;
    bool fraction = false;
    for (char c : format) {
        if (c == '.') {
            fraction = true;
        } else if (c == ',' && !fraction) {
            parsed.grouping = true;
        } else if (c == '0') {
            if (fraction) {
                ++parsed.minDecimals;
                ++parsed.maxDecimals;
            } else {
                ++parsed.minIntegerDigits;
            }
        } else if (c == '#' && fraction) {
            ++parsed.maxDecimals;
        }
    }
    return parsed;
}

} // namespace

std::string FormatAxisValue(double value, std::string_view format, const TNumberSeparators& seps) {
    const TNumberFormat fmt = ParseNumberFormat(format);
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");

    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", fmt.maxDecimals, std::fabs(value));
    std::string digits(buffer);

    std::string integer = digits;
    std::string fraction;
    if (const auto dot = digits.find('.'); dot != std::string::npos) {
        integer = digits.substr(0, dot);
        fraction = digits.substr(dot + 1);
    }
    while (static_cast<int>(fraction.size()) > fmt.minDecimals && !fraction.empty() &&
           fraction.back() == '0')
        fraction.pop_back();
    if (integer == "0" && fmt.minIntegerDigits == 0 && !fraction.empty())
        integer.clear();
    while (static_cast<int>(integer.size()) < fmt.minIntegerDigits)
        integer.insert(integer.begin(), '0');

    const bool zero = integer.find_first_not_of('0') == std::string::npos &&
                      fraction.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (value < 0 && !zero)
        out += '-';
    if (fmt.grouping) {
        for (std::size_t i = 0; i < integer.size(); ++i) {
            if (i > 0 && (integer.size() - i) % 3 == 0)
                out += seps.thousands;
            out += integer[i];
        }
    } else {
        out += integer;
    }
    if (!fraction.empty())
        out += seps.decimal + fraction;
    return out;
}

std::string FormatSecondsBeforeNow(double seconds, const TNumberSeparators& seps) {
    const std::string magnitude = FormatAxisValue(std::fabs(seconds), "0.###", seps);
    return seconds < 0 && magnitude != "0" ? "\u2212" + magnitude : magnitude;
}

std::string FormatRunTime(double seconds, const TNumberSeparators& seps) {
    // Whole milliseconds first, so that 59.9996 s reads 00:01:00 and never 00:00:60.
    const double milliseconds = std::nearbyint(std::fabs(seconds) * 1000);
    if (!(milliseconds < 9e18))
        return FormatAxisValue(seconds, "0", seps);
    const auto total = static_cast<std::int64_t>(milliseconds);
    const std::int64_t whole = total / 1000;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02d:%02d", static_cast<long long>(whole / 3600),
                  static_cast<int>(whole / 60 % 60), static_cast<int>(whole % 60));
    std::string out = seconds < 0 && total != 0 ? "\u2212" : "";
    out += text;
    if (const int fraction = static_cast<int>(total % 1000); fraction != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", fraction);
        std::string decimals = digits;
        while (decimals.back() == '0')
            decimals.pop_back();
        out += seps.decimal + decimals;
    }
    return out;
}

TChartAxis::TChartAxis(TCustomChart& chart, TAxisKind kind) : m_chart(chart), m_kind(kind) {}

template <typename T> void TChartAxis::Assign(T& field, const T& value) {
    if (field == value)
        return;
    field = value;
    m_chart.Invalidate();
}

void TChartAxis::SetMinimum(double value) {
    // A limit that is not a number compares false with everything and would pass the check;
    // an infinite one leaves no step to find. Neither is a range, whatever is loading.
    if (!std::isfinite(value) || (!m_chart.IsLoading() && value > m_maximum))
        throw AxisException(std::string(kMinimumAboveMaximum));
    Assign(m_minimum, value);
}

void TChartAxis::SetMaximum(double value) {
    if (!std::isfinite(value) || (!m_chart.IsLoading() && value < m_minimum))
        throw AxisException(std::string(kMaximumBelowMinimum));
    Assign(m_maximum, value);
}

void TChartAxis::SetRange(double min, double max) {
    if (!std::isfinite(max) || (!m_chart.IsLoading() && max < min))
        throw AxisException(std::string(kMaximumBelowMinimum));
    // The end that would cross the other goes second.
    if (min > m_maximum) {
        SetMaximum(max);
        SetMinimum(min);
    } else {
        SetMinimum(min);
        SetMaximum(max);
    }
}

void TChartAxis::SetAutomatic(bool value) {
    Assign(m_automatic, value);
    if (!m_chart.IsLoading()) {
        Assign(m_automaticMinimum, value);
        Assign(m_automaticMaximum, value);
    }
}

void TChartAxis::SetAutomaticMinimum(bool value) {
    Assign(m_automaticMinimum, value);
}
void TChartAxis::SetAutomaticMaximum(bool value) {
    Assign(m_automaticMaximum, value);
}

void TChartAxis::SetIncrement(double value) {
    if (!(value >= 0) || std::isinf(value))
        throw AxisException(std::string(kNegativeIncrement));
    Assign(m_increment, value);
}

void TChartAxis::SetSteps(TAxisSteps steps) {
    Assign(m_steps, steps);
}

void TChartAxis::SetVisible(bool value) {
    Assign(m_visible, value);
}
void TChartAxis::SetLabelsSeparation(int percent) {
    Assign(m_labelsSeparation, std::max(0, percent));
}
void TChartAxis::SetAxisValuesFormat(std::string format) {
    Assign(m_valuesFormat, format);
}
void TChartAxis::SetLabelFormatter(TAxisLabelFormatter formatter) {
    m_formatter = std::move(formatter);
    m_chart.Invalidate();
}
void TChartAxis::SetUnit(std::string unit) {
    Assign(m_unit, unit);
}
void TChartAxis::SetLabels(bool value) {
    Assign(m_labels, value);
}
void TChartAxis::SetLabelsFont(const TFontSpec& font) {
    Assign(m_labelsFont, font);
}
void TChartAxis::SetLabelsSize(int size) {
    Assign(m_labelsSize, size);
}
void TChartAxis::SetLabelsOnAxis(bool value) {
    Assign(m_labelsOnAxis, value);
}
void TChartAxis::SetRoundFirstLabel(bool value) {
    Assign(m_roundFirstLabel, value);
}
void TChartAxis::SetTickOnLabelsOnly(bool value) {
    Assign(m_tickOnLabelsOnly, value);
}
void TChartAxis::SetAxisPen(const TChartPen& pen) {
    Assign(m_axisPen, pen);
}
void TChartAxis::SetTicks(const TChartPen& pen) {
    Assign(m_ticks, pen);
}
void TChartAxis::SetTickLength(int length) {
    Assign(m_tickLength, length);
}
void TChartAxis::SetTicksInner(const TChartPen& pen) {
    Assign(m_ticksInner, pen);
}
void TChartAxis::SetTickInnerLength(int length) {
    Assign(m_tickInnerLength, length);
}
void TChartAxis::SetMinorTicks(const TChartPen& pen) {
    Assign(m_minorTicks, pen);
}
void TChartAxis::SetMinorTickLength(int length) {
    Assign(m_minorTickLength, length);
}
void TChartAxis::SetMinorTickCount(int count) {
    Assign(m_minorTickCount, std::max(0, count));
}
void TChartAxis::SetGrid(const TChartPen& pen) {
    Assign(m_grid, pen);
}
void TChartAxis::SetMinorGrid(const TChartPen& pen) {
    Assign(m_minorGrid, pen);
}
void TChartAxis::SetGridCentered(bool value) {
    Assign(m_gridCentered, value);
}
void TChartAxis::SetStartPosition(double percent) {
    Assign(m_startPosition, percent);
}
void TChartAxis::SetEndPosition(double percent) {
    Assign(m_endPosition, percent);
}

double TChartAxis::CalcPosPoint(int pixel) const {
    if (m_iAxisSize < 1)
        return 0;
    const double offset = double(pixel - m_iStartPos) * m_iRange / m_iAxisSize;
    return Horizontal() ? m_iMinimum + offset : m_iMaximum - offset;
}

void TChartAxis::AdjustRange() {
    double lo = m_minimum;
    double hi = m_maximum;
    if (m_automatic && (m_automaticMinimum || m_automaticMaximum)) {
        bool any = false;
        double dataLo = 0;
        double dataHi = 0;
        for (int i = 0; i < m_chart.SeriesCount(); ++i) {
            const TLineSeries& series = m_chart.Series(i);
            if (!series.Active() || series.Count() == 0)
                continue;
            const TChartValueList* values = nullptr;
            if (&series.HorizAxis() == this)
                values = &series.XValues();
            else if (&series.VertAxis() == this)
                values = &series.YValues();
            if (values == nullptr)
                continue;
            dataLo = any ? std::min(dataLo, values->MinValue()) : values->MinValue();
            dataHi = any ? std::max(dataHi, values->MaxValue()) : values->MaxValue();
            any = true;
        }
        if (m_automaticMinimum)
            lo = dataLo;
        if (m_automaticMaximum)
            hi = dataHi;
    }
    m_iMinimum = lo;
    m_iMaximum = hi;
    m_iRange = hi - lo;
}

int TChartAxis::LabelHeight(TCanvas& canvas) const {
    return canvas.TextHeight("W");
}

double TChartAxis::GrowStep(double step) const {
    const double next = m_steps == TAxisSteps::Seconds ? NextTimeStep(step) : NextDecimalStep(step);
    // Should rounding ever make the series stand still, doubling keeps the search finite.
    return next > step ? next : step * 2;
}

double TChartAxis::StepForLabelSize(int size) const {
    int maxLabels = 1;
    if (size > 0) {
        double s = size;
        if (m_labelsSeparation > 0)
            s += NearestEven(m_labelsSeparation * 0.01 * s);
        maxLabels = NearestEven(m_iAxisSize / s);
    }
    // A range too wide for a double (limits near the double's own ends) has no step at all.
    if (maxLabels < 1 || !std::isfinite(m_iRange))
        return kMinStep;

    double step = m_increment > 0 ? m_increment : (std::fabs(m_iRange) >= 1 ? 1.0 : kMinStep);
    if (m_labelsSeparation > 0) {
        int count = maxLabels + 1;
        do {
            const double q = m_iRange / step;
            if (std::fabs(q) < kMaxPixelOffset) {
                count = NearestEven(q);
                if (count > maxLabels)
                    step = GrowStep(step);
            } else {
                step = GrowStep(step);
            }
        } while (count > maxLabels);
    }
    return std::max(step, kMinStep);
}

double TChartAxis::CalcIncrement(TCanvas& canvas) const {
    canvas.SetFont(m_labelsFont);
    if (!Horizontal())
        return StepForLabelSize(LabelHeight(canvas)); // every label is one line of the same font

    // Side by side, labels need a space between them, which the height of a line already holds
    // for stacked ones. The range's ends give a first size, but the labels are what a step
    // draws: wider inside the range ("0,05" between "0" and "0,5"), or narrower than ends that
    // fall between them ("01:00:00,5"). The step follows its own widest label, and a smaller
    // step is taken only where its labels fit too.
    const int space = canvas.TextWidth(" ");
    int size =
        std::max(canvas.TextWidth(LabelText(m_iMaximum)), canvas.TextWidth(LabelText(m_iMinimum)));
    double step = StepForLabelSize(size + space);
    for (int round = 0; round < kWidthRounds; ++round) {
        const int widest = WidestLabel(canvas, step);
        if (widest == size)
            break;
        const double next = StepForLabelSize(widest + space);
        if (widest < size && WidestLabel(canvas, next) > widest)
            break;
        size = widest;
        step = next;
    }
    return step;
}

int TChartAxis::WidestLabel(TCanvas& canvas, double step) const {
    int widest = 0;
    ForEachLabel(step, [&](double value, int) {
        widest = std::max(widest, canvas.TextWidth(LabelText(value)));
    });
    return widest;
}

std::string TChartAxis::LabelText(double value) const {
    if (m_formatter)
        return m_formatter(value);
    return FormatAxisValue(value, m_valuesFormat, m_chart.NumberSeparators());
}

int TChartAxis::TickRoom() const {
    int room = (m_axisPen.visible ? m_axisPen.width : 0) + (m_ticks.visible ? m_tickLength : 0);
    if (m_minorTicks.visible)
        room = std::max(room, m_minorTickLength);
    return room;
}

int TChartAxis::RoomAbove(TCanvas& canvas) const {
    if (m_kind != TAxisKind::Left || m_unit.empty())
        return 0;
    canvas.SetFont(m_labelsFont);
    const int h = LabelHeight(canvas);
    return h / 2 + kUnitGap + h;
}

void TChartAxis::CalcRect(TCanvas& canvas, TRect& rect) {
    if (m_kind == TAxisKind::Top || m_kind == TAxisKind::Right)
        return;
    if (Horizontal()) {
        if (m_labels) {
            canvas.SetFont(m_labelsFont);
            rect.bottom -= m_labelsSize != 0 ? m_labelsSize : LabelHeight(canvas);
        }
        m_posLabels = rect.bottom;
        rect.bottom -= TickRoom();
        return;
    }
    int room = 0;
    if (m_labels) {
        room = m_labelsSize;
        if (room == 0) {
            // The step from the previous drawing's span: the room must be known before the span.
            const double step = CalcIncrement(canvas);
            double a = m_iMinimum;
            double b = m_iMaximum;
            if (m_roundFirstLabel) {
                a = std::trunc(a / step) * step;
                b = std::trunc(b / step) * step;
            }
            canvas.SetFont(m_labelsFont);
            room = std::max(canvas.TextWidth(LabelText(a)), canvas.TextWidth(LabelText(b))) +
                   canvas.TextWidth(" ");
        }
    }
    if (!m_unit.empty()) {
        canvas.SetFont(m_labelsFont);
        room = std::max(room, canvas.TextWidth(m_unit) + canvas.TextWidth(" "));
    }
    rect.left += room;
    m_posLabels = rect.left;
    rect.left += TickRoom();
}

void TChartAxis::CalcScreenPos(const TRect& plot) {
    m_plot = plot;
    const int origin = Horizontal() ? plot.left : plot.top;
    const int length = Horizontal() ? plot.Width() : plot.Height();
    m_iStartPos = origin + NearestEven(length * 0.01 * m_startPosition);
    m_iEndPos = origin + NearestEven(length * 0.01 * m_endPosition);
    m_iAxisSize = m_iEndPos - m_iStartPos;
    m_iCenterPos = (m_iStartPos + m_iEndPos) / 2;
    m_posAxis = m_kind == TAxisKind::Left    ? plot.left
                : m_kind == TAxisKind::Right ? plot.right
                : m_kind == TAxisKind::Top   ? plot.top
                                             : plot.bottom;
}

template <typename Visit> void TChartAxis::ForEachLabel(double step, Visit visit) const {
    if (!(std::fabs(m_iRange / step) < kMaxLabels))
        return;
    double value = (m_iMinimum == m_iMaximum || !m_roundFirstLabel)
                       ? m_iMaximum
                       : std::trunc(m_iMaximum / step) * step;
    while (value > m_iMaximum) {
        const double next = value - step;
        if (next == value)
            return;
        value = next;
    }
    // The left axis keeps the limit the main window has always had, a hair above a negative
    // minimum, so that a label on a negative minimum is not drawn there. The bottom axis, whose
    // "−60" stands at the left end, allows the rounding of a millionth of a step.
    const double limit = Horizontal() ? m_iMinimum - std::fabs(step) * 1e-6
                                      : (m_iMinimum - kMinStep) / 1.000000000001;

    // With a zero range the step is 1e-12 and the same label repeats at the centre; the bound on
    // the labels ends that long before it could matter, and a value too large to decrease by
    // the step would never reach the limit.
    std::size_t visited = 0;
    while (value >= limit && visited < kMaxTicks) {
        const int p = CalcPosValue(value);
        if (m_labelsOnAxis || (m_iStartPos < p && p < m_iEndPos)) {
            visit(value, p);
            ++visited;
        }
        const double next = value - step;
        if (next == value)
            break;
        value = next;
    }
}

TFontSpec TChartAxis::DrawnLabelsFont() const {
    TFontSpec font = m_labelsFont;
    if (m_chart.Printing() && font.color == kClWhite)
        font.color = kClBlack;
    return font;
}

void TChartAxis::DrawLabelsAndTicks(TCanvas& canvas, double step) {
    m_tickPos.clear();
    canvas.SetFont(DrawnLabelsFont());
    canvas.SetBrush({kClWhite, TBrushStyle::Clear});
    canvas.SetBackMode(TBackMode::Transparent);
    const int h = canvas.TextHeight("W");

    // Labels side by side come from the right; each must end left of the one drawn before it,
    // which only a step the width rounds could not settle leaves undone.
    int freeRight = INT_MAX;
    ForEachLabel(step, [&](double value, int p) {
        if (!m_tickOnLabelsOnly)
            m_tickPos.push_back(p);
        if (!m_labels)
            return;
        if (m_tickOnLabelsOnly)
            m_tickPos.push_back(p);
        const std::string text = LabelText(value);
        const int width = canvas.TextWidth(text);
        if (!Horizontal()) {
            canvas.TextOut(m_posLabels - width, p - h / 2, text);
            return;
        }
        const int left = p - width / 2;
        if (left + width > freeRight)
            return;
        canvas.TextOut(left, m_posLabels, text);
        freeRight = left;
    });
}

void TChartAxis::Across(TCanvas& canvas, int p, int from, int to) const {
    if (Horizontal())
        canvas.Line(p, from, p, to);
    else
        canvas.Line(from, p, to, p);
}

void TChartAxis::DrawUnit(TCanvas& canvas) {
    if (m_kind != TAxisKind::Left || m_unit.empty())
        return;
    canvas.SetFont(DrawnLabelsFont());
    canvas.SetBackMode(TBackMode::Transparent);
    const int h = canvas.TextHeight("W");
    canvas.TextOut(m_posLabels - canvas.TextWidth(m_unit), m_iStartPos - h / 2 - kUnitGap - h,
                   m_unit);
}

void TChartAxis::DrawMinorTicks(TCanvas& canvas) {
    if (m_tickPos.empty() || m_minorTickCount <= 0)
        return;
    std::vector<int> rows;
    const int parts = m_minorTickCount + 1;
    if (m_tickPos.size() >= 2) {
        const double d = double(m_tickPos[1] - m_tickPos[0]) / parts;
        for (int j = 1; j <= m_minorTickCount; ++j) {
            rows.push_back(m_tickPos.front() - NearestEven(j * d));
            rows.push_back(m_tickPos.back() + NearestEven(j * d));
        }
    }
    for (std::size_t i = 1; i < m_tickPos.size(); ++i)
        for (int j = 1; j <= m_minorTickCount; ++j)
            rows.push_back(m_tickPos[i] -
                           NearestEven(j * double(m_tickPos[i] - m_tickPos[i - 1]) / parts));

    const bool printing = m_chart.Printing();
    const int out = OutwardStep();
    if (m_minorTicks.visible && m_minorTickLength != 0) {
        canvas.SetPen(m_minorTicks.ToPen(printing));
        for (int row : rows)
            if (m_iStartPos < row && row < m_iEndPos)
                Across(canvas, row, m_posAxis + out, m_posAxis + out * (1 + m_minorTickLength));
    }
    if (m_minorGrid.visible) {
        canvas.SetBackMode(TBackMode::Transparent);
        canvas.SetPen(m_minorGrid.ToPen(printing, kClGray));
        for (int row : rows)
            if (m_iStartPos < row && row < m_iEndPos)
                Across(canvas, row, PlotNear(), PlotFar());
        canvas.SetBackMode(TBackMode::Opaque);
    }
}

void TChartAxis::Draw(TCanvas& canvas) {
    if (m_kind == TAxisKind::Top || m_kind == TAxisKind::Right)
        return;
    const bool printing = m_chart.Printing();
    DrawLabelsAndTicks(canvas, CalcIncrement(canvas));
    DrawUnit(canvas);

    if (m_axisPen.visible) {
        canvas.SetPen(m_axisPen.ToPen(printing));
        if (Horizontal())
            canvas.Line(m_iStartPos, m_posAxis, m_iEndPos, m_posAxis);
        else
            canvas.Line(m_posAxis, m_iStartPos, m_posAxis, m_iEndPos);
    }
    const int out = OutwardStep();
    if (m_ticks.visible && m_tickLength != 0) {
        canvas.SetPen(m_ticks.ToPen(printing));
        for (int p : m_tickPos)
            Across(canvas, p, m_posAxis + out, m_posAxis + out * (1 + m_tickLength));
    }
    if (m_grid.visible) {
        canvas.SetBackMode(TBackMode::Transparent);
        canvas.SetBrush({kClWhite, TBrushStyle::Clear});
        canvas.SetPen(m_grid.ToPen(printing, kClGray));
        if (m_gridCentered) {
            for (std::size_t i = 1; i < m_tickPos.size(); ++i)
                Across(canvas, NearestEven((m_tickPos[i] + m_tickPos[i - 1]) * 0.5), PlotNear(),
                       PlotFar());
        } else {
            for (int p : m_tickPos)
                Across(canvas, p, PlotNear(), PlotFar());
        }
        canvas.SetBackMode(TBackMode::Opaque);
    }
    if (m_ticksInner.visible && m_tickInnerLength != 0) {
        canvas.SetPen(m_ticksInner.ToPen(printing));
        for (int p : m_tickPos)
            Across(canvas, p, m_posAxis - out, m_posAxis - out * (1 + m_tickInnerLength));
    }
    DrawMinorTicks(canvas);
}

} // namespace sornafex::chart
