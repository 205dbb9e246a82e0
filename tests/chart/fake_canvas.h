#pragma once

// A canvas with fixed text metrics that records what is drawn, for layout and drawing tests:
// every text is charHeight pixels high and charWidth pixels wide per byte.

#include "chart/canvas.h"

#include <optional>
#include <string>
#include <vector>

namespace sornafex::chart::test {

struct TDrawnLine {
    TPoint from;
    TPoint to;
    TPenSpec pen;
    std::optional<TRect> clip;
};

struct TDrawnText {
    TPoint at;
    std::string text;
    TFontSpec font;
    TBackMode backMode;
};

struct TDrawnRect {
    TRect rect;
    TBrushSpec brush;
    TPenSpec pen;
    bool outlined; // Rectangle rather than FillRect
};

class TFakeCanvas final : public TCanvas {
public:
    explicit TFakeCanvas(int charHeight = 14, int charWidth = 7)
        : m_charHeight(charHeight), m_charWidth(charWidth) {}

    void SetPen(const TPenSpec& pen) override { m_pen = pen; }
    void SetBrush(const TBrushSpec& brush) override { m_brush = brush; }
    void SetFont(const TFontSpec& font) override { m_font = font; }
    void SetBackMode(TBackMode mode) override { m_backMode = mode; }
    void SetBackColor(TColor color) override { m_backColor = color; }

    void Line(int x1, int y1, int x2, int y2) override {
        if (m_pen.style != TPenStyle::Clear)
            lines.push_back({{x1, y1}, {x2, y2}, m_pen, m_clip});
    }
    void Polyline(std::span<const TPoint> points) override {
        for (std::size_t i = 1; i < points.size(); ++i)
            Line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    }
    void Rectangle(const TRect& r) override { rects.push_back({r, m_brush, m_pen, true}); }
    void FillRect(const TRect& r) override { rects.push_back({r, m_brush, m_pen, false}); }
    void TextOut(int x, int y, std::string_view text) override {
        texts.push_back({{x, y}, std::string(text), m_font, m_backMode});
    }
    int TextWidth(std::string_view text) override {
        return static_cast<int>(text.size()) * m_charWidth;
    }
    int TextHeight(std::string_view) override { return m_charHeight; }

    void SetClipRect(const TRect& r) override { m_clip = r; }
    void ResetClip() override { m_clip.reset(); }

    TColor SysColor(TSysColor which) const override {
        switch (which) {
        case TSysColor::ButtonFace:
            return Rgb(212, 208, 200);
        case TSysColor::ButtonShadow:
            return Rgb(128, 128, 128);
        case TSysColor::ButtonHighlight:
            return kClWhite;
        }
        return kClBlack;
    }

    void Reset() {
        lines.clear();
        texts.clear();
        rects.clear();
    }

    std::vector<TDrawnLine> lines;
    std::vector<TDrawnText> texts;
    std::vector<TDrawnRect> rects;

private:
    int m_charHeight;
    int m_charWidth;
    TPenSpec m_pen;
    TBrushSpec m_brush;
    TFontSpec m_font;
    TBackMode m_backMode = TBackMode::Opaque;
    TColor m_backColor = kClWhite;
    std::optional<TRect> m_clip;
};

} // namespace sornafex::chart::test
