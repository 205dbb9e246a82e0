#pragma once

// The small drawing objects a chart is made of: pens, brushes, walls and titles. Pens and brushes
// are plain values; a title belongs to its chart and repaints it when one of its properties
// changes.

#include "chart/canvas.h"

#include <string>
#include <vector>

namespace sornafex::chart {

class TCustomChart;

// The colour of the traces of the program's charts, on their green wall.
inline constexpr TColor kTraceColor = Rgb(128, 255, 0); // 65408

struct TChartPen {
    TColor color = kClBlack;
    int width = 1;
    TPenStyle style = TPenStyle::Solid;
    bool visible = true;
    bool smallDots = false;

    // The pen kinds of the chart: black solid (the default), hidden, dotted gray (grids), dark
    // gray (ticks), the 2-pixel black axis pen, the white dashed marker line and the yellow solid
    // line of a question's onset.
    static TChartPen Hidden();
    static TChartPen DottedGray();
    static TChartPen DarkGray();
    static TChartPen AxisLine();
    static TChartPen MarkerLine();
    static TChartPen QuestionLine();

    // What goes on the canvas: an invisible pen strokes nothing; when printing, a non-solid pen
    // of width 1 becomes the device's thinnest (width 0). A colour that is the default marker is
    // replaced by fallback.
    TPenSpec ToPen(bool printing, TColor fallback = kClBlack) const;

    friend bool operator==(const TChartPen&, const TChartPen&) = default;
};

class TChartBrush {
public:
    TChartBrush() = default;
    TChartBrush(TColor color, TBrushStyle style) : m_color(color), m_style(style) {}

    TColor Color() const { return m_color; }
    // Giving a clear brush a colour makes it solid.
    void SetColor(TColor color);
    TBrushStyle Style() const { return m_style; }
    void SetStyle(TBrushStyle style) { m_style = style; }

    friend bool operator==(const TChartBrush&, const TChartBrush&) = default;

private:
    TColor m_color = kClDefault;
    TBrushStyle m_style = TBrushStyle::Solid;
};

// A wall: the back wall is the plot area's fill.
struct TChartWall {
    TColor color = kClDefault; // the fill colour; the default marker with a solid brush: no fill
    TChartBrush brush;         // its colour only backs a hatched style
    TChartPen pen;
};

enum class TBevel { None, Lowered, Raised };
enum class TTitleAlignment { Left, Right, Center };

// A chart title (the top one) or foot (the bottom one).
class TChartTitle {
public:
    explicit TChartTitle(TCustomChart& owner);

    const std::vector<std::string>& Text() const { return m_text; }
    void SetText(std::vector<std::string> lines);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    const TFontSpec& Font() const { return m_font; }
    void SetFont(const TFontSpec& font);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    const TChartBrush& Brush() const { return m_brush; }
    void SetBrush(const TChartBrush& brush);
    const TChartPen& Frame() const { return m_frame; }
    void SetFrame(const TChartPen& frame);
    bool AdjustFrame() const { return m_adjustFrame; }
    void SetAdjustFrame(bool adjust);
    TTitleAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TTitleAlignment alignment);

    // Draws the title at the top (or the bottom) of chartRect and takes its room from it; with
    // draw false only the room is taken.
    void DrawInto(TCanvas& canvas, TRect& chartRect, bool onTop, bool draw = true);

private:
    template <typename T> void Assign(T& field, const T& value);

    TCustomChart& m_owner;
    std::vector<std::string> m_text;
    bool m_visible = true;
    TFontSpec m_font;
    TColor m_color = kClDefault;
    TChartBrush m_brush;
    TChartPen m_frame = TChartPen::Hidden();
    bool m_adjustFrame = true;
    TTitleAlignment m_alignment = TTitleAlignment::Center;
};

} // namespace sornafex::chart
