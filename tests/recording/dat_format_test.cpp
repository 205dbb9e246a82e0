#include "recording/dat_format.h"
#include "tests/support/test_files.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace sornafex {
namespace {

using Values = std::vector<std::int32_t>;

struct TReadCase {
    const char* name;
    std::string bytes;
    Values expected;
};

class ReadRecordingTest : public testing::TestWithParam<TReadCase> {};

TEST_P(ReadRecordingTest, KeepsTheLinesThatConvert) {
    EXPECT_EQ(ParseRecording(GetParam().bytes), GetParam().expected);
}

// Every way of cutting the bytes into two or three pieces gives the same values: line ends, the
// LF after a CR and byte 26 may all fall on a piece's edge.
TEST_P(ReadRecordingTest, PiecesOfAnySizeGiveTheSameValues) {
    const std::string& bytes = GetParam().bytes;
    // Long inputs are cut once at every place, short ones also twice.
    const bool twice = bytes.size() <= 64;
    for (std::size_t a = 0; a <= bytes.size(); ++a) {
        for (std::size_t b = a; b <= (twice ? bytes.size() : a); ++b) {
            TRecordingReader reader;
            reader.Feed(std::string_view(bytes).substr(0, a));
            reader.Feed(std::string_view(bytes).substr(a, b - a));
            reader.Feed(std::string_view(bytes).substr(b));
            reader.Finish();
            EXPECT_EQ(reader.Values(), GetParam().expected) << "cut at " << a << ", " << b;
        }
    }
}

std::string Lines(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i)
        text += std::to_string(i) + "\r\n";
    return text;
}

Values Range(int from, int to) {
    Values values;
    for (int i = from; i <= to; ++i)
        values.push_back(i);
    return values;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ReadRecordingTest,
    testing::Values(
        TReadCase{"Empty", "", {}}, TReadCase{"OneValue", "12\r\n", {12}},
        TReadCase{"AcceptedForms",
                  "+42\r\n042\r\n$2A\r\nx2A\r\n0x2A\r\n   42\r\nX2A\r\n0X2A\r\n",
                  {42, 42, 42, 42, 42, 42, 42, 42}},
        TReadCase{"RefusedFormsAreSkipped",
                  "1\r\n42 \r\n4.2\r\n-$2A\r\n2147483648\r\n-\r\n\r\n\t42\r\n2\r\n",
                  {1, 2}},
        TReadCase{"Extremes",
                  "-2147483648\r\n2147483647\r\n$FFFFFFFF\r\n",
                  {std::numeric_limits<std::int32_t>::min(),
                   std::numeric_limits<std::int32_t>::max(), -1}},
        TReadCase{"LastLineWithoutEnd", "1\r\n2", {1, 2}},
        TReadCase{"LoneLfEndsALine", "1\n2\n3\n", {1, 2, 3}},
        TReadCase{"LoneCrEndsALine", "1\r2\r3", {1, 2, 3}},
        TReadCase{"MixedEnds", "1\r\n2\n3\r4", {1, 2, 3, 4}},
        TReadCase{"LfAfterCrBelongsToIt", "1\r\n\n2", {1, 2}},
        TReadCase{"CrCrLf", "1\r\r\n2", {1, 2}},
        TReadCase{"EndOfFileByteStopsReading",
                  "1\r\n2\r\n\x1a"
                  "3\r\n4\r\n",
                  {1, 2}},
        TReadCase{"EndOfFileByteWithinALine",
                  "1\r\n12\x1a"
                  "34\r\n5",
                  {1, 12}},
        TReadCase{"EndOfFileByteAfterCr", "7\r\x1a\n8", {7}},
        TReadCase{"EndOfFileByteFirst",
                  "\x1a"
                  "1\r\n",
                  {}},
        TReadCase{"NulIsAnOrdinaryCharacter", std::string("1\r\n2\0\r\n3", 8), {1, 3}},
        TReadCase{"TabAndNonBreakingSpaceAreNotBlanks",
                  "\t1\r\n\xA0"
                  "2\r\n 3",
                  {3}},
        TReadCase{"LeadingZeros",
                  "-0000000000000000000000042\r\n00\r\n0\r\n+000000000000000002147483647\r\n"
                  "000000000000000002147483648\r\n0x0000002A\r\n$0000002A\r\n",
                  {-42, 0, 0, 2147483647, 42, 42}},
        TReadCase{"ZerosBeforeAPrefix", "0000x1\r\n00x1\r\n0x1\r\n-0x1\r\n00$1\r\n", {1}},
        TReadCase{"LongLinesThatDoNotConvert",
                  "11111111111111111111\r\n                    0x00000000000000000001\r\n"
                  "$000000000000000001\r\n1234567890123456789 \r\n5",
                  {5}},
        TReadCase{"ThreeHundredLinesKeepTheLast256", Lines(1, 300), Range(45, 300)},
        TReadCase{"Exactly256", Lines(1, 256), Range(1, 256)}),
    [](const testing::TestParamInfo<TReadCase>& info) { return info.param.name; });

