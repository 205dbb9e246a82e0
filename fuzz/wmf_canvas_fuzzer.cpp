// Drives TWmfCanvas with calls decoded from the input, then replays the metafile's object and
// state records the way a player does and aborts on anything a player would refuse.

#include "chart/wmf_canvas.h"
#include "tests/support/wmf_records.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using sornafex::chart::TBackMode;
using sornafex::chart::TBrushStyle;
using sornafex::chart::TCanvas;
using sornafex::chart::TColor;
using sornafex::chart::TFontSpec;
using sornafex::chart::TPenSpec;
using sornafex::chart::TPenStyle;
using sornafex::chart::TPoint;
using sornafex::chart::TRect;
using sornafex::chart::TSysColor;
using sornafex::chart::TWmfCanvas;
namespace wmf = sornafex::chart::wmf;

class TMeasure final : public TCanvas {
public:
    void SetPen(const TPenSpec&) override {}
    void SetBrush(const sornafex::chart::TBrushSpec&) override {}
    void SetFont(const TFontSpec& f) override { m_height = f.height; }
    void SetBackMode(TBackMode) override {}
    void SetBackColor(TColor) override {}
    void Line(int, int, int, int) override {}
    void Polyline(std::span<const TPoint>) override {}
    void Rectangle(const TRect&) override {}
    void FillRect(const TRect&) override {}
    void TextOut(int, int, std::string_view) override {}
    int TextWidth(std::string_view t) override { return 5 * static_cast<int>(t.size()); }
    int TextHeight(std::string_view) override { return m_height; }
    void SetClipRect(const TRect&) override {}
    void ResetClip() override {}
    TColor SysColor(TSysColor) const override { return 0xC0C0C0; }

private:
    int m_height = 11;
};

class TReader {
public:
    TReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool More() const { return m_at < m_size; }
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int Coord() { return static_cast<std::int16_t>(Byte() | (Byte() << 8)) / 64; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

[[noreturn]] void Fail() {
    std::abort();
}

std::uint16_t F(wmf::TFunc f) {
    return static_cast<std::uint16_t>(f);
}

// Replays selections, deletions and the device-context stack.
void CheckObjects(const sornafex::test::TWmfFileView& file) {
    enum Kind { None, Pen, Brush, Font };
    std::vector<Kind> slots;
    using TSelected = std::array<int, 4>; // by kind; -1: nothing of ours
    TSelected dc{-1, -1, -1, -1};
    std::vector<TSelected> saved;
    auto create = [&](Kind kind) {
        for (std::size_t i = 0; i < slots.size(); ++i)
            if (slots[i] == None) {
                slots[i] = kind;
                return;
            }
        slots.push_back(kind);
    };
    for (const auto& r : file.records) {
        if (r.function == F(wmf::TFunc::CreatePenIndirect))
            create(Pen);
        else if (r.function == F(wmf::TFunc::CreateBrushIndirect))
            create(Brush);
        else if (r.function == F(wmf::TFunc::CreateFontIndirect))
            create(Font);
        else if (r.function == F(wmf::TFunc::SelectObject)) {
            const std::size_t i = r.Word(0);
            if (i >= slots.size() || slots[i] == None)
                Fail();
            dc[slots[i]] = static_cast<int>(i);
        } else if (r.function == F(wmf::TFunc::DeleteObject)) {
            const std::size_t i = r.Word(0);
            if (i >= slots.size() || slots[i] == None)
                Fail();
            if (dc[slots[i]] == static_cast<int>(i))
                Fail(); // still selected
            for (const TSelected& s : saved)
                if (s[slots[i]] == static_cast<int>(i))
                    Fail(); // a restore would select a deleted object
            slots[i] = None;
        } else if (r.function == F(wmf::TFunc::SaveDC)) {
            saved.push_back(dc);
        } else if (r.function == F(wmf::TFunc::RestoreDC)) {
            if (saved.empty())
                Fail();
            dc = saved.back();
            saved.pop_back();
        }
    }
    if (!saved.empty() || file.objects < slots.size())
        Fail();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TReader in(data, size);
    TMeasure measure;
    TWmfCanvas canvas(in.Coord(), in.Coord(), measure);
    constexpr std::array<TPenStyle, 3> kPens = {TPenStyle::Solid, TPenStyle::Dot, TPenStyle::Clear};
    constexpr std::array<TBrushStyle, 8> kBrushes = {
        TBrushStyle::Solid,    TBrushStyle::Clear,     TBrushStyle::Horizontal,
        TBrushStyle::Vertical, TBrushStyle::FDiagonal, TBrushStyle::BDiagonal,
        TBrushStyle::Cross,    TBrushStyle::DiagCross};
    while (in.More()) {
        switch (in.Byte() % 12) {
        case 0:
            canvas.SetPen(
                {in.Byte() * 0x10101u, in.Byte() % 4, kPens[in.Byte() % 3], (in.Byte() & 1) != 0});
            break;
        case 1:
            canvas.SetBrush({in.Byte() * 0x10101u, kBrushes[in.Byte() % 8]});
            break;
        case 2: {
            TFontSpec font;
            font.height = in.Byte() % 40;
            font.bold = (in.Byte() & 1) != 0;
            font.color = in.Byte() * 0x10101u;
            canvas.SetFont(font);
            break;
        }
        case 3:
            canvas.SetBackMode((in.Byte() & 1) ? TBackMode::Opaque : TBackMode::Transparent);
            break;
        case 4:
            canvas.Line(in.Coord(), in.Coord(), in.Coord(), in.Coord());
            break;
        case 5: {
            std::vector<TPoint> points(in.Byte() % 8);
            for (TPoint& p : points)
                p = {in.Coord(), in.Coord()};
            canvas.Polyline(points);
            break;
        }
        case 6:
            canvas.Rectangle({in.Coord(), in.Coord(), in.Coord(), in.Coord()});
            break;
        case 7:
            canvas.FillRect({in.Coord(), in.Coord(), in.Coord(), in.Coord()});
            break;
        case 8: {
            std::string text(in.Byte() % 16, '\0');
            for (char& c : text)
                c = static_cast<char>(in.Byte());
            canvas.TextOut(in.Coord(), in.Coord(), text);
            break;
        }
        case 9:
            canvas.SetClipRect({in.Coord(), in.Coord(), in.Coord(), in.Coord()});
            break;
        case 10:
            canvas.ResetClip();
            break;
        case 11:
            canvas.SetBackColor(in.Byte() * 0x10101u);
            break;
        }
    }
    const std::vector<std::uint8_t> bytes = canvas.Finish();
    const auto file = sornafex::test::ReadWmf(bytes); // throws (and so fails) on bad framing
    if (file.checksum != file.computedChecksum ||
        2 * std::size_t(file.sizeWords) + 22 != bytes.size())
        Fail();
    CheckObjects(file);
    return 0;
}
