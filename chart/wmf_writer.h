#pragma once

// A writer of placeable Windows metafiles (WMF): the 22-byte placeable header with its checksum,
// the 18-byte standard header, then the records in the order they are added. It knows the
// records a chart needs and nothing of charts; TWmfCanvas turns canvas calls into these records.
//
// All values are little-endian; coordinates are logical units stored as signed 16-bit numbers
// (values outside that range are clamped). Objects live in the metafile's object table: a Create
// call takes the lowest free slot, as the player does when it replays the record, and returns it.

#include "chart/canvas.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex::chart {

namespace wmf {

inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
inline constexpr std::size_t kPlaceableHeaderBytes = 22;
inline constexpr std::size_t kStandardHeaderBytes = 18;

// Record function numbers.
enum class TFunc : std::uint16_t {
    Eof = 0x0000,
    SaveDC = 0x001E,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetBkColor = 0x0201,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    RestoreDC = 0x0127,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    DeleteObject = 0x01F0,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    Polyline = 0x0325,
    IntersectClipRect = 0x0416,
    Rectangle = 0x041B,
    TextOut = 0x0521,
};

enum class TPenStyle : std::uint16_t { Solid = 0, Dash = 1, Dot = 2, Null = 5 };
enum class TBrushStyle : std::uint16_t { Solid = 0, Null = 1, Hatched = 2 };
enum class THatch : std::uint16_t {
    Horizontal = 0,
    Vertical = 1,
    FDiagonal = 2,
    BDiagonal = 3,
    Cross = 4,
    DiagCross = 5
};
enum class TBkMode : std::uint16_t { Transparent = 1, Opaque = 2 };
inline constexpr std::uint16_t kMapModeAnisotropic = 8;
// Text alignment flags: reference point at the top-left of the text, current position unused.
inline constexpr std::uint16_t kTextAlignTopLeft = 0x0000;
inline constexpr std::uint16_t kTextAlignCenter = 0x0006;
inline constexpr std::uint16_t kTextAlignRight = 0x0002;
inline constexpr std::uint16_t kTextAlignBaseline = 0x0018;

inline constexpr std::int16_t kFontWeightNormal = 400;
inline constexpr std::int16_t kFontWeightBold = 700;
inline constexpr std::uint8_t kAnsiCharset = 0;

struct TLogFont {
    // Negative: the character height (em height without internal leading); positive: the cell
    // height. Logical units.
    std::int16_t height = 0;
    std::int16_t weight = kFontWeightNormal;
    bool italic = false;
    std::string face = "Arial"; // at most 31 bytes are stored
};

} // namespace wmf

// Text of the metafile's 8-bit strings: UTF-8 converted to Windows-1252, characters that code
// page lacks (and malformed sequences) written as '?'.
std::string Utf8ToWindows1252(std::string_view utf8);

class TWmfWriter {
public:
    // frameWidth and frameHeight: the picture's extent in logical units, at least 1 each;
    // unitsPerInch: how many logical units make an inch on the reference device.
    TWmfWriter(int frameWidth, int frameHeight, int unitsPerInch);

    int CreatePen(wmf::TPenStyle style, int width, TColor color);
    int CreateBrush(wmf::TBrushStyle style, TColor color, wmf::THatch hatch = {});
    int CreateFont(const wmf::TLogFont& font);
    void SelectObject(int index);
    // Frees the slot for the next Create call.
    void DeleteObject(int index);

    void SetMapMode(std::uint16_t mode);
    void SetWindowOrg(int x, int y);
    void SetWindowExt(int width, int height);
    void SetBkMode(wmf::TBkMode mode);
    void SetBkColor(TColor color);
    void SetTextColor(TColor color);
    void SetTextAlign(std::uint16_t flags);

    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Polyline(std::span<const TPoint> points);
    void Rectangle(int left, int top, int right, int bottom);
    // text: bytes in the font's character set (see Utf8ToWindows1252).
    void TextOut(int x, int y, std::string_view text);

    void SaveDC();
    // Restores the state saved by the latest SaveDC.
    void RestoreDC();
    void IntersectClipRect(int left, int top, int right, int bottom);

    // Adds the end-of-file record and returns the whole file. The writer is spent afterwards.
    std::vector<std::uint8_t> Finish();

    int ObjectSlotsUsed() const { return static_cast<int>(m_slots.size()); }

private:
    class TRecord;
    void Add(const TRecord& record);
    int TakeSlot();

    int m_frameWidth;
    int m_frameHeight;
    int m_unitsPerInch;
    std::vector<std::uint8_t> m_records;
    std::uint32_t m_maxRecordWords = 0;
    std::vector<bool> m_slots; // true: in use
    bool m_finished = false;
};

} // namespace sornafex::chart
