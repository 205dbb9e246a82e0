#include "chart/custom_chart.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace sornafex::chart {

namespace {

// Rows between a shown title and the plot area, and between the marker labels and the plot.
constexpr int kTitleGap = 5;
constexpr int kMarkerLabelGap = 2;
// Columns kept free between two marker labels.
constexpr int kMarkerLabelSpacing = 3;
// Pixels from a point mark's centre to its tip and to its base, and between it and its label.
constexpr int kPointMarkRadius = 4;
constexpr int kPointMarkLabelGap = 1;

// Margins round halves away from zero, unlike the axis arithmetic.
int PercentOf(int percent, int length) {
    return static_cast<int>(std::lround(double(percent) * length / 100.0));
}

bool IsHatched(TBrushStyle style) {
    return style != TBrushStyle::Solid && style != TBrushStyle::Clear;
}

// A 3D frame inside r, width pixels thick: top and left edges in topColor, bottom and right
// edges in bottomColor. Returns r shrunk by the frame.
TRect Frame3D(TCanvas& canvas, TRect r, TColor topColor, TColor bottomColor, int width) {
    for (int k = 0; k < width && r.Width() > 0 && r.Height() > 0; ++k) {
        const int right = r.right - 1;
        const int bottom = r.bottom - 1;
        canvas.SetPen({topColor, 1, TPenStyle::Solid, false});
        canvas.Line(r.left, bottom, r.left, r.top);
        canvas.Line(r.left, r.top, right, r.top);
        canvas.SetPen({bottomColor, 1, TPenStyle::Solid, false});
        canvas.Line(right, r.top, right, bottom);
        canvas.Line(right, bottom, r.left - 1, bottom);
        r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
    return r;
}

TRect Intersect(const TRect& a, const TRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Which of the marker lines, sorted by column, change a pixel on the screen. A whole session's
// thousands of marks share columns, and there every line of a column spans the same pixels: one
// under a later solid line at least as wide, or one over a solid line of its colour at least as
// wide, changes none. (A printer's thinnest dotted line may not sit inside its column.)
std::vector<bool>
ColumnLinesThatShow(const std::vector<std::pair<int, const TChartMarker*>>& shown) {
    const auto penOf = [&](std::size_t k) {
        return shown[k].second->pen.ToPen(false);
    };
    const auto solid = [](const TPenSpec& p) {
        return p.style == TPenStyle::Solid && !p.smallDots;
    };
    const auto width = [](const TPenSpec& p) {
        return std::max(1, p.width);
    };
    std::vector<bool> drawn(shown.size(), false);
    for (std::size_t begin = 0, end = 0; begin < shown.size(); begin = end) {
        end = begin;
        while (end < shown.size() && shown[end].first == shown[begin].first)
            ++end;
        int solidLater = 0;
        for (std::size_t i = end; i-- > begin;) {
            const TPenSpec pen = penOf(i);
            drawn[i] = pen.style != TPenStyle::Clear && solidLater < width(pen);
            if (drawn[i] && solid(pen))
                solidLater = std::max(solidLater, width(pen));
        }
        std::optional<TPenSpec> under;
        for (std::size_t i = begin; i < end; ++i) {
            if (!drawn[i])
                continue;
            const TPenSpec pen = penOf(i);
            if (under && solid(*under) && under->color == pen.color && width(*under) >= width(pen))
                drawn[i] = false;
            else
                under = pen;
        }
    }
    return drawn;
}

} // namespace

TCustomChart::TCustomChart() : m_title(*this), m_foot(*this) {
    m_axes = {std::make_unique<TChartAxis>(*this, TAxisKind::Left),
              std::make_unique<TChartAxis>(*this, TAxisKind::Top),
              std::make_unique<TChartAxis>(*this, TAxisKind::Right),
              std::make_unique<TChartAxis>(*this, TAxisKind::Bottom)};
    m_backWall.brush.SetStyle(TBrushStyle::Clear);

    TFontSpec titleFont;
    titleFont.color = kClBlue;
    m_title.SetFont(titleFont);
    TFontSpec footFont;
    footFont.color = kClRed;
    footFont.italic = true;
    m_foot.SetFont(footFont);
}

TCustomChart::~TCustomChart() = default;

template <typename T> void TCustomChart::Assign(T& field, const T& value) {
    if (field == value)
        return;
    field = value;
    Invalidate();
}

void TCustomChart::Invalidate() {
    RequestRepaint();
}
void TCustomChart::Refresh() {
    RepaintNow();
}

void TCustomChart::EndLoading() {
    if (m_loading > 0)
        --m_loading;
}

void TCustomChart::SetMargins(const TMargins& margins) {
    Assign(m_margins, margins);
}
void TCustomChart::SetColor(TColor color) {
    Assign(m_color, color);
}
void TCustomChart::SetBevelOuter(TBevel bevel) {
    Assign(m_bevelOuter, bevel);
}
void TCustomChart::SetBevelInner(TBevel bevel) {
    Assign(m_bevelInner, bevel);
}
void TCustomChart::SetBevelWidth(int width) {
    Assign(m_bevelWidth, std::max(0, width));
}
void TCustomChart::SetBorderWidth(int width) {
    Assign(m_borderWidth, std::max(0, width));
}
void TCustomChart::SetLegendVisible(bool visible) {
    Assign(m_legendVisible, visible);
}
void TCustomChart::SetView3D(bool value) {
    Assign(m_view3D, value);
}
void TCustomChart::SetClipPoints(bool value) {
    Assign(m_clipPoints, value);
}
void TCustomChart::SetAxisVisible(bool value) {
    Assign(m_axisVisible, value);
}
void TCustomChart::SetNumberSeparators(const TNumberSeparators& separators) {
    Assign(m_separators, separators);
}

void TCustomChart::SetBackColor(TColor color) {
    if (!IsLoading()) {
        TChartBrush solid = m_backWall.brush;
        solid.SetStyle(TBrushStyle::Solid);
        Assign(m_backWall.brush, solid);
    }
    Assign(m_backWall.color, color);
}

void TCustomChart::SetBackWallBrush(const TChartBrush& brush) {
    Assign(m_backWall.brush, brush);
}

void TCustomChart::SetFrame(const TChartPen& pen) {
    Assign(m_backWall.pen, pen);
}

void TCustomChart::SetBufferedDisplay(bool buffered) {
    m_bufferedDisplay = buffered;
}

void TCustomChart::SetClientSize(int width, int height) {
    m_clientWidth = std::max(0, width);
    m_clientHeight = std::max(0, height);
}

void TCustomChart::SetMarkers(std::vector<TChartMarker> markers) {
    Assign(m_markers, markers);
}

void TCustomChart::SetBands(std::vector<TChartBand> bands) {
    Assign(m_bands, bands);
}

void TCustomChart::SetPointMarks(std::vector<TChartPointMark> marks) {
    Assign(m_pointMarks, marks);
}

TLineSeries& TCustomChart::AddSeries() {
    m_series.push_back(std::make_unique<TLineSeries>(*this));
    Invalidate();
    return *m_series.back();
}

bool TCustomChart::IsAxisShown(const TChartAxis& axis) const {
    if (!m_axisVisible || !axis.Visible())
        return false;
    bool anyActive = false;
    for (const auto& series : m_series) {
        if (!series->Active())
            continue;
        anyActive = true;
        if (&series->VertAxis() == &axis || &series->HorizAxis() == &axis)
            return true;
    }
    return !anyActive;
}

void TCustomChart::NormalizeChartRect() {
    NormalizeRect(m_chartRect);
}

void TCustomChart::NormalizeRect(TRect& r) const {
    r.left = std::max(r.left, m_bounds.left);
    r.top = std::max(r.top, m_bounds.top);
    // A control of no size (not yet shown) must still leave a plot area of one pixel.
    if (r.right < r.left)
        r.right = r.left + 1;
    else if (r.right == r.left)
        r.right = r.left + std::max(1, m_clientWidth);
    if (r.bottom < r.top)
        r.bottom = r.top + 1;
    else if (r.bottom == r.top)
        r.bottom = r.top + std::max(1, m_clientHeight);
}

void TCustomChart::DrawPanel(TCanvas& canvas) {
    const TColor panel = m_color == kClDefault ? canvas.SysColor(TSysColor::ButtonFace) : m_color;
    canvas.SetPen({panel, 1, TPenStyle::Clear, false});
    canvas.SetBrush({panel, TBrushStyle::Solid});
    const TRect& b = m_bounds;
    if (const auto wall = OpaqueWall()) {
        const TRect w = Intersect(*wall, b);
        canvas.FillRect({b.left, b.top, b.right, w.top});
        canvas.FillRect({b.left, w.bottom, b.right, b.bottom});
        canvas.FillRect({b.left, w.top, w.left, w.bottom});
        canvas.FillRect({w.right, w.top, b.right, w.bottom});
    } else {
        canvas.FillRect(b);
    }

    const TColor shadow = canvas.SysColor(TSysColor::ButtonShadow);
    const TColor highlight = canvas.SysColor(TSysColor::ButtonHighlight);
    auto bevel = [&](TRect r, TBevel kind, int width) {
        switch (kind) {
        case TBevel::None:
            return r;
        case TBevel::Lowered:
            return Frame3D(canvas, r, shadow, highlight, width);
        case TBevel::Raised:
            return Frame3D(canvas, r, highlight, shadow, width);
        }
        return r;
    };
    canvas.SetBrush({panel, TBrushStyle::Clear});
    TRect r = bevel(m_bounds, m_bevelOuter, m_bevelWidth);
    r = Frame3D(canvas, r, panel, panel, m_borderWidth);
    bevel(r, m_bevelInner, m_bevelWidth);
}

std::optional<TRect> TCustomChart::OpaqueWall() const {
    if (m_backWall.color == kClDefault || m_backWall.brush.Style() != TBrushStyle::Solid)
        return std::nullopt;
    const TRect& c = m_chartRect;
    return TRect{c.left, c.top, c.right + 1, c.bottom + 1};
}

void TCustomChart::DrawBackWall(TCanvas& canvas) {
    const TChartWall& wall = m_backWall;
    canvas.SetPen(wall.pen.ToPen(m_printing));
    const TBrushStyle style = wall.brush.Style();
    if (wall.color == kClDefault && style == TBrushStyle::Solid && !wall.pen.visible)
        return;

    TBrushSpec fill{wall.color, style};
    if (wall.color == kClDefault && style == TBrushStyle::Solid)
        fill.style = TBrushStyle::Clear;
    if (IsHatched(style)) {
        const TColor back = wall.brush.Color() == kClDefault ? kClWhite : wall.brush.Color();
        if (fill.color == kClDefault)
            fill.color = kClBlack;
        if (fill.color == back)
            fill.color = back == kClBlack ? kClWhite : kClBlack;
        canvas.SetBackColor(back);
        canvas.SetBackMode(TBackMode::Opaque);
    } else {
        canvas.SetBackMode(TBackMode::Transparent);
    }
    if (fill.style == TBrushStyle::Clear && !wall.pen.visible)
        return;
    canvas.SetBrush(fill);
    const TRect& c = m_chartRect;
    canvas.Rectangle({c.left, c.top, c.right + 1, c.bottom + 1});
}

// The layout (margins, titles, axis room, axis spans) comes first so that the panel needs no
// filling where the back wall covers it: on a large screen those are most of the pixels. The
// picture is the one of drawing panel, bevel, titles, wall, axes and series in that order.
void TCustomChart::Layout(TCanvas& canvas) {
    const TRect& bounds = m_bounds;
    const int w = bounds.Width();
    const int h = bounds.Height();
    const int b = m_borderWidth;
    m_chartRect = {bounds.left + PercentOf(m_margins.left, w) + b,
                   bounds.top + PercentOf(m_margins.top, h) + b,
                   bounds.right - b - PercentOf(m_margins.right, w),
                   bounds.bottom - b - PercentOf(m_margins.bottom, h)};
    NormalizeChartRect();
    m_titlesRect = m_chartRect;

    if (m_title.Visible()) {
        m_title.DrawInto(canvas, m_chartRect, true, false);
        NormalizeChartRect();
    }
    if (m_foot.Visible()) {
        m_foot.DrawInto(canvas, m_chartRect, false, false);
        NormalizeChartRect();
    }

    for (auto& axis : m_axes)
        axis->AdjustRange();
    // The unit first: the marker labels stand right above the plot, wherever the unit left it.
    const int highest = HighestFreeRow();
    if (IsAxisShown(LeftAxis()))
        if (const int rows = LeftAxis().RoomAbove(canvas); rows > 0)
            ReserveAbove(rows, highest);
    ReserveMarkerRoom(canvas, highest);

    TRect room = m_chartRect;
    for (auto& axis : m_axes) {
        if (!IsAxisShown(*axis))
            continue;
        TRect shrunk = room;
        axis->CalcRect(canvas, shrunk);
        room = Intersect(room, shrunk);
    }
    m_chartRect = room;
    NormalizeChartRect();
    for (auto& axis : m_axes)
        axis->CalcScreenPos(m_chartRect);
}

void TCustomChart::Draw(TCanvas& canvas, const TRect& bounds) {
    ++m_drawCount;
    m_bounds = bounds;
    Layout(canvas);

    if (!m_printing)
        DrawPanel(canvas);

    // The titles draw themselves against the chart rectangle as the margins left it.
    TRect titles = m_titlesRect;
    if (m_title.Visible()) {
        m_title.DrawInto(canvas, titles, true);
        NormalizeRect(titles);
    }
    if (m_foot.Visible())
        m_foot.DrawInto(canvas, titles, false);

    DrawBackWall(canvas);
    DrawBands(canvas);

    for (auto& axis : m_axes)
        if (IsAxisShown(*axis))
            axis->Draw(canvas);

    const bool clip = m_clipPoints && CanClip();
    for (const auto& series : m_series) {
        if (!series->Active() || series->Count() == 0)
            continue;
        if (clip)
            canvas.SetClipRect({m_chartRect.left + 1, m_chartRect.top + 1, m_chartRect.right,
                                m_chartRect.bottom - 1});
        series->DrawValues(canvas);
        if (clip)
            canvas.ResetClip();
    }
    DrawMarkers(canvas);
    DrawPointMarks(canvas);
}

bool TCustomChart::MarkerShown(const TChartMarker& marker) const {
    const TChartAxis& axis = BottomAxis();
    return marker.x >= axis.IMinimum() && marker.x <= axis.IMaximum();
}

int TCustomChart::HighestFreeRow() const {
    if (m_title.Visible())
        return m_chartRect.top - kTitleGap + 1;
    int highest = m_bounds.top;
    if (!m_printing)
        highest += (m_bevelOuter != TBevel::None ? m_bevelWidth : 0) + m_borderWidth +
                   (m_bevelInner != TBevel::None ? m_bevelWidth : 0);
    return highest;
}

int TCustomChart::ReserveAbove(int rows, int highest) {
    const int top = std::max(m_chartRect.top - rows, highest);
    m_chartRect.top = std::max(m_chartRect.top, top + rows);
    NormalizeChartRect();
    return top;
}

void TCustomChart::ReserveMarkerRoom(TCanvas& canvas, int highest) {
    m_markerLabelsTop.reset();
    if (std::none_of(m_markers.begin(), m_markers.end(),
                     [this](const TChartMarker& m) { return MarkerShown(m); }))
        return;
    canvas.SetFont(LeftAxis().LabelsFont());
    m_markerLabelsTop = ReserveAbove(canvas.TextHeight("0") + kMarkerLabelGap, highest);
}

void TCustomChart::DrawBands(TCanvas& canvas) {
    const TRect& c = m_chartRect;
    const TChartAxis& axis = BottomAxis();
    const bool clip = CanClip();
    bool any = false;
    for (const TChartBand& band : m_bands) {
        const double from = std::max(band.from, axis.IMinimum());
        const double to = std::min(band.to, axis.IMaximum());
        if (!(from <= to))
            continue;
        int left = axis.CalcPosValue(from);
        int right = axis.CalcPosValue(to) + 1;
        if (const int missing = TChartBand::kMinBandWidth - (right - left); missing > 0) {
            left -= missing / 2;
            right += missing - missing / 2;
        }
        if (!any) {
            any = true;
            if (clip)
                canvas.SetClipRect({c.left + 1, c.top + 1, c.right, c.bottom - 1});
        }
        canvas.SetPen(band.frame.ToPen(m_printing));
        canvas.SetBrush({band.color, TBrushStyle::Solid});
        canvas.Rectangle({left, c.top + 1, right, c.bottom - 1});
    }
    if (any && clip)
        canvas.ResetClip();
}

void TCustomChart::DrawMarkers(TCanvas& canvas) {
    if (!m_markerLabelsTop)
        return;
    const TRect& c = m_chartRect;
    // Each shown marker at its column inside the plot area's frame, where the series is drawn
    // too, from left to right.
    std::vector<std::pair<int, const TChartMarker*>> shown;
    for (const TChartMarker& m : m_markers)
        if (MarkerShown(m))
            shown.emplace_back(std::clamp(BottomAxis().CalcPosValue(m.x), c.left + 1,
                                          std::max(c.left + 1, c.right - 1)),
                               &m);
    std::stable_sort(shown.begin(), shown.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    // The gaps between the dashes show the plot, not the background colour.
    canvas.SetBackMode(TBackMode::Transparent);
    const bool clip = CanClip();
    if (clip)
        canvas.SetClipRect({c.left + 1, c.top + 1, c.right, c.bottom - 1});
    const std::vector<bool> drawn =
        m_printing ? std::vector<bool>(shown.size(), true) : ColumnLinesThatShow(shown);
    std::optional<TChartPen> pen;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (!drawn[i])
            continue;
        const TChartMarker& marker = *shown[i].second;
        if (pen != marker.pen) {
            pen = marker.pen;
            canvas.SetPen(pen->ToPen(m_printing));
        }
        canvas.Line(shown[i].first, c.top + 1, shown[i].first, c.bottom - 1);
    }
    if (clip)
        canvas.ResetClip();

    canvas.SetFont(LeftAxis().LabelsFont());
    // A label near the left edge stops short of the left axis' unit, which stands level with it.
    const int freeLeft = IsAxisShown(LeftAxis()) && !LeftAxis().Unit().empty()
                             ? LeftAxis().PosLabels() + kMarkerLabelSpacing
                             : INT_MIN;
    int freeRight = INT_MAX; // the labels to the right begin there
    for (auto m = shown.rbegin(); m != shown.rend(); ++m) {
        const std::string& text = m->second->label;
        // A label is centred on its line: one whose line reaches the labels to its right
        // cannot fit, and is not measured.
        if (text.empty() || m->first + kMarkerLabelSpacing > freeRight)
            continue;
        const int width = canvas.TextWidth(text);
        const int left = std::max(m->first - width / 2, freeLeft);
        if (left + width + kMarkerLabelSpacing > freeRight)
            continue;
        canvas.TextOut(left, *m_markerLabelsTop, text);
        freeRight = left;
    }
}

void TCustomChart::DrawPointMarks(TCanvas& canvas) {
    const TRect& c = m_chartRect;
    const bool clip = CanClip();
    bool any = false;
    for (const TChartPointMark& mark : m_pointMarks) {
        const int x = BottomAxis().CalcPosValue(mark.x);
        const int y = LeftAxis().CalcPosValue(mark.y);
        if (x < c.left || x > c.right || y < c.top || y > c.bottom)
            continue;
        if (!any) {
            any = true;
            if (clip)
                canvas.SetClipRect({c.left + 1, c.top + 1, c.right, c.bottom - 1});
            canvas.SetBackMode(TBackMode::Transparent);
            canvas.SetBrush({kClWhite, TBrushStyle::Clear});
        }
        const bool up = mark.shape == TPointMarkShape::TriangleUp;
        const int tip = up ? y - kPointMarkRadius : y + kPointMarkRadius;
        const int base = up ? y + kPointMarkRadius : y - kPointMarkRadius;
        const TPoint outline[] = {
            {x, tip}, {x + kPointMarkRadius, base}, {x - kPointMarkRadius, base}, {x, tip}};
        canvas.SetPen({mark.color, 1, TPenStyle::Solid, false});
        canvas.Polyline(outline);
        if (mark.label.empty())
            continue;
        TFontSpec font = LeftAxis().LabelsFont();
        font.color = mark.color;
        canvas.SetFont(font);
        const int h = canvas.TextHeight("W");
        const int top = up ? tip - kPointMarkLabelGap - h : tip + 1 + kPointMarkLabelGap;
        canvas.TextOut(x - canvas.TextWidth(mark.label) / 2, top, mark.label);
    }
    if (any && clip)
        canvas.ResetClip();
}

} // namespace sornafex::chart
