#include "chart/qpainter_canvas.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace sornafex::chart {

namespace {

Qt::BrushStyle ToQBrushStyle(TBrushStyle style) {
    switch (style) {
    case TBrushStyle::Solid:
        return Qt::SolidPattern;
    case TBrushStyle::Clear:
        return Qt::NoBrush;
    case TBrushStyle::Horizontal:
        return Qt::HorPattern;
    case TBrushStyle::Vertical:
        return Qt::VerPattern;
    case TBrushStyle::FDiagonal:
        return Qt::FDiagPattern;
    case TBrushStyle::BDiagonal:
        return Qt::BDiagPattern;
    case TBrushStyle::Cross:
        return Qt::CrossPattern;
    case TBrushStyle::DiagCross:
        return Qt::DiagCrossPattern;
    }
    return Qt::SolidPattern;
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TQPainterCanvas::TQPainterCanvas(QPainter& painter, const QPalette& palette)
    : m_painter(painter), m_palette(palette), m_initialClipping(painter.hasClipping()),
      m_initialClip(painter.clipRegion()) {
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    SetFont(m_font);
    SetBrush(m_brush);
    SetPen(m_pen);
}

TQPainterCanvas::~TQPainterCanvas() {
    Flush();
    m_painter.restore();
}

QColor TQPainterCanvas::ToQColor(TColor color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

QFont TQPainterCanvas::ToQFont(const TFontSpec& chartFont) {
    QFont font;
    // Arial's metric-compatible twin on this platform.
    const QString face = ToQString(chartFont.face);
    font.setFamilies(face.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0
                         ? QStringList{QStringLiteral("Liberation Sans"), face}
                         : QStringList{face});
    // The character height is the em size; Qt's pixel size is exactly that.
    font.setPixelSize(std::max(1, chartFont.height));
    font.setBold(chartFont.bold);
    font.setItalic(chartFont.italic);
    return font;
}

void TQPainterCanvas::SetPen(const TPenSpec& pen) {
    m_pen = pen;
    ApplyPen();
}

void TQPainterCanvas::ApplyPen() {
    const TPenSpec& pen = m_pen;
    if (pen.style == TPenStyle::Clear) {
        m_painter.setPen(Qt::NoPen);
        return;
    }
    QPen qpen(ToQColor(pen.color));
    qpen.setWidth(pen.width);
    // Pens scale with the drawing (a printed page); only width 0 is the device's thinnest.
    qpen.setCosmetic(pen.width == 0);
    // The end point of a line is not part of it.
    qpen.setCapStyle(Qt::FlatCap);
    qpen.setJoinStyle(Qt::MiterJoin);
    if (pen.smallDots && pen.width <= 1)
        qpen.setDashPattern({1, 1});
    else if (pen.style == TPenStyle::Dot)
        qpen.setDashPattern({kDotOn, kDotOff});
    else if (pen.style == TPenStyle::Dash)
        qpen.setDashPattern({kDashOn, kDashOff});
    m_painter.setPen(qpen);
}

void TQPainterCanvas::SetBrush(const TBrushSpec& brush) {
    m_brush = brush;
    ApplyBrush();
}

void TQPainterCanvas::ApplyBrush() {
    m_painter.setBrush(QBrush(ToQColor(m_brush.color), ToQBrushStyle(m_brush.style)));
}

void TQPainterCanvas::SetFont(const TFontSpec& font) {
    if (m_metrics && font.face == m_font.face && font.height == m_font.height &&
        font.bold == m_font.bold && font.italic == m_font.italic) {
        m_font = font; // only the colour changed: the metrics stay
        return;
    }
    m_font = font;
    m_qfont = ToQFont(font);
    m_painter.setFont(m_qfont);
    m_metrics.emplace(m_qfont, m_painter.device());
    m_widths.clear();
}

void TQPainterCanvas::SetBackMode(TBackMode mode) {
    m_backMode = mode;
    m_painter.setBackgroundMode(mode == TBackMode::Opaque ? Qt::OpaqueMode : Qt::TransparentMode);
}

void TQPainterCanvas::SetBackColor(TColor color) {
    m_backColor = color;
    m_painter.setBackground(QBrush(ToQColor(color)));
}

const QFontMetrics& TQPainterCanvas::Metrics() {
    if (!m_metrics)
        m_metrics.emplace(m_qfont, m_painter.device());
    return *m_metrics;
}

void TQPainterCanvas::Line(int x1, int y1, int x2, int y2) {
    if (m_pen.style == TPenStyle::Clear || (x1 == x2 && y1 == y2))
        return;
    const bool straight = x1 == x2 || y1 == y2;
    const bool solid = m_pen.style == TPenStyle::Solid && !m_pen.smallDots;
    const bool pixelExact = m_painter.transform().type() <= QTransform::TxTranslate;
    if (straight && solid) {
        // The start included, the end not, a wide pen centred with its extra pixel above (left
        // of) the line.
        const int w = std::max(1, m_pen.width);
        const int off = w / 2;
        if (y1 == y2)
            AddRun(QRect(x2 > x1 ? x1 : x2 + 1, y1 - off, std::abs(x2 - x1), w));
        else
            AddRun(QRect(x1 - off, y2 > y1 ? y1 : y2 + 1, w, std::abs(y2 - y1)));
        return;
    }
    if (solid && m_pen.width <= 1 && pixelExact) {
        SolidThinLine(x1, y1, x2, y2);
        return;
    }
    if (straight && m_pen.width <= 1 && pixelExact) {
        PatternedLine(x1, y1, x2, y2);
        return;
    }
    Flush();
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawLine(x1, y1, x2, y2);
    ApplyBrush();
}

void TQPainterCanvas::AddRun(const QRect& run) {
    const QColor color = ToQColor(m_pen.color);
    if (!m_runs.empty() && color != m_runColor)
        Flush();
    m_runColor = color;
    m_runs.push_back(run);
}

void TQPainterCanvas::Flush() {
    if (m_runs.empty())
        return;
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(m_runColor);
    m_painter.drawRects(m_runs.data(), static_cast<int>(m_runs.size()));
    m_runs.clear();
    ApplyPen();
    ApplyBrush();
}

void TQPainterCanvas::PatternedLine(int x1, int y1, int x2, int y2) {
    // A dotted pen repeats 3 pixels on and 3 off from the line's first point (the pattern of a
    // cosmetic dotted pen), a dashed one 6 on and 3 off; small dots alternate.
    const int on = m_pen.smallDots ? 1 : m_pen.style == TPenStyle::Dash ? kDashOn : kDotOn;
    const int off = m_pen.smallDots ? 1 : m_pen.style == TPenStyle::Dash ? kDashOff : kDotOff;
    const bool horizontal = y1 == y2;
    const int first = horizontal ? x1 : y1;
    const bool forward = horizontal ? x2 > x1 : y2 > y1;
    // The phase puts the first point on the first "on" pixel in the direction of drawing.
    const int origin = forward ? first : first - (on - 1);
    const int length = horizontal ? std::abs(x2 - x1) : std::abs(y2 - y1);
    const int from = forward ? first : first - length + 1;
    Flush();
    if (!horizontal) {
        // Down a column, a texture fill goes to the painter's threaded filler one row at a time,
        // and a rectangle per dash costs a path each: copying a column of the pattern is one
        // blend, or a few for a line longer than the picture.
        const QImage& pattern = ColumnPattern(on, off);
        const int period = on + off;
        for (int done = 0; done < length;) {
            const int row = from + done;
            const int piece = std::min(length - done, pattern.height() - period);
            const int phase = ((row - origin) % period + period) % period;
            m_painter.drawImage(QPoint(x1, row), pattern, QRect(0, phase, 1, piece));
            done += piece;
        }
        return;
    }
    // Along a row, one fill with a tiled texture is much cheaper than a rectangle per dot.
    const QBrush& tile = RowPatternTile(on, off);
    const QRect rect(from, y1, length, 1);
    const QPoint savedOrigin = m_painter.brushOrigin();
    m_painter.setBrushOrigin(QPoint(origin, 0));
    m_painter.fillRect(rect, tile);
    m_painter.setBrushOrigin(savedOrigin);
}

const TQPainterCanvas::TTile& TQPainterCanvas::Pattern(int on, int off) {
    // Kept while the canvas lives: a new texture for every line would be converted anew.
    const QRgb ink = ToQColor(m_pen.color).rgba();
    for (const TTile& tile : m_tiles)
        if (tile.ink == ink && tile.on == on && tile.off == off)
            return tile;
    // A longer row means fewer tile seams per line; the column is as tall as a picture on a
    // large screen, so that a line down it is one copy.
    constexpr int kRowRepeats = 32;
    constexpr int kColumnRows = 2048;
    const int period = on + off;
    const int rowLength = period * kRowRepeats;
    const int columnLength = (kColumnRows / period + 1) * period;
    // Every canvas builds its own (one a paint), so the pixels are written straight into the
    // pictures: a pixel at a time through setPixel costs more than the lines drawn with them.
    QImage row(rowLength, 1, QImage::Format_ARGB32_Premultiplied);
    QImage column(1, columnLength, QImage::Format_ARGB32_Premultiplied);
    auto* rowPixels = reinterpret_cast<QRgb*>(row.scanLine(0));
    for (int i = 0; i < rowLength; ++i)
        rowPixels[i] = i % period < on ? ink : 0;
    for (int i = 0; i < columnLength; ++i)
        *reinterpret_cast<QRgb*>(column.scanLine(i)) = i % period < on ? ink : 0;
    m_tiles.push_back({ink, on, off, QBrush(row), column});
    return m_tiles.back();
}

const QBrush& TQPainterCanvas::RowPatternTile(int on, int off) {
    return Pattern(on, off).row;
}

const QImage& TQPainterCanvas::ColumnPattern(int on, int off) {
    return Pattern(on, off).column;
}

void TQPainterCanvas::SolidThinLine(int x1, int y1, int x2, int y2) {
    // Bresenham from the first point to the one before the last, so that every point of a
    // polyline is set by the segment that starts there. Runs of pixels along the major axis
    // become one rectangle each.
    const int dx = std::abs(x2 - x1);
    const int dy = std::abs(y2 - y1);
    const int sx = x2 > x1 ? 1 : -1;
    const int sy = y2 > y1 ? 1 : -1;
    const bool shallow = dx >= dy;
    const int major = shallow ? dx : dy;
    const int minor = shallow ? dy : dx;
    int error = 2 * minor - major;
    int x = x1;
    int y = y1;
    int runStart = shallow ? x : y;
    auto flush = [&](int end) { // the run from runStart to end, both included
        const int from = std::min(runStart, end);
        const int length = std::abs(end - runStart) + 1;
        AddRun(shallow ? QRect(from, y, length, 1) : QRect(x, from, 1, length));
    };
    for (int i = 0; i < major; ++i) {
        const bool last = i == major - 1;
        if (error > 0 || last) {
            flush(shallow ? x : y);
            if (last)
                break;
        }
        if (error > 0) {
            (shallow ? y : x) += shallow ? sy : sx;
            error -= 2 * major;
            (shallow ? x : y) += shallow ? sx : sy;
            runStart = shallow ? x : y;
        } else {
            (shallow ? x : y) += shallow ? sx : sy;
        }
        error += 2 * minor;
    }
}

void TQPainterCanvas::FillRect(const TRect& r) {
    if (m_brush.style == TBrushStyle::Clear || r.Width() <= 0 || r.Height() <= 0)
        return;
    Flush();
    const QRect rect(r.left, r.top, r.Width(), r.Height());
    if (m_brush.style != TBrushStyle::Solid && m_backMode == TBackMode::Opaque)
        m_painter.fillRect(rect, ToQColor(m_backColor));
    m_painter.fillRect(rect, QBrush(ToQColor(m_brush.color), ToQBrushStyle(m_brush.style)));
}

void TQPainterCanvas::Rectangle(const TRect& r) {
    FillRect(r);
    if (m_pen.style == TPenStyle::Clear || r.Width() <= 0 || r.Height() <= 0)
        return;
    OutlineInside(*this, r, m_pen.width);
}

void TQPainterCanvas::TextOut(int x, int y, std::string_view text) {
    Flush();
    const QFontMetrics& fm = Metrics();
    const QString s = ToQString(text);
    if (m_backMode == TBackMode::Opaque)
        m_painter.fillRect(QRect(x, y, fm.horizontalAdvance(s), fm.height()),
                           ToQColor(m_backColor));
    const QPen saved = m_painter.pen();
    m_painter.setPen(ToQColor(m_font.color));
    m_painter.drawText(x, y + fm.ascent(), s);
    m_painter.setPen(saved);
}

int TQPainterCanvas::TextWidth(std::string_view text) {
    std::string key(text);
    if (const auto known = m_widths.find(key); known != m_widths.end())
        return known->second;
    const int width = Metrics().horizontalAdvance(ToQString(text));
    m_widths.emplace(std::move(key), width);
    return width;
}

int TQPainterCanvas::TextHeight(std::string_view /*text*/) {
    // The cell height of the font, whatever the text: ascent plus descent.
    return Metrics().height();
}

void TQPainterCanvas::SetClipRect(const TRect& r) {
    // Within any clip the caller had set on the painter (the printed page's rectangle).
    ResetClip();
    Flush();
    const QRect rect(r.left, r.top, std::max(0, r.Width()), std::max(0, r.Height()));
    m_painter.setClipRect(rect, m_initialClipping ? Qt::IntersectClip : Qt::ReplaceClip);
}

void TQPainterCanvas::ResetClip() {
    Flush();
    if (m_initialClipping)
        m_painter.setClipRegion(m_initialClip);
    else
        m_painter.setClipping(false);
}

TColor TQPainterCanvas::SysColor(TSysColor which) const {
    QColor c;
    switch (which) {
    case TSysColor::ButtonFace:
        c = m_palette.color(QPalette::Active, QPalette::Button);
        break;
    case TSysColor::ButtonShadow:
        c = m_palette.color(QPalette::Active, QPalette::Dark);
        break;
    case TSysColor::ButtonHighlight:
        c = m_palette.color(QPalette::Active, QPalette::Light);
        break;
    }
    return Rgb(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
               static_cast<std::uint8_t>(c.blue()));
}

} // namespace sornafex::chart
