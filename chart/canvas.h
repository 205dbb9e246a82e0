#pragma once

// What the chart draws on. The same Draw goes to the screen buffer, a bitmap, a placeable
// metafile and the printer, each through its own implementation of this interface. Coordinates
// are integer pixels (logical units when printing), x to the right, y downwards.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sornafex::chart {

// 24-bit RGB stored as 0x00BBGGRR, plus two markers.
using TColor = std::uint32_t;
inline constexpr TColor kClDefault = 0x80000000u; // not set: use the owner's default
inline constexpr TColor kClNone = 0x1FFFFFFFu;    // no colour
constexpr TColor Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr std::uint8_t RedOf(TColor c) {
    return c & 0xFF;
}
constexpr std::uint8_t GreenOf(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr std::uint8_t BlueOf(TColor c) {
    return (c >> 16) & 0xFF;
}

inline constexpr TColor kClBlack = Rgb(0, 0, 0);
inline constexpr TColor kClWhite = Rgb(255, 255, 255);
inline constexpr TColor kClRed = Rgb(255, 0, 0);
inline constexpr TColor kClGreen = Rgb(0, 128, 0);
inline constexpr TColor kClYellow = Rgb(255, 255, 0);
inline constexpr TColor kClBlue = Rgb(0, 0, 255);
inline constexpr TColor kClGray = Rgb(128, 128, 128);

struct TPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and bottom are exclusive, as for every filled rectangle on the canvas.
struct TRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

enum class TPenStyle { Solid, Dot, Clear, Dash };
// Pixels on and off of the patterned pens, from a line's first point, on every canvas.
inline constexpr int kDotOn = 3;
inline constexpr int kDotOff = 3;
inline constexpr int kDashOn = 6;
inline constexpr int kDashOff = 3;
enum class TBrushStyle {
    Solid,
    Clear,
    Horizontal,
    Vertical,
    FDiagonal,
    BDiagonal,
    Cross,
    DiagCross
};
enum class TBackMode { Transparent, Opaque };
enum class TSysColor { ButtonFace, ButtonShadow, ButtonHighlight };

struct TPenSpec {
    TColor color = kClBlack;
    int width = 1; // 0: the thinnest line the device draws
    TPenStyle style = TPenStyle::Solid;
    bool smallDots = false; // with width 1: every other pixel
    friend bool operator==(const TPenSpec&, const TPenSpec&) = default;
};

struct TBrushSpec {
    TColor color = kClWhite;
    TBrushStyle style = TBrushStyle::Solid;
    friend bool operator==(const TBrushSpec&, const TBrushSpec&) = default;
};

struct TFontSpec {
    std::string face = "Arial";
    int height = 11; // character height in pixels: the em height without internal leading
    bool bold = false;
    bool italic = false;
    TColor color = kClBlack;
    friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

class TCanvas {
public:
    virtual ~TCanvas() = default;

    virtual void SetPen(const TPenSpec& pen) = 0;
    virtual void SetBrush(const TBrushSpec& brush) = 0;
    virtual void SetFont(const TFontSpec& font) = 0;
    virtual void SetBackMode(TBackMode mode) = 0;
    // Background colour behind hatched brushes and opaque text.
    virtual void SetBackColor(TColor color) = 0;

    // A line from (x1, y1) to (x2, y2) with the current pen, the end point not drawn.
    virtual void Line(int x1, int y1, int x2, int y2) = 0;
    // Consecutive lines through the points; the last point is not drawn. A canvas with a figure
    // of its own for it overrides this.
    virtual void Polyline(std::span<const TPoint> points) {
        for (std::size_t i = 1; i < points.size(); ++i)
            Line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    }
    // Outline with the current pen, inside filled with the current brush.
    virtual void Rectangle(const TRect& r) = 0;
    // Fills with the current brush, no outline.
    virtual void FillRect(const TRect& r) = 0;
    // Text with its top-left corner at (x, y), in the current font and background mode.
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    virtual int TextWidth(std::string_view text) = 0;
    // The font's cell height (ascent plus descent, internal leading included): the chart asks
    // it of "W" for the height of a line of text.
    virtual int TextHeight(std::string_view text) = 0;

    virtual void SetClipRect(const TRect& r) = 0;
    virtual void ResetClip() = 0;

    virtual TColor SysColor(TSysColor which) const = 0;
};

// The outline a canvas draws for Rectangle with a pen width pixels wide: four lines inside r.
inline void OutlineInside(TCanvas& canvas, const TRect& r, int width) {
    const int w = width < 1 ? 1 : width;
    canvas.Line(r.left, r.top + w / 2, r.right, r.top + w / 2);
    canvas.Line(r.left, r.bottom - 1 - (w - 1) / 2, r.right, r.bottom - 1 - (w - 1) / 2);
    canvas.Line(r.left + w / 2, r.top, r.left + w / 2, r.bottom);
    canvas.Line(r.right - 1 - (w - 1) / 2, r.top, r.right - 1 - (w - 1) / 2, r.bottom);
}

} // namespace sornafex::chart
