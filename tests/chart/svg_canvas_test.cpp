#include "chart/svg_canvas.h"
#include "tests/chart/fake_canvas.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sornafex::chart {
namespace {

constexpr TPenSpec kBlack{kClBlack, 1, TPenStyle::Solid, false};

// What each drawing call becomes: the document must hold every expected piece, in order.
TEST(SvgCanvas, DrawingCallsBecomeElements) {
    struct Row {
        const char* name;
        std::function<void(TSvgCanvas&)> draw;
        std::vector<std::string> pieces;
    } const rows[] = {
        {"a line covers its pixels up to the last one, left out",
         [](TSvgCanvas& c) {
             c.SetPen(kBlack);
             c.Line(2, 5, 6, 5);
             c.Line(6, 9, 2, 9);
             c.SetPen({kClRed, 2, TPenStyle::Solid, false});
             c.Line(3, 1, 3, 8);
         },
         {R"x(<line x1="2" y1="5.5" x2="6" y2="5.5" stroke="#000000" stroke-width="1"/>)x",
          R"x(<line x1="7" y1="9.5" x2="3" y2="9.5")x",
          R"x(<line x1="3" y1="1" x2="3" y2="8" stroke="#ff0000" stroke-width="2"/>)x"}},
        {"patterned pens",
         [](TSvgCanvas& c) {
             c.SetPen({kClGray, 1, TPenStyle::Dot, false});
             c.Line(0, 3, 9, 3);
             c.SetPen({kClWhite, 1, TPenStyle::Dash, false});
             c.Line(4, 0, 4, 9);
             c.SetPen({kClGray, 1, TPenStyle::Solid, true});
             c.Line(0, 1, 9, 1);
             c.SetPen({kClGray, 1, TPenStyle::Clear, false});
             c.Line(0, 2, 9, 2);
         },
         {R"x(stroke-dasharray="3 3")x",
          R"x(stroke="#ffffff" stroke-width="1" stroke-dasharray="6 3")x",
          R"x(stroke-dasharray="1 1"/>)x"
          "\n</svg>"}},
        {"joined slanted lines are one path",
         [](TSvgCanvas& c) {
             c.SetPen(kBlack);
             c.Line(0, 0, 10, 5);
             c.Line(10, 5, 20, 5);
             c.Line(20, 5, 30, 0);
             c.Line(0, 9, 9, 9);
         },
         {R"x(<path d="M0.5 0.5L10.5 5.5L20.5 5.5L30.5 0.5" fill="none" stroke="#000000")x",
          R"x(<line x1="0" y1="9.5" x2="9")x"}},
        {"fills, a clear brush draws nothing, a hatch over its background",
         [](TSvgCanvas& c) {
             c.SetBrush({kClGreen, TBrushStyle::Solid});
             c.FillRect({1, 2, 11, 7});
             c.SetBrush({kClGreen, TBrushStyle::Clear});
             c.FillRect({0, 0, 50, 50});
             c.SetBackMode(TBackMode::Opaque);
             c.SetBackColor(kClWhite);
             c.SetBrush({kClBlack, TBrushStyle::Cross});
             c.FillRect({0, 0, 8, 8});
         },
         {R"x(<pattern id="h1" width="8" height="8" patternUnits="userSpaceOnUse"><path d="M0 0.5H8M0.5 0V8" stroke="#000000")x",
          R"x(<rect x="1" y="2" width="10" height="5" fill="#008000"/>)x",
          R"x(<rect x="0" y="0" width="8" height="8" fill="#ffffff"/>)x",
          R"x(<rect x="0" y="0" width="8" height="8" fill="url(#h1)"/>)x"}},
        {"text is text, at its baseline, escaped, over its background when opaque",
         [](TSvgCanvas& c) {
             c.SetFont({"Arial", 13, true, false, kClYellow});
             c.SetBackMode(TBackMode::Opaque);
             c.SetBackColor(kClRed);
             c.TextOut(5, 20, "<Ça & \"là\">");
             c.SetFont({"Courier", 11, false, true, kClBlack});
             c.SetBackMode(TBackMode::Transparent);
             c.TextOut(0, 0, "a\x01\xFF\xC3");
         },
         {R"x(<rect x="5" y="20" width="91" height="14" fill="#ff0000"/>)x",
          R"x(<text x="5" y="31" font-family="Arial, Liberation Sans, sans-serif" font-size="13px" font-weight="bold" fill="#ffff00" xml:space="preserve">&lt;Ça &amp; &quot;là&quot;&gt;</text>)x",
          R"x(<text x="0" y="9" font-family="Courier, sans-serif" font-size="11px" font-style="italic" fill="#000000" xml:space="preserve">a???</text>)x"}},
        {"a clip is a group",
         [](TSvgCanvas& c) {
             c.SetPen(kBlack);
             c.SetClipRect({1, 2, 11, 22});
             c.Line(0, 0, 5, 5);
             c.ResetClip();
             c.SetClipRect({0, 0, 3, 3});
         },
         {R"x(<clipPath id="c1"><rect x="1" y="2" width="10" height="20"/></clipPath>)x",
          R"x(<g clip-path="url(#c1)">)x", R"x(<path d="M0.5 0.5L5.5 5.5")x", "</g>",
          R"x(<g clip-path="url(#c2)">)x", "</g>\n</svg>"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TFakeCanvas measure(14, 7);
        TSvgCanvas canvas(40, 30, measure, [](const TFontSpec& font) { return font.height - 2; });
        row.draw(canvas);
        const std::string svg = canvas.Finish();
        EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "
                                    "xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" "
                                    "width=\"40\" height=\"30\" viewBox=\"0 0 40 30\""));
        std::size_t at = 0;
        for (const std::string& piece : row.pieces) {
            const std::size_t found = svg.find(piece, at);
            EXPECT_NE(found, std::string::npos) << piece << "\nin\n" << svg;
            at = found == std::string::npos ? at : found + piece.size();
        }
    }
}

} // namespace
} // namespace sornafex::chart
