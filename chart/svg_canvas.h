#pragma once

// A canvas that writes what is drawn on it as an SVG picture, so the chart's one Draw routine
// gives a drawing that browsers, office programs and vector editors open and scale: rectangles,
// lines and one path for each run of joined slanted lines, texts as text elements.
//
// One unit is one pixel of the screen. Text is measured by a delegate canvas on the screen, so
// the layout is the screen's; the delegate receives every font set here and answers SysColor.
// Straight lines cover exactly the pixels they cover on the screen (first point included, end
// point excluded); the picture asks for crisp edges, as the screen draws without smoothing.

#include "chart/canvas.h"

#include <functional>
#include <map>
#include <string>
#include <tuple>

namespace sornafex::chart {

class TSvgCanvas final : public TCanvas {
public:
    // The distance in pixels from the top of a line of text in font to its baseline.
    using TAscent = std::function<int(const TFontSpec& font)>;

    // A picture width x height pixels (each at least 1). measure must outlive the canvas.
    TSvgCanvas(int width, int height, TCanvas& measure, TAscent ascent);

    void SetPen(const TPenSpec& pen) override { m_pen = pen; }
    void SetBrush(const TBrushSpec& brush) override { m_brush = brush; }
    void SetFont(const TFontSpec& font) override;
    void SetBackMode(TBackMode mode) override { m_backMode = mode; }
    void SetBackColor(TColor color) override { m_backColor = color; }

    void Line(int x1, int y1, int x2, int y2) override;
    void Rectangle(const TRect& r) override;
    void FillRect(const TRect& r) override;
    // Bytes that are not UTF-8, and control characters XML cannot hold, are written as '?'.
    void TextOut(int x, int y, std::string_view text) override;
    int TextWidth(std::string_view text) override { return m_measure.TextWidth(text); }
    int TextHeight(std::string_view text) override { return m_measure.TextHeight(text); }

    void SetClipRect(const TRect& r) override;
    void ResetClip() override;

    TColor SysColor(TSysColor which) const override { return m_measure.SysColor(which); }

    // Ends the picture and returns the document. Nothing may be drawn after.
    std::string Finish();

private:
    // The stroke attributes of the current pen.
    std::string Stroke() const;
    // The fill attribute of the current brush: a colour, or a hatch pattern made on first use.
    std::string Fill();
    void EndPath();

    int m_width;
    int m_height;
    TCanvas& m_measure;
    TAscent m_ascent;

    TPenSpec m_pen;
    TBrushSpec m_brush;
    TFontSpec m_font;
    TBackMode m_backMode = TBackMode::Opaque;
    TColor m_backColor = kClWhite;

    std::string m_defs;
    std::string m_body;
    int m_nextId = 0;
    bool m_clipped = false;
    std::map<std::tuple<TBrushStyle, TColor>, std::string> m_hatches;

    // Joined slanted lines become one path: its data so far, its pen, where it ends.
    std::string m_path;
    TPenSpec m_pathPen;
    TPoint m_pathEnd;
};

} // namespace sornafex::chart
