#include "chart/wmf_writer.h"
#include "tests/support/wmf_records.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace sornafex::chart {
namespace {

using test::ReadWmf;
using wmf::TFunc;

std::uint16_t F(TFunc func) {
    return static_cast<std::uint16_t>(func);
}

TEST(WmfWriter, HeadersDescribeTheFileTheyHead) {
    TWmfWriter writer(639, 399, 96);
    writer.SetWindowExt(639, 399);
    writer.Rectangle(0, 0, 10, 10);
    const auto bytes = writer.Finish();
    const auto f = ReadWmf(bytes);

    EXPECT_EQ(f.key, 0x9AC6CDD7u);
    EXPECT_EQ(f.boundsLeft, 0);
    EXPECT_EQ(f.boundsTop, 0);
    EXPECT_EQ(f.boundsRight, 639);
    EXPECT_EQ(f.boundsBottom, 399);
    EXPECT_EQ(f.inch, 96);
    EXPECT_EQ(f.checksum, f.computedChecksum);
    EXPECT_EQ(f.type, 1);
    EXPECT_EQ(f.headerWords, 9);
    EXPECT_EQ(f.version, 0x0300);
    EXPECT_EQ(2 * std::size_t(f.sizeWords), bytes.size() - 22);
    ASSERT_EQ(f.records.size(), 3u);
    EXPECT_EQ(f.records.back().function, F(TFunc::Eof));
    EXPECT_EQ(f.records.back().words, 3u);
    std::uint32_t largest = 0;
    for (const auto& r : f.records)
        largest = std::max(largest, r.words);
    EXPECT_EQ(f.maxRecordWords, largest);
}

TEST(WmfWriter, ChecksumIsTheXorOfTheTenWordsBeforeIt) {
    // Hand-computed: key words 0xCDD7 ^ 0x9AC6, then 0, 0, 0, 300, 200, 96, 0, 0.
    TWmfWriter writer(300, 200, 96);
    const auto f = ReadWmf(writer.Finish());
    EXPECT_EQ(f.checksum, std::uint16_t(0xCDD7 ^ 0x9AC6 ^ 300 ^ 200 ^ 96));
}

TEST(WmfWriter, FrameIsAtLeastOneUnit) {
    TWmfWriter writer(0, -5, 96);
    const auto f = ReadWmf(writer.Finish());
    EXPECT_EQ(f.boundsRight, 1);
    EXPECT_EQ(f.boundsBottom, 1);
}

TEST(WmfWriter, ObjectsTakeTheLowestFreeSlotAndTheTableSizeIsTheMostInUse) {
    TWmfWriter writer(10, 10, 96);
    EXPECT_EQ(writer.CreatePen(wmf::TPenStyle::Solid, 1, kClBlack), 0);
    EXPECT_EQ(writer.CreateBrush(wmf::TBrushStyle::Solid, kClGreen), 1);
    writer.SelectObject(0);
    writer.DeleteObject(0);
    EXPECT_EQ(writer.CreateFont(wmf::TLogFont{}), 0);
    EXPECT_EQ(writer.CreatePen(wmf::TPenStyle::Null, 1, kClBlack), 2);
    const auto f = ReadWmf(writer.Finish());
    EXPECT_EQ(f.objects, 3);
    const auto deletes = f.Records(F(TFunc::DeleteObject));
    ASSERT_EQ(deletes.size(), 1u);
    EXPECT_EQ(deletes[0].Word(0), 0);
}

TEST(WmfWriter, UsingAnObjectThatDoesNotExistIsAnError) {
    TWmfWriter writer(10, 10, 96);
    const int pen = writer.CreatePen(wmf::TPenStyle::Solid, 1, kClBlack);
    writer.DeleteObject(pen);
    EXPECT_THROW(writer.SelectObject(pen), std::logic_error);
    EXPECT_THROW(writer.DeleteObject(pen), std::logic_error);
    EXPECT_THROW(writer.SelectObject(7), std::logic_error);
}

TEST(WmfWriter, ObjectRecordsHoldTheirFields) {
    TWmfWriter writer(10, 10, 96);
    writer.CreatePen(wmf::TPenStyle::Dot, 0, Rgb(128, 128, 128));
    writer.CreateBrush(wmf::TBrushStyle::Hatched, Rgb(1, 2, 3), wmf::THatch::Cross);
    writer.CreateFont(
        {.height = -13, .weight = wmf::kFontWeightBold, .italic = true, .face = "Arial"});
    const auto f = ReadWmf(writer.Finish());

    const auto pen = f.Records(F(TFunc::CreatePenIndirect)).at(0);
    EXPECT_EQ(pen.words, 8u);
    EXPECT_EQ(pen.Word(0), 2);  // PS_DOT
    EXPECT_EQ(pen.Short(1), 0); // width
    EXPECT_EQ(pen.DWord(3), 0x808080u);

    const auto brush = f.Records(F(TFunc::CreateBrushIndirect)).at(0);
    EXPECT_EQ(brush.words, 7u);
    EXPECT_EQ(brush.Word(0), 2); // BS_HATCHED
    EXPECT_EQ(brush.DWord(1), 0x030201u);
    EXPECT_EQ(brush.Word(3), 4); // HS_CROSS

    const auto font = f.Records(F(TFunc::CreateFontIndirect)).at(0);
    EXPECT_EQ(font.words, 3u + 9u + 16u);
    EXPECT_EQ(font.Short(0), -13);
    EXPECT_EQ(font.Short(4), 700);
    EXPECT_EQ(font.params[10], 1); // italic
    EXPECT_EQ(font.params[13], 0); // ANSI_CHARSET
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&font.params[18])), "Arial");
    EXPECT_TRUE(
        std::all_of(font.params.begin() + 23, font.params.end(), [](auto b) { return b == 0; }));
}

