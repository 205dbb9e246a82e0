#pragma once

// A canvas that records what is drawn on it as a placeable Windows metafile, so the chart's one
// Draw routine gives a vector picture that other programs can open and scale.
//
// The picture's unit is the reference device's pixel: 96 units to the inch, the screen's
// resolution. Text is measured by a delegate canvas on the reference device (the screen), so the
// layout in the metafile is the layout on the screen; the delegate receives every font set here.

#include "chart/canvas.h"
#include "chart/wmf_writer.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sornafex::chart {

class TWmfCanvas final : public TCanvas {
public:
    static constexpr int kUnitsPerInch = 96;

    // A picture frameWidth x frameHeight units (each at least 1), measuring text with measure,
    // which must outlive this canvas and also answers SysColor (the screen's palette).
    TWmfCanvas(int frameWidth, int frameHeight, TCanvas& measure);

    void SetPen(const TPenSpec& pen) override;
    void SetBrush(const TBrushSpec& brush) override;
    void SetFont(const TFontSpec& font) override;
    void SetBackMode(TBackMode mode) override;
    void SetBackColor(TColor color) override;

    void Line(int x1, int y1, int x2, int y2) override;
    void Polyline(std::span<const TPoint> points) override;
    void Rectangle(const TRect& r) override;
    void FillRect(const TRect& r) override;
    // Characters outside Windows-1252 are recorded as '?'.
    void TextOut(int x, int y, std::string_view text) override;
    int TextWidth(std::string_view text) override;
    int TextHeight(std::string_view text) override;

    void SetClipRect(const TRect& r) override;
    void ResetClip() override;

    TColor SysColor(TSysColor which) const override;

    // Ends the recording and returns the placeable metafile's bytes. Nothing may be drawn after.
    std::vector<std::uint8_t> Finish();

private:
    // What the metafile's device context holds at a point of the recording. SaveDC / RestoreDC
    // bracket a clip, and a restore brings all of this back, so it is saved with it.
    struct TDcState {
        std::optional<TPenSpec> pen;
        std::optional<TBrushSpec> brush;
        std::optional<TFontSpec> font;
        int penObject = -1;
        int brushObject = -1;
        int fontObject = -1;
        std::optional<TBackMode> backMode;
        std::optional<TColor> backColor;
        std::optional<TColor> textColor;
    };

    void RealizePen(const TPenSpec& pen);
    void RealizeBrush(const TBrushSpec& brush);
    void RealizeFont();
    // solidShape: nothing of what is drawn next shows the background.
    void RealizeBackground(bool solidShape);
    // Selects newObject in place of oldObject and frees oldObject unless a saved state holds it.
    void Replace(int& current, int newObject);

    TWmfWriter m_writer;
    TCanvas& m_measure;

    TPenSpec m_pen;
    TBrushSpec m_brush;
    TFontSpec m_font;
    TBackMode m_backMode = TBackMode::Opaque;
    TColor m_backColor = kClWhite;

    TDcState m_dc;
    std::optional<TDcState> m_saved; // the state under the current clip, when one is set
};

} // namespace sornafex::chart
