#include "chart/svg_canvas.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace sornafex::chart {

namespace {

std::string Colour(TColor c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", RedOf(c), GreenOf(c), BlueOf(c));
    return text;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Joins pieces into one buffer. Also the way around GCC 12's false -Wrestrict at -O3 on a literal
// prepended to a temporary string.
template <typename... Pieces> std::string Cat(const Pieces&... pieces) {
    std::string out;
    out.reserve((std::string_view(pieces).size() + ...));
    (out.append(std::string_view(pieces)), ...);
    return out;
}

// The length of the UTF-8 sequence starting at text[i], or 0 when it is not one.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) {
        return static_cast<unsigned char>(text[k]);
    };
    const unsigned char lead = byte(i);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                               : lead >= 0xE0                 ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and values beyond U+10FFFF.
    if ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) >= 0xA0) ||
        (lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) >= 0x90))
        return 0;
    return length;
}

std::string XmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = SequenceLength(text, i);
        const char c = text[i];
        if (length == 0 || (length == 1 && static_cast<unsigned char>(c) < 0x20 && c != '\t')) {
            out += '?';
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

// An 8 x 8 tile of the hatch, as the path of its strokes.
std::string_view HatchStrokes(TBrushStyle style) {
    switch (style) {
    case TBrushStyle::Horizontal:
        return "M0 0.5H8";
    case TBrushStyle::Vertical:
        return "M0.5 0V8";
    case TBrushStyle::FDiagonal:
        return "M0 0L8 8M-1 7L1 9M7 -1L9 1";
    case TBrushStyle::BDiagonal:
        return "M0 8L8 0M-1 1L1 -1M7 9L9 7";
    case TBrushStyle::Cross:
        return "M0 0.5H8M0.5 0V8";
    case TBrushStyle::DiagCross:
        return "M0 0L8 8M0 8L8 0";
    case TBrushStyle::Solid:
    case TBrushStyle::Clear:
        break;
    }
    return {};
}

bool IsHatched(TBrushStyle style) {
    return !HatchStrokes(style).empty();
}

} // namespace

TSvgCanvas::TSvgCanvas(int width, int height, TCanvas& measure, TAscent ascent)
    : m_width(std::max(1, width)), m_height(std::max(1, height)), m_measure(measure),
      m_ascent(std::move(ascent)) {
    m_measure.SetFont(m_font);
}

void TSvgCanvas::SetFont(const TFontSpec& font) {
    m_font = font;
    m_measure.SetFont(font);
}

std::string TSvgCanvas::Stroke() const {
    // Width 0 is the device's thinnest line: one pixel here.
    std::string attributes = " stroke=\"" + Colour(m_pen.color) + "\" stroke-width=\"" +
                             std::to_string(std::max(1, m_pen.width)) + "\"";
    const auto dashes = [](int on, int off) {
        return Cat(" stroke-dasharray=\"", std::to_string(on), " ", std::to_string(off), "\"");
    };
    if (m_pen.smallDots && m_pen.width <= 1)
        attributes += dashes(1, 1);
    else if (m_pen.style == TPenStyle::Dot)
        attributes += dashes(kDotOn, kDotOff);
    else if (m_pen.style == TPenStyle::Dash)
        attributes += dashes(kDashOn, kDashOff);
    return attributes;
}

std::string TSvgCanvas::Fill() {
    if (!IsHatched(m_brush.style))
        return Colour(m_brush.color);
    const auto key = std::make_tuple(m_brush.style, m_brush.color);
    auto found = m_hatches.find(key);
    if (found == m_hatches.end()) {
        const std::string id = Cat("h", std::to_string(++m_nextId));
        m_defs += "<pattern id=\"" + id +
                  "\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\"><path d=\"" +
                  std::string(HatchStrokes(m_brush.style)) + "\" stroke=\"" +
                  Colour(m_brush.color) + "\" stroke-width=\"1\"/></pattern>\n";
        found = m_hatches.emplace(key, id).first;
    }
    return "url(#" + found->second + ")";
}

void TSvgCanvas::EndPath() {
    if (m_path.empty())
        return;
    const TPenSpec current = std::exchange(m_pen, m_pathPen);
    m_body += "<path d=\"" + m_path + "\" fill=\"none\"" + Stroke() + "/>\n";
    m_pen = current;
    m_path.clear();
}