TEST(WmfWriter, LongFaceNamesKeepTheirTerminatingZero) {
    TWmfWriter writer(10, 10, 96);
    writer.CreateFont({.face = std::string(40, 'x')});
    const auto font = ReadWmf(writer.Finish()).Records(F(TFunc::CreateFontIndirect)).at(0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&font.params[18])), std::string(31, 'x'));
}

TEST(WmfWriter, CoordinatesAreStoredInTheOrderPlayersRead) {
    TWmfWriter writer(10, 10, 96);
    writer.Rectangle(1, 2, 3, 4);
    writer.IntersectClipRect(5, 6, 7, 8);
    writer.MoveTo(9, 10);
    writer.LineTo(11, 12);
    writer.SetWindowExt(639, 399);
    const TPoint points[] = {{1, 2}, {3, 4}, {5, -6}};
    writer.Polyline(points);
    const auto f = ReadWmf(writer.Finish());

    const auto rect = f.Records(F(TFunc::Rectangle)).at(0);
    EXPECT_EQ((std::vector{rect.Short(0), rect.Short(1), rect.Short(2), rect.Short(3)}),
              (std::vector{4, 3, 2, 1}));
    const auto clip = f.Records(F(TFunc::IntersectClipRect)).at(0);
    EXPECT_EQ((std::vector{clip.Short(0), clip.Short(1), clip.Short(2), clip.Short(3)}),
              (std::vector{8, 7, 6, 5}));
    const auto move = f.Records(F(TFunc::MoveTo)).at(0);
    EXPECT_EQ(move.Short(0), 10);
    EXPECT_EQ(move.Short(1), 9);
    const auto ext = f.Records(F(TFunc::SetWindowExt)).at(0);
    EXPECT_EQ(ext.Short(0), 399);
    EXPECT_EQ(ext.Short(1), 639);
    const auto line = f.Records(F(TFunc::Polyline)).at(0);
    EXPECT_EQ(line.words, 3u + 1u + 6u);
    EXPECT_EQ(line.Short(0), 3);
    EXPECT_EQ((std::vector{line.Short(1), line.Short(2), line.Short(5), line.Short(6)}),
              (std::vector{1, 2, 5, -6}));
}

TEST(WmfWriter, CoordinatesBeyondSixteenBitsAreClamped) {
    TWmfWriter writer(10, 10, 96);
    writer.MoveTo(100000, -100000);
    const auto move = ReadWmf(writer.Finish()).Records(F(TFunc::MoveTo)).at(0);
    EXPECT_EQ(move.Short(0), -32768);
    EXPECT_EQ(move.Short(1), 32767);
}

TEST(WmfWriter, TextIsPaddedToWholeWordsAndFollowedByItsPoint) {
    TWmfWriter writer(10, 10, 96);
    writer.TextOut(7, 9, "abc");
    writer.TextOut(1, 2, "ab");
    const auto texts = ReadWmf(writer.Finish()).Records(F(TFunc::TextOut));
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].words, 3u + 1u + 2u + 2u);
    EXPECT_EQ(texts[0].Short(0), 3);
    EXPECT_EQ(std::string(texts[0].params.begin() + 2, texts[0].params.begin() + 5), "abc");
    EXPECT_EQ(texts[0].params[5], 0);
    EXPECT_EQ(texts[0].Short(3), 9);
    EXPECT_EQ(texts[0].Short(4), 7);
    EXPECT_EQ(texts[1].words, 3u + 1u + 1u + 2u);
    EXPECT_EQ(texts[1].Short(2), 2);
    EXPECT_EQ(texts[1].Short(3), 1);
}

TEST(WmfWriter, NothingCanBeAddedAfterFinish) {
    TWmfWriter writer(10, 10, 96);
    (void)writer.Finish();
    EXPECT_THROW(writer.MoveTo(1, 1), std::logic_error);
}

struct TCodePageCase {
    std::string utf8;
    std::string expected;
};

class WmfText : public testing::TestWithParam<TCodePageCase> {};

TEST_P(WmfText, Utf8BecomesWindows1252) {
    EXPECT_EQ(Utf8ToWindows1252(GetParam().utf8), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, WmfText,
                         testing::Values(TCodePageCase{"400", "400"},
                                         TCodePageCase{"Aucune donn\xC3\xA9"
                                                       "es re\xC3\xA7ue",
                                                       "Aucune donn\xE9"
                                                       "es re\xE7ue"},
                                         TCodePageCase{"\xE2\x82\xAC 5", "\x80 5"}, // euro sign
                                         TCodePageCase{"\xC5\x93uf", "\x9Cuf"},     // oe ligature
                                         TCodePageCase{"\xE6\x97\xA5", "?"}, // not in the code page
                                         TCodePageCase{"a\xC3", "a?"},       // cut short
                                         TCodePageCase{"\xC3(", "?("},       // bad continuation
                                         TCodePageCase{"\xC0\x80", "??"},    // overlong NUL
                                         TCodePageCase{"\xF0\x9F\x98\x80!",
                                                       "?!"}, // outside the BMP
                                         TCodePageCase{"\xFF", "?"}));

} // namespace
} // namespace sornafex::chart
