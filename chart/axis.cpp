#include "chart/axis.h"

#include "chart/custom_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace sornafex::chart {

namespace {

constexpr std::string_view kMinimumAboveMaximum = "La valeur minimum de l'axe doit être <= Maximum";
constexpr std::string_view kMaximumBelowMinimum = "La valeur maximum de l'axe doit être >= Minimum";
constexpr std::string_view kNegativeIncrement = "L'incrément de l'axe doit être >= 0";

// Beyond this an offset in pixels no longer fits the 32-bit coordinates of the canvas.
constexpr double kMaxPixelOffset = 2147483647.0;

// The 1-2-5 series: the smallest of ..., 0.5, 1, 2, 5, 10, 20, ... above x (for x in [1, 10)),
// scaled by powers of ten outside that decade.
double NextStep(double x) {
    if (x >= 10)
        return NextStep(x * 0.1) * 10;
    if (x < 1)
        return NextStep(x * 10) * 0.1;
    if (x < 2)
        return 2;
    if (x < 5)
        return 5;
    return 10;
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

int NearestEven(double value) {
    // std::nearbyint follows the rounding mode, which the program leaves at to-nearest-even.
    const double rounded = std::nearbyint(value);
    if (!(rounded > double(std::numeric_limits<int>::min())))
        return std::numeric_limits<int>::min();
    if (rounded >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

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

void TChartAxis::SetVisible(bool value) {
    Assign(m_visible, value);
}
void TChartAxis::SetLabelsSeparation(int percent) {
    Assign(m_labelsSeparation, std::max(0, percent));
}
void TChartAxis::SetAxisValuesFormat(std::string format) {
    Assign(m_valuesFormat, format);
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

int TChartAxis::CalcPosValue(double value) const {
    if (m_iRange == 0)
        return m_iCenterPos;
    const double offset = (value - m_iMinimum) * m_iAxisSize / m_iRange;
    if (!(std::fabs(offset) < kMaxPixelOffset))
        return m_iCenterPos;
    // The offset fits in 32 bits, the position measured from the axis' end need not: a value
    // far below the range on a tall axis lies beyond the int range. Such a pixel is far outside
    // anything drawable, and the int limit says so as well as the exact row would.
    const std::int64_t rounded = NearestEven(offset);
    const std::int64_t pixel = Horizontal() ? m_iStartPos + rounded : m_iEndPos - rounded;
    return static_cast<int>(std::clamp<std::int64_t>(pixel, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
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

double TChartAxis::CalcIncrement(TCanvas& canvas) const {
    canvas.SetFont(m_labelsFont);
    int size = 0;
    if (Horizontal())
        size = std::max(canvas.TextWidth(LabelText(m_iMaximum)),
                        canvas.TextWidth(LabelText(m_iMinimum)));
    else
        size = LabelHeight(canvas); // every label here is one line of the same font

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
        // Grow the step along the 1-2-5 series until the labels fit. Should rounding ever make
        // the series stand still, doubling keeps the search finite.
        auto grow = [](double x) {
            const double next = NextStep(x);
            return next > x ? next : x * 2;
        };
        int count = maxLabels + 1;
        do {
            const double q = m_iRange / step;
            if (std::fabs(q) < kMaxPixelOffset) {
                count = NearestEven(q);
                if (count > maxLabels)
                    step = grow(step);
            } else {
                step = grow(step);
            }
        } while (count > maxLabels);
    }
    return std::max(step, kMinStep);
}

std::string TChartAxis::LabelText(double value) const {
    return FormatAxisValue(value, m_valuesFormat, m_chart.NumberSeparators());
}

void TChartAxis::CalcRect(TCanvas& canvas, TRect& rect) {
    if (m_kind != TAxisKind::Left)
        return;
    if (m_labels) {
        int room = m_labelsSize;
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
        rect.left += room;
    }
    m_posLabels = rect.left;
    int tickRoom = (m_axisPen.visible ? m_axisPen.width : 0) + (m_ticks.visible ? m_tickLength : 0);
    if (m_minorTicks.visible)
        tickRoom = std::max(tickRoom, m_minorTickLength);
    rect.left += tickRoom;
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

void TChartAxis::DrawLabelsAndTicks(TCanvas& canvas, double step) {
    m_tickPos.clear();
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
    const double limit = (m_iMinimum - kMinStep) / 1.000000000001;

    TFontSpec font = m_labelsFont;
    if (m_chart.Printing() && font.color == kClWhite)
        font.color = kClBlack;
    canvas.SetFont(font);
    canvas.SetBrush({kClWhite, TBrushStyle::Clear});
    canvas.SetBackMode(TBackMode::Transparent);
    const int h = canvas.TextHeight("W");

    // With a zero range the step is 1e-12 and the same label repeats at the centre row; the
    // tick list is full long before that could matter, and a value too large to decrease by
    // the step would never reach the limit.
    while (value >= limit && m_tickPos.size() < kMaxTicks) {
        const int p = CalcPosValue(value);
        if (m_labelsOnAxis || (m_iStartPos < p && p < m_iEndPos)) {
            if (!m_tickOnLabelsOnly)
                m_tickPos.push_back(p);
            if (m_labels) {
                if (m_tickOnLabelsOnly)
                    m_tickPos.push_back(p);
                const std::string text = LabelText(value);
                canvas.TextOut(m_posLabels - canvas.TextWidth(text), p - h / 2, text);
            }
        }
        const double next = value - step;
        if (next == value)
            break;
        value = next;
    }
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
    if (m_minorTicks.visible && m_minorTickLength != 0) {
        canvas.SetPen(m_minorTicks.ToPen(printing));
        for (int row : rows)
            if (m_iStartPos < row && row < m_iEndPos)
                canvas.Line(m_posAxis - 1, row, m_posAxis - 1 - m_minorTickLength, row);
    }
    if (m_minorGrid.visible) {
        canvas.SetBackMode(TBackMode::Transparent);
        canvas.SetPen(m_minorGrid.ToPen(printing, kClGray));
        for (int row : rows)
            if (m_iStartPos < row && row < m_iEndPos)
                canvas.Line(m_plot.left, row, m_plot.right, row);
        canvas.SetBackMode(TBackMode::Opaque);
    }
}

void TChartAxis::Draw(TCanvas& canvas) {
    if (m_kind != TAxisKind::Left)
        return;
    const bool printing = m_chart.Printing();
    DrawLabelsAndTicks(canvas, CalcIncrement(canvas));

    if (m_axisPen.visible) {
        canvas.SetPen(m_axisPen.ToPen(printing));
        canvas.Line(m_posAxis, m_iStartPos, m_posAxis, m_iEndPos);
    }
    if (m_ticks.visible && m_tickLength != 0) {
        canvas.SetPen(m_ticks.ToPen(printing));
        for (int p : m_tickPos)
            canvas.Line(m_posAxis - 1, p, m_posAxis - 1 - m_tickLength, p);
    }
    if (m_grid.visible) {
        canvas.SetBackMode(TBackMode::Transparent);
        canvas.SetBrush({kClWhite, TBrushStyle::Clear});
        canvas.SetPen(m_grid.ToPen(printing, kClGray));
        if (m_gridCentered) {
            for (std::size_t i = 1; i < m_tickPos.size(); ++i) {
                const int row = NearestEven((m_tickPos[i] + m_tickPos[i - 1]) * 0.5);
                canvas.Line(m_plot.left, row, m_plot.right, row);
            }
        } else {
            for (int p : m_tickPos)
                canvas.Line(m_plot.left, p, m_plot.right, p);
        }
        canvas.SetBackMode(TBackMode::Opaque);
    }
    if (m_ticksInner.visible && m_tickInnerLength != 0) {
        canvas.SetPen(m_ticksInner.ToPen(printing));
        for (int p : m_tickPos)
            canvas.Line(m_posAxis + 1, p, m_posAxis + 1 + m_tickInnerLength, p);
    }
    DrawMinorTicks(canvas);
}

} // namespace sornafex::chart