TEST(ReadRecording, LinesOfMegabytesAreReadWhole) {
    // Linear in the bytes: these lines take milliseconds, a quadratic reader would not end.
    const std::size_t mega = 8u << 20;
    std::string bytes = std::string(mega, ' ') + "5\r\n";
    bytes += std::string(mega, '0') + "42\r\n";
    bytes += std::string(mega, '9') + "\r\n";
    bytes += std::string(mega, 'a') + "\n";
    bytes += "-7";
    EXPECT_EQ(ParseRecording(bytes), (Values{5, 42, -7}));

    TRecordingReader reader;
    for (std::size_t at = 0; at < bytes.size(); at += 4096)
        reader.Feed(std::string_view(bytes).substr(at, 4096));
    reader.Finish();
    EXPECT_EQ(reader.Values(), (Values{5, 42, -7}));
}

TEST(ReadRecording, CountsEveryLineThatConverted) {
    TRecordingReader reader;
    EXPECT_TRUE(reader.Feed(Lines(1, 1000)));
    EXPECT_FALSE(reader.Feed("x\r\n\x1a"
                             "5\r\n"));
    EXPECT_FALSE(reader.Feed("6\r\n"));
    reader.Finish();
    EXPECT_EQ(reader.ValueCount(), 1000u);
    EXPECT_EQ(reader.Values(), Range(745, 1000));
}

struct TWriteCase {
    double value;
    const char* line;
};

class FormatRecordingTest : public testing::TestWithParam<TWriteCase> {};

TEST_P(FormatRecordingTest, WritesTheRoundedWholeNumber) {
    const double one[] = {GetParam().value};
    EXPECT_EQ(FormatRecording(one), std::string(GetParam().line) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatRecordingTest,
    testing::Values(TWriteCase{0, "0"}, TWriteCase{12, "12"}, TWriteCase{-1, "-1"},
                    TWriteCase{-0.0, "0"}, TWriteCase{-0.4, "0"}, TWriteCase{0.5, "0"},
                    TWriteCase{1.5, "2"}, TWriteCase{2.5, "2"}, TWriteCase{3.5, "4"},
                    TWriteCase{-2.5, "-2"}, TWriteCase{-3.5, "-4"}, TWriteCase{2.4999, "2"},
                    TWriteCase{2.5001, "3"}, TWriteCase{-2147483648.0, "-2147483648"},
                    TWriteCase{2147483647.0, "2147483647"},
                    TWriteCase{1e20, "100000000000000000000"}));

TEST(FormatRecording, TheExampleOf255ZerosAndTwelve) {
    std::vector<double> history(kHistorySize, 0.0);
    history.back() = 12;
    const std::string text = FormatRecording(history);
    EXPECT_EQ(text.size(), 769u);
    std::string expected;
    for (int i = 0; i < 255; ++i)
        expected += "0\r\n";
    expected += "12\r\n";
    EXPECT_EQ(text, expected);
}

TEST(FormatRecording, RefusesWhatIsNotANumber) {
    const double nan[] = {std::nan("")};
    const double inf[] = {-std::numeric_limits<double>::infinity()};
    EXPECT_THROW(FormatRecording(nan), std::invalid_argument);
    EXPECT_THROW(FormatRecording(inf), std::invalid_argument);
}

TEST(RecordingFile, WrittenHistoryReadsBackTheSame) {
    test::TScratchFolder folder;
    const std::string path = folder / "round.dat";
    std::vector<double> history;
    Values expected;
    for (int i = 0; i < static_cast<int>(kHistorySize); ++i) {
        const std::int32_t v = (i * 7919) % 2001 - 1000;
        history.push_back(v);
        expected.push_back(v);
    }
    history[0] = std::numeric_limits<std::int32_t>::min();
    expected[0] = std::numeric_limits<std::int32_t>::min();
    history[1] = -1;
    expected[1] = -1;
    WriteRecordingFile(path, history);
    EXPECT_EQ(ReadRecordingFile(path), expected);
    EXPECT_EQ(test::ReadBytes(path).substr(0, 17), "-2147483648\r\n-1\r\n");
}

TEST(RecordingFile, MissingFileIsReported) {
    test::TScratchFolder folder;
    try {
        ReadRecordingFile(folder / "none.dat");
        FAIL();
    } catch (const EFileError& error) {
        EXPECT_STREQ(error.what(), "Fichier introuvable");
    }
}

} // namespace
} // namespace sornafex
