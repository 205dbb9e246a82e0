#pragma once

// The chart's canvas on a QPainter: the screen buffer, a QImage, a printer page. Without a scaling
// transform, lines are set pixel by pixel as the canvas contract says (first point included,
// end point excluded; Bresenham for slanted lines; a dotted pen 3 pixels on, 3 off, a dashed one
// 6 on, 3 off); scaled (a printer page) they are the painter's own lines. Fonts are chosen by
// character height in pixels, "Arial" being Liberation Sans.

#include "chart/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPalette>
#include <QPen>
#include <QRegion>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class QPainter;

namespace sornafex::chart {

class TQPainterCanvas final : public TCanvas {
public:
    // painter must be active and outlive the canvas. The system colours come from palette. The
    // painter's state is restored when the canvas goes; a clip already set on it stays in force.
    explicit TQPainterCanvas(QPainter& painter, const QPalette& palette = QPalette());
    ~TQPainterCanvas() override;

    void SetPen(const TPenSpec& pen) override;
    void SetBrush(const TBrushSpec& brush) override;
    void SetFont(const TFontSpec& font) override;
    void SetBackMode(TBackMode mode) override;
    void SetBackColor(TColor color) override;

    void Line(int x1, int y1, int x2, int y2) override;
    void Rectangle(const TRect& r) override;
    void FillRect(const TRect& r) override;
    void TextOut(int x, int y, std::string_view text) override;
    int TextWidth(std::string_view text) override;
    int TextHeight(std::string_view text) override;

    void SetClipRect(const TRect& r) override;
    void ResetClip() override;

    TColor SysColor(TSysColor which) const override;

    // The Qt font for a chart font, shared with other Qt code that must match the chart.
    static QFont ToQFont(const TFontSpec& font);
    static QColor ToQColor(TColor color);

private:
    const QFontMetrics& Metrics();

    void ApplyPen();
    void ApplyBrush();
    void SolidThinLine(int x1, int y1, int x2, int y2);
    void PatternedLine(int x1, int y1, int x2, int y2);
    // The pattern of a patterned line in the pen's colour: a row of on and off pixels as a
    // texture, and a column of them as a picture.
    struct TTile;
    const TTile& Pattern(int on, int off);
    const QBrush& RowPatternTile(int on, int off);
    const QImage& ColumnPattern(int on, int off);
    // Solid one-colour pixel runs are collected and filled in one call; every other drawing
    // call and every clip change flushes them first, so the order of drawing is kept.
    void AddRun(const QRect& run);
    void Flush();

    QPainter& m_painter;
    QPalette m_palette;
    bool m_initialClipping;
    QRegion m_initialClip;
    TPenSpec m_pen;
    TBrushSpec m_brush;
    TFontSpec m_font;
    QFont m_qfont;
    std::optional<QFontMetrics> m_metrics;
    // The widths measured in the current font: a chart measures each label more than once.
    std::unordered_map<std::string, int> m_widths;
    TBackMode m_backMode = TBackMode::Opaque;
    TColor m_backColor = kClWhite;
    std::vector<QRect> m_runs;
    QColor m_runColor;
    struct TTile {
        QRgb ink;
        int on;
        int off;
        QBrush row;
        QImage column;
    };
    std::deque<TTile> m_tiles; // references to its brushes stay valid as it grows
};

} // namespace sornafex::chart
