#include "chart/wmf_writer.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>

namespace sornafex::chart {

namespace {

std::int16_t Clamp16(int value) {
    return static_cast<std::int16_t>(std::clamp<int>(
        value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// Windows-1252 bytes 0x80..0x9F and the code points they stand for (0: unassigned).
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToWindows1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kCp1252High.size(); ++i)
        if (kCp1252High[i] != 0 && kCp1252High[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            out.push_back('?');
            ++i;
            continue;
        }
        bool ok = i + extra < utf8.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (next & 0x3F);
        }
        constexpr char32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kShortest[extra]; // an overlong form would smuggle in a control byte
        if (!ok) {
            // Skip only the lead byte: the bytes after it may start a valid sequence.
            out.push_back('?');
            ++i;
            continue;
        }
        out.push_back(ToWindows1252(cp));
        i += extra + 1;
    }
    return out;
}

// One record being assembled: its size in 16-bit words comes first, then the function number.
class TWmfWriter::TRecord {
public:
    explicit TRecord(wmf::TFunc func) { Put16(m_params, static_cast<std::uint16_t>(func)); }

    TRecord& Word(std::uint16_t value) {
        Put16(m_params, value);
        return *this;
    }
    TRecord& Short(int value) { return Word(static_cast<std::uint16_t>(Clamp16(value))); }
    TRecord& DWord(std::uint32_t value) {
        Put32(m_params, value);
        return *this;
    }
    TRecord& Color(TColor color) { return DWord(color & 0x00FFFFFFu); }
    TRecord& Bytes(std::string_view bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            m_params.push_back(i < bytes.size() ? static_cast<std::uint8_t>(bytes[i]) : 0);
        return *this;
    }

    // Size word count of the whole record, the 32-bit size field included.
    std::uint32_t Words() const { return static_cast<std::uint32_t>(2 + m_params.size() / 2); }
    const std::vector<std::uint8_t>& Body() const { return m_params; }

private:
    std::vector<std::uint8_t> m_params; // function number and parameters, padded to words
};

TWmfWriter::TWmfWriter(int frameWidth, int frameHeight, int unitsPerInch)
    : m_frameWidth(std::max(1, frameWidth)), m_frameHeight(std::max(1, frameHeight)),
      m_unitsPerInch(unitsPerInch) {
    if (unitsPerInch <= 0 || unitsPerInch > std::numeric_limits<std::uint16_t>::max())
        throw std::invalid_argument("metafile units per inch out of range");
}

void TWmfWriter::Add(const TRecord& record) {
    if (m_finished)
        throw std::logic_error("metafile already finished");
    const std::uint32_t words = record.Words();
    m_maxRecordWords = std::max(m_maxRecordWords, words);
    Put32(m_records, words);
    m_records.insert(m_records.end(), record.Body().begin(), record.Body().end());
}

int TWmfWriter::TakeSlot() {
    const auto free = std::find(m_slots.begin(), m_slots.end(), false);
    if (free != m_slots.end()) {
        *free = true;
        return static_cast<int>(free - m_slots.begin());
    }
    if (m_slots.size() >= std::numeric_limits<std::uint16_t>::max())
        throw std::length_error("metafile object table full");
    m_slots.push_back(true);
    return static_cast<int>(m_slots.size() - 1);
}

int TWmfWriter::CreatePen(wmf::TPenStyle style, int width, TColor color) {
    TRecord r(wmf::TFunc::CreatePenIndirect);
    // The pen's width is a point whose y is unused.
    r.Word(static_cast<std::uint16_t>(style)).Short(std::max(0, width)).Short(0).Color(color);
    Add(r);
    return TakeSlot();
}

int TWmfWriter::CreateBrush(wmf::TBrushStyle style, TColor color, wmf::THatch hatch) {
    TRecord r(wmf::TFunc::CreateBrushIndirect);
    r.Word(static_cast<std::uint16_t>(style)).Color(color).Word(static_cast<std::uint16_t>(hatch));
    Add(r);
    return TakeSlot();
}

int TWmfWriter::CreateFont(const wmf::TLogFont& font) {
    constexpr std::size_t kFaceBytes = 32; // the face name with its terminating zero
    TRecord r(wmf::TFunc::CreateFontIndirect);
    r.Short(font.height).Short(0).Short(0).Short(0).Short(font.weight);
    const std::string flags{static_cast<char>(font.italic ? 1 : 0),
                            0 /* underline */,
                            0 /* strike-out */,
                            static_cast<char>(wmf::kAnsiCharset),
                            0 /* default output precision */,
                            0 /* default clip precision */,
                            0 /* default quality */,
                            0 /* default pitch, any family */};
    r.Bytes(flags, flags.size());
    r.Bytes(std::string_view(font.face).substr(0, kFaceBytes - 1), kFaceBytes);
    Add(r);
    return TakeSlot();
}

void TWmfWriter::SelectObject(int index) {
    if (index < 0 || index >= ObjectSlotsUsed() || !m_slots[static_cast<std::size_t>(index)])
        throw std::logic_error("metafile: selecting an object that does not exist");
    Add(TRecord(wmf::TFunc::SelectObject).Word(static_cast<std::uint16_t>(index)));
}

void TWmfWriter::DeleteObject(int index) {
    if (index < 0 || index >= ObjectSlotsUsed() || !m_slots[static_cast<std::size_t>(index)])
        throw std::logic_error("metafile: deleting an object that does not exist");
    Add(TRecord(wmf::TFunc::DeleteObject).Word(static_cast<std::uint16_t>(index)));
    m_slots[static_cast<std::size_t>(index)] = false;
}

void TWmfWriter::SetMapMode(std::uint16_t mode) {
    Add(TRecord(wmf::TFunc::SetMapMode).Word(mode));
}

// Point parameters of the window records are stored y first.
void TWmfWriter::SetWindowOrg(int x, int y) {
    Add(TRecord(wmf::TFunc::SetWindowOrg).Short(y).Short(x));
}

void TWmfWriter::SetWindowExt(int width, int height) {
    Add(TRecord(wmf::TFunc::SetWindowExt).Short(height).Short(width));
}

void TWmfWriter::SetBkMode(wmf::TBkMode mode) {
    Add(TRecord(wmf::TFunc::SetBkMode).Word(static_cast<std::uint16_t>(mode)));
}

void TWmfWriter::SetBkColor(TColor color) {
    Add(TRecord(wmf::TFunc::SetBkColor).Color(color));
}

void TWmfWriter::SetTextColor(TColor color) {
    Add(TRecord(wmf::TFunc::SetTextColor).Color(color));
}

void TWmfWriter::SetTextAlign(std::uint16_t flags) {
    Add(TRecord(wmf::TFunc::SetTextAlign).Word(flags));
}

void TWmfWriter::MoveTo(int x, int y) {
    Add(TRecord(wmf::TFunc::MoveTo).Short(y).Short(x));
}

void TWmfWriter::LineTo(int x, int y) {
    Add(TRecord(wmf::TFunc::LineTo).Short(y).Short(x));
}

void TWmfWriter::Polyline(std::span<const TPoint> points) {
    if (points.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()))
        throw std::length_error("metafile polyline too long");
    TRecord r(wmf::TFunc::Polyline);
    r.Short(static_cast<int>(points.size()));
    for (const TPoint& p : points)
        r.Short(p.x).Short(p.y);
    Add(r);
}

// Rectangle parameters are stored in reverse: bottom, right, top, left.
void TWmfWriter::Rectangle(int left, int top, int right, int bottom) {
    Add(TRecord(wmf::TFunc::Rectangle).Short(bottom).Short(right).Short(top).Short(left));
}

void TWmfWriter::TextOut(int x, int y, std::string_view text) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max()))
        throw std::length_error("metafile text too long");
    TRecord r(wmf::TFunc::TextOut);
    r.Short(static_cast<int>(text.size()));
    r.Bytes(text, (text.size() + 1) / 2 * 2);
    r.Short(y).Short(x);
    Add(r);
}

