#include "chart/wmf_canvas.h"

#include <algorithm>

namespace sornafex::chart {

namespace {

wmf::TPenStyle PenStyleOf(const TPenSpec& pen) {
    switch (pen.style) {
    case TPenStyle::Solid:
        return wmf::TPenStyle::Solid;
    case TPenStyle::Dot:
        return wmf::TPenStyle::Dot;
    case TPenStyle::Dash:
        return wmf::TPenStyle::Dash;
    case TPenStyle::Clear:
        return wmf::TPenStyle::Null;
    }
    return wmf::TPenStyle::Solid;
}

std::optional<wmf::THatch> HatchOf(TBrushStyle style) {
    switch (style) {
    case TBrushStyle::Horizontal:
        return wmf::THatch::Horizontal;
    case TBrushStyle::Vertical:
        return wmf::THatch::Vertical;
    case TBrushStyle::FDiagonal:
        return wmf::THatch::FDiagonal;
    case TBrushStyle::BDiagonal:
        return wmf::THatch::BDiagonal;
    case TBrushStyle::Cross:
        return wmf::THatch::Cross;
    case TBrushStyle::DiagCross:
        return wmf::THatch::DiagCross;
    case TBrushStyle::Solid:
    case TBrushStyle::Clear:
        break;
    }
    return std::nullopt;
}

bool IsSolid(const TPenSpec& pen) {
    return pen.style != TPenStyle::Dot && pen.style != TPenStyle::Dash;
}
bool IsSolid(const TBrushSpec& brush) {
    return brush.style == TBrushStyle::Solid || brush.style == TBrushStyle::Clear;
}

// The font object depends on everything but the colour, which is the DC's text colour.
bool SameFontObject(const TFontSpec& a, const TFontSpec& b) {
    return a.face == b.face && a.height == b.height && a.bold == b.bold && a.italic == b.italic;
}

} // namespace

TWmfCanvas::TWmfCanvas(int frameWidth, int frameHeight, TCanvas& measure)
    : m_writer(std::max(1, frameWidth), std::max(1, frameHeight), kUnitsPerInch),
      m_measure(measure) {
    // One logical unit is one pixel of the reference device, over the whole frame.
    m_writer.SetMapMode(wmf::kMapModeAnisotropic);
    m_writer.SetWindowOrg(0, 0);
    m_writer.SetWindowExt(std::max(1, frameWidth), std::max(1, frameHeight));
    // TextOut's point is the top-left corner of the text, as on every canvas of the chart.
    m_writer.SetTextAlign(wmf::kTextAlignTopLeft);
    m_measure.SetFont(m_font);
}

void TWmfCanvas::SetPen(const TPenSpec& pen) {
    m_pen = pen;
}
void TWmfCanvas::SetBrush(const TBrushSpec& brush) {
    m_brush = brush;
}

void TWmfCanvas::SetFont(const TFontSpec& font) {
    m_font = font;
    m_measure.SetFont(font);
}

void TWmfCanvas::SetBackMode(TBackMode mode) {
    m_backMode = mode;
}
void TWmfCanvas::SetBackColor(TColor color) {
    m_backColor = color;
}

void TWmfCanvas::Replace(int& current, int newObject) {
    m_writer.SelectObject(newObject);
    const int old = current;
    current = newObject;
    if (old < 0)
        return;
    // An object selected when the clip was set comes back with the restore: it must live on.
    const bool heldBySave = m_saved && (old == m_saved->penObject || old == m_saved->brushObject ||
                                        old == m_saved->fontObject);
    if (!heldBySave)
        m_writer.DeleteObject(old);
}

void TWmfCanvas::RealizePen(const TPenSpec& pen) {
    if (m_dc.pen && *m_dc.pen == pen)
        return;
    Replace(m_dc.penObject, m_writer.CreatePen(PenStyleOf(pen), std::max(0, pen.width), pen.color));
    m_dc.pen = pen;
}

void TWmfCanvas::RealizeBrush(const TBrushSpec& brush) {
    if (m_dc.brush && *m_dc.brush == brush)
        return;
    int object = -1;
    if (brush.style == TBrushStyle::Clear)
        object = m_writer.CreateBrush(wmf::TBrushStyle::Null, kClBlack);
    else if (const auto hatch = HatchOf(brush.style))
        object = m_writer.CreateBrush(wmf::TBrushStyle::Hatched, brush.color, *hatch);
    else
        object = m_writer.CreateBrush(wmf::TBrushStyle::Solid, brush.color);
    Replace(m_dc.brushObject, object);
    m_dc.brush = brush;
}

void TWmfCanvas::RealizeFont() {
    if (!m_dc.font || !SameFontObject(*m_dc.font, m_font)) {
        wmf::TLogFont logFont;
        // A negative height asks for the character height, the font's pixel height here.
        logFont.height = static_cast<std::int16_t>(-std::clamp(m_font.height, 1, 32767));
        logFont.weight = m_font.bold ? wmf::kFontWeightBold : wmf::kFontWeightNormal;
        logFont.italic = m_font.italic;
        logFont.face = m_font.face;
        Replace(m_dc.fontObject, m_writer.CreateFont(logFont));
        m_dc.font = m_font;
    }
    if (m_dc.textColor != m_font.color) {
        m_writer.SetTextColor(m_font.color);
        m_dc.textColor = m_font.color;
    }
}

void TWmfCanvas::RealizeBackground(bool solidShape) {
    // The background mode shows only through text, hatched brushes and broken pens. Players such
    // as libwmf nevertheless draw a solid fill half transparent under a transparent background,
    // so a shape without anything broken in it is recorded with an opaque one: the same picture
    // for every player.
    const TBackMode mode = solidShape ? TBackMode::Opaque : m_backMode;
    if (m_dc.backMode != mode) {
        m_writer.SetBkMode(mode == TBackMode::Transparent ? wmf::TBkMode::Transparent
                                                          : wmf::TBkMode::Opaque);
        m_dc.backMode = mode;
    }
    if (m_dc.backColor != m_backColor) {
        m_writer.SetBkColor(m_backColor);
        m_dc.backColor = m_backColor;
    }
}

void TWmfCanvas::Line(int x1, int y1, int x2, int y2) {
    RealizePen(m_pen);
    RealizeBackground(IsSolid(m_pen));
    m_writer.MoveTo(x1, y1);
    m_writer.LineTo(x2, y2);
}

void TWmfCanvas::Polyline(std::span<const TPoint> points) {
    if (points.empty())
        return;
    RealizePen(m_pen);
    RealizeBackground(IsSolid(m_pen));
    m_writer.Polyline(points);
}

void TWmfCanvas::Rectangle(const TRect& r) {
    // Without an outline the rectangle is its fill, over the whole of r like on the screen.
    if (m_pen.style == TPenStyle::Clear) {
        FillRect(r);
        return;
    }
    RealizePen(m_pen);
    RealizeBrush(m_brush);
    RealizeBackground(IsSolid(m_pen) && IsSolid(m_brush));
    m_writer.Rectangle(r.left, r.top, r.right, r.bottom);
}

void TWmfCanvas::FillRect(const TRect& r) {
    // Without a pen the player fills a rectangle one unit short on the right and at the bottom,
    // so the recorded rectangle is one larger to cover exactly [left, right) x [top, bottom).
    RealizePen(TPenSpec{.color = kClBlack, .width = 1, .style = TPenStyle::Clear});
    RealizeBrush(m_brush);
    RealizeBackground(IsSolid(m_brush));
    m_writer.Rectangle(r.left, r.top, r.right + 1, r.bottom + 1);
}

void TWmfCanvas::TextOut(int x, int y, std::string_view text) {
    if (text.empty())
        return;
    RealizeFont();
    RealizeBackground(false);
    m_writer.TextOut(x, y, Utf8ToWindows1252(text));
}

int TWmfCanvas::TextWidth(std::string_view text) {
    return m_measure.TextWidth(text);
}
int TWmfCanvas::TextHeight(std::string_view text) {
    return m_measure.TextHeight(text);
}

void TWmfCanvas::SetClipRect(const TRect& r) {
    // Clips only ever narrow in a metafile; a new clip starts again from the saved state.
    ResetClip();
    m_saved = m_dc;
    m_writer.SaveDC();
    m_writer.IntersectClipRect(r.left, r.top, r.right, r.bottom);
}

void TWmfCanvas::ResetClip() {
    if (!m_saved)
        return;
    m_writer.RestoreDC();
    // The restore selected the saved objects again; those made under the clip are now free.
    const TDcState saved = *m_saved;
    m_saved.reset();
    for (const auto& [current, kept] : {std::pair{m_dc.penObject, saved.penObject},
                                        std::pair{m_dc.brushObject, saved.brushObject},
                                        std::pair{m_dc.fontObject, saved.fontObject}})
        if (current >= 0 && current != kept)
            m_writer.DeleteObject(current);
    m_dc = saved;
}

TColor TWmfCanvas::SysColor(TSysColor which) const {
    return m_measure.SysColor(which);
}

std::vector<std::uint8_t> TWmfCanvas::Finish() {
    ResetClip();
    return m_writer.Finish();
}

} // namespace sornafex::chart
