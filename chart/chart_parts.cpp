#include "chart/chart_parts.h"

#include "chart/custom_chart.h"

#include <algorithm>

namespace sornafex::chart {

TChartPen TChartPen::Hidden() {
    TChartPen pen;
    pen.visible = false;
    return pen;
}

TChartPen TChartPen::DottedGray() {
    TChartPen pen;
    pen.color = kClGray;
    pen.style = TPenStyle::Dot;
    return pen;
}

TChartPen TChartPen::DarkGray() {
    TChartPen pen;
    pen.color = kClGray;
    return pen;
}

TChartPen TChartPen::AxisLine() {
    TChartPen pen;
    pen.width = 2;
    return pen;
}

TChartPen TChartPen::MarkerLine() {
    TChartPen pen;
    pen.color = kClWhite;
    pen.style = TPenStyle::Dash;
    return pen;
}

TChartPen TChartPen::QuestionLine() {
    TChartPen pen;
    pen.color = kClYellow;
    return pen;
}

TPenSpec TChartPen::ToPen(bool printing, TColor fallback) const {
    TPenSpec pen;
    pen.color = color == kClDefault ? fallback : color;
    pen.width = width;
    pen.style = visible ? style : TPenStyle::Clear;
    pen.smallDots = smallDots;
    // A dotted 1-pixel line scaled up to the printer's resolution would print as dashes.
    if (printing && pen.style != TPenStyle::Solid && width == 1)
        pen.width = 0;
    return pen;
}

void TChartBrush::SetColor(TColor color) {
    m_color = color;
    if (m_style == TBrushStyle::Clear)
        m_style = TBrushStyle::Solid;
}

TChartTitle::TChartTitle(TCustomChart& owner) : m_owner(owner) {}

template <typename T> void TChartTitle::Assign(T& field, const T& value) {
    if (field == value)
        return;
    field = value;
    m_owner.Invalidate();
}

void TChartTitle::SetText(std::vector<std::string> lines) {
    Assign(m_text, lines);
}
void TChartTitle::SetVisible(bool visible) {
    Assign(m_visible, visible);
}
void TChartTitle::SetFont(const TFontSpec& font) {
    Assign(m_font, font);
}
void TChartTitle::SetColor(TColor color) {
    Assign(m_color, color);
}
void TChartTitle::SetBrush(const TChartBrush& brush) {
    Assign(m_brush, brush);
}
void TChartTitle::SetFrame(const TChartPen& frame) {
    Assign(m_frame, frame);
}
void TChartTitle::SetAdjustFrame(bool adjust) {
    Assign(m_adjustFrame, adjust);
}
void TChartTitle::SetAlignment(TTitleAlignment alignment) {
    Assign(m_alignment, alignment);
}

namespace {

bool IsHatched(TBrushStyle style) {
    return style != TBrushStyle::Solid && style != TBrushStyle::Clear;
}

} // namespace

void TChartTitle::DrawInto(TCanvas& canvas, TRect& chartRect, bool onTop, bool draw) {
    canvas.SetFont(m_font);
    const int h = canvas.TextHeight("W");
    const int w = canvas.TextWidth("W");

    // Fill: the title's colour over its brush, or the brush alone when the colour is not set.
    bool filled = true;
    TBrushSpec fill;
    TBackMode fillBack = TBackMode::Transparent;
    if (m_color != kClDefault) {
        fill.color = m_color;
        if (IsHatched(m_brush.Style())) {
            fill = {m_brush.Color() == kClDefault ? kClBlack : m_brush.Color(), m_brush.Style()};
            canvas.SetBackColor(m_color);
            fillBack = TBackMode::Opaque;
        } else if (m_brush.Style() == TBrushStyle::Clear) {
            filled = false;
        }
    } else if (IsHatched(m_brush.Style())) {
        fill = {m_brush.Color() == kClDefault ? kClBlack : m_brush.Color(), m_brush.Style()};
    } else if (m_brush.Style() == TBrushStyle::Solid && m_brush.Color() != kClDefault) {
        fill.color = m_brush.Color();
        m_color = m_brush.Color();
    } else {
        filled = false;
    }

    const bool framed = m_frame.visible && m_frame.color != kClDefault;
    const int f = framed ? m_frame.width : 0;
    const int lines = static_cast<int>(m_text.size());

    const int l0 = chartRect.left + f;
    const int r0 = chartRect.right - f;
    TRect r{l0, 0, r0, 0};
    if (onTop) {
        r.top = chartRect.top + f;
        r.bottom = r.top + lines * h;
    } else {
        r.bottom = chartRect.bottom - f;
        r.top = r.bottom - lines * h;
    }
    r = {r.left - f, r.top - f, r.right + f, r.bottom + f};

    if (draw && (framed || filled)) {
        if (m_adjustFrame) {
            int widest = 0;
            for (const auto& line : m_text)
                widest = std::max(widest, canvas.TextWidth(line));
            const int t = widest + w;
            switch (m_alignment) {
            case TTitleAlignment::Center: {
                const int mid = (r.left + r.right) / 2;
                r.left = mid - t / 2;
                r.right = mid + t / 2;
                break;
            }
            case TTitleAlignment::Left:
                r.right = r.left + t;
                break;
            case TTitleAlignment::Right:
                r.left = r.right - t;
                break;
            }
        }
        canvas.SetPen(m_frame.ToPen(false));
        canvas.SetBrush(filled ? fill : TBrushSpec{kClWhite, TBrushStyle::Clear});
        canvas.SetBackMode(fillBack);
        canvas.Rectangle(r);
    }

    int y = onTop ? r.top + f : r.bottom - f - lines * h;
    if (draw) {
        canvas.SetBackMode(TBackMode::Transparent);
        canvas.SetBrush({kClWhite, TBrushStyle::Clear});
    }
    for (const auto& line : m_text) {
        if (!draw)
            break;
        const int width = canvas.TextWidth(line);
        int x = 0;
        switch (m_alignment) {
        case TTitleAlignment::Center:
            x = (l0 + r0) / 2 - width / 2;
            break;
        case TTitleAlignment::Left:
            x = l0 + w / 2;
            break;
        case TTitleAlignment::Right:
            x = r0 - width - w / 2;
            break;
        }
        canvas.TextOut(x, y, line);
        y += h;
    }

    if (onTop)
        chartRect.top = r.top + f + lines * h + f + 5;
    else
        chartRect.bottom = r.bottom - f - lines * h - f - 5;
}

} // namespace sornafex::chart