void TWmfWriter::SaveDC() {
    Add(TRecord(wmf::TFunc::SaveDC));
}

void TWmfWriter::RestoreDC() {
    Add(TRecord(wmf::TFunc::RestoreDC).Short(-1));
}

void TWmfWriter::IntersectClipRect(int left, int top, int right, int bottom) {
    Add(TRecord(wmf::TFunc::IntersectClipRect).Short(bottom).Short(right).Short(top).Short(left));
}

std::vector<std::uint8_t> TWmfWriter::Finish() {
    Add(TRecord(wmf::TFunc::Eof));
    m_finished = true;

    std::vector<std::uint8_t> out;
    out.reserve(wmf::kPlaceableHeaderBytes + wmf::kStandardHeaderBytes + m_records.size());

    // Placeable header: key, handle (0 in a file), bounding box, units per inch, reserved, and
    // the XOR of the ten words before the checksum.
    Put32(out, wmf::kPlaceableKey);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint16_t>(Clamp16(m_frameWidth)));
    Put16(out, static_cast<std::uint16_t>(Clamp16(m_frameHeight)));
    Put16(out, static_cast<std::uint16_t>(m_unitsPerInch));
    Put32(out, 0);
    std::uint16_t checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2)
        checksum ^= static_cast<std::uint16_t>(out[i] | (out[i + 1] << 8));
    Put16(out, checksum);

    // Standard header: a metafile in a file ("memory" type 1 is what every writer stores), header
    // of 9 words, version 3.0, total size in words, object table size, largest record.
    const std::size_t totalWords = (wmf::kStandardHeaderBytes + m_records.size()) / 2;
    if (totalWords > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("metafile too large");
    Put16(out, 1);
    Put16(out, 9);
    Put16(out, 0x0300);
    Put32(out, static_cast<std::uint32_t>(totalWords));
    Put16(out, static_cast<std::uint16_t>(m_slots.size()));
    Put32(out, m_maxRecordWords);
    Put16(out, 0);

    out.insert(out.end(), m_records.begin(), m_records.end());
    m_records.clear();
    return out;
}

} // namespace sornafex::chart