void TSvgCanvas::Line(int x1, int y1, int x2, int y2) {
    if (m_pen.style == TPenStyle::Clear || (x1 == x2 && y1 == y2))
        return;
    const auto centre = [](int v) {
        return Number(v + 0.5);
    };
    if (!m_path.empty() && m_pathPen == m_pen && m_pathEnd == TPoint{x1, y1}) {
        m_path += Cat("L", centre(x2), " ", centre(y2));
        m_pathEnd = {x2, y2};
        return;
    }
    EndPath();
    if (x1 != x2 && y1 != y2) {
        m_path = Cat("M", centre(x1), " ", centre(y1), "L", centre(x2), " ", centre(y2));
        m_pathPen = m_pen;
        m_pathEnd = {x2, y2};
        return;
    }
    // Along pixel edges: from the first point's pixel up to the last point's, which is left out.
    // A wide pen is centred on the line with its extra pixel above (left of) it.
    const int w = std::max(1, m_pen.width);
    const double across = (y1 == y2 ? y1 : x1) - w / 2 + w / 2.0;
    const int from = y1 == y2 ? x1 : y1;
    const int to = y1 == y2 ? x2 : y2;
    const int shift = to < from ? 1 : 0;
    const std::string a = Number(from + shift);
    const std::string b = Number(to + shift);
    const std::string c = Number(across);
    const auto [x1Text, y1Text, x2Text, y2Text] =
        y1 == y2 ? std::tie(a, c, b, c) : std::tie(c, a, c, b);
    m_body += Cat("<line x1=\"", x1Text, "\" y1=\"", y1Text, "\" x2=\"", x2Text, "\" y2=\"", y2Text,
                  "\"", Stroke(), "/>\n");
}

void TSvgCanvas::FillRect(const TRect& r) {
    if (m_brush.style == TBrushStyle::Clear || r.Width() <= 0 || r.Height() <= 0)
        return;
    EndPath();
    const std::string place = "<rect x=\"" + std::to_string(r.left) + "\" y=\"" +
                              std::to_string(r.top) + "\" width=\"" + std::to_string(r.Width()) +
                              "\" height=\"" + std::to_string(r.Height()) + "\" fill=\"";
    if (IsHatched(m_brush.style) && m_backMode == TBackMode::Opaque)
        m_body += place + Colour(m_backColor) + "\"/>\n";
    m_body += place + Fill() + "\"/>\n";
}

void TSvgCanvas::Rectangle(const TRect& r) {
    FillRect(r);
    if (m_pen.style == TPenStyle::Clear || r.Width() <= 0 || r.Height() <= 0)
        return;
    // The outline lies inside the rectangle, as on the screen.
    OutlineInside(*this, r, m_pen.width);
}

void TSvgCanvas::TextOut(int x, int y, std::string_view text) {
    if (text.empty())
        return;
    EndPath();
    if (m_backMode == TBackMode::Opaque)
        m_body += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                  std::to_string(TextWidth(text)) + "\" height=\"" +
                  std::to_string(TextHeight(text)) + "\" fill=\"" + Colour(m_backColor) + "\"/>\n";
    std::string family = XmlText(m_font.face);
    // The face's metric-compatible twin on Linux desktops, then any sans-serif face.
    if (m_font.face == "Arial")
        family += ", Liberation Sans";
    family += ", sans-serif";
    m_body += "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y + m_ascent(m_font)) +
              "\" font-family=\"" + family + "\" font-size=\"" +
              std::to_string(std::max(1, m_font.height)) + "px\"";
    if (m_font.bold)
        m_body += " font-weight=\"bold\"";
    if (m_font.italic)
        m_body += " font-style=\"italic\"";
    m_body += " fill=\"" + Colour(m_font.color) + "\" xml:space=\"preserve\">" + XmlText(text) +
              "</text>\n";
}

void TSvgCanvas::SetClipRect(const TRect& r) {
    ResetClip();
    const std::string id = Cat("c", std::to_string(++m_nextId));
    m_defs += "<clipPath id=\"" + id + "\"><rect x=\"" + std::to_string(r.left) + "\" y=\"" +
              std::to_string(r.top) + "\" width=\"" + std::to_string(std::max(0, r.Width())) +
              "\" height=\"" + std::to_string(std::max(0, r.Height())) + "\"/></clipPath>\n";
    m_body += "<g clip-path=\"url(#" + id + ")\">\n";
    m_clipped = true;
}

void TSvgCanvas::ResetClip() {
    EndPath();
    if (!m_clipped)
        return;
    m_body += "</g>\n";
    m_clipped = false;
}

std::string TSvgCanvas::Finish() {
    ResetClip();
    const std::string w = std::to_string(m_width);
    const std::string h = std::to_string(m_height);
    std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
                           w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h +
                           "\" shape-rendering=\"crispEdges\">\n";
    if (!m_defs.empty())
        document += "<defs>\n" + m_defs + "</defs>\n";
    document += m_body + "</svg>\n";
    return document;
}

} // namespace sornafex::chart
