#include "base/int_text.h"

#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

namespace sornafex {
namespace {

struct TCase {
    std::string text;
    std::optional<std::int32_t> expected;
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << '"';
    for (const char ch : c.text) {
        if (static_cast<unsigned char>(ch) < 32)
            *os << "\\x" << std::hex << static_cast<int>(static_cast<unsigned char>(ch))
                << std::dec;
        else
            *os << ch;
    }
    *os << '"';
}

class IntTextTest : public testing::TestWithParam<TCase> {};

TEST_P(IntTextTest, ParsesExactlyTheSyntax) {
    EXPECT_EQ(ParseIntText(GetParam().text), GetParam().expected);
}

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntTextTest,
    testing::Values(TCase{"0", 0}, TCase{"7", 7}, TCase{"42", 42}, TCase{"+42", 42},
                    TCase{"-42", -42}, TCase{"042", 42}, TCase{"-0", 0}, TCase{"+0", 0},
                    TCase{"0000000000000000000000042", 42}, TCase{"-000000000002147483648", kMin},
                    TCase{"2147483647", kMax}, TCase{"-2147483648", kMin},
                    TCase{"+2147483647", kMax}, TCase{"2147483648", std::nullopt},
                    TCase{"-2147483649", std::nullopt}, TCase{"4294967296", std::nullopt},
                    TCase{"99999999999999999999999", std::nullopt},
                    TCase{"-99999999999999999999999", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, IntTextTest,
    testing::Values(TCase{"$2A", 42}, TCase{"x2A", 42}, TCase{"X2A", 42}, TCase{"0x2A", 42},
                    TCase{"0X2A", 42}, TCase{"$2a", 42}, TCase{"$aBcD", 0xABCD}, TCase{"$0", 0},
                    TCase{"0x0", 0}, TCase{"$7FFFFFFF", kMax}, TCase{"$80000000", kMin},
                    TCase{"$FFFFFFFF", -1}, TCase{"xffffffff", -1}, TCase{"0xFFFFFFFE", -2},
                    TCase{"$00000010", 16}, TCase{"$100000000", std::nullopt},
                    TCase{"$000000010", std::nullopt}, TCase{"0x123456789", std::nullopt},
                    TCase{"$G", std::nullopt}, TCase{"$2G", std::nullopt},
                    TCase{"0xg1", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(Blanks, IntTextTest,
                         testing::Values(TCase{" 42", 42}, TCase{"     42", 42}, TCase{"   -7", -7},
                                         TCase{"  $2A", 42}, TCase{"  0x2A", 42},
                                         TCase{std::string(100000, ' ') + "5", 5},
                                         TCase{"42 ", std::nullopt}, TCase{"\t42", std::nullopt},
                                         TCase{"42\t", std::nullopt}, TCase{"\n42", std::nullopt},
                                         TCase{"42\r", std::nullopt}, TCase{"- 42", std::nullopt},
                                         TCase{"+ 42", std::nullopt}, TCase{"$ 2A", std::nullopt},
                                         TCase{"0x 2A", std::nullopt}, TCase{"4 2", std::nullopt},
                                         TCase{"\xA0"
                                               "42",
                                               std::nullopt}));

INSTANTIATE_TEST_SUITE_P(Refused, IntTextTest,
                         testing::Values(TCase{"", std::nullopt}, TCase{" ", std::nullopt},
                                         TCase{"   ", std::nullopt}, TCase{"-", std::nullopt},
                                         TCase{"+", std::nullopt}, TCase{"$", std::nullopt},
                                         TCase{"x", std::nullopt}, TCase{"X", std::nullopt},
                                         TCase{"0x", std::nullopt}, TCase{"0X", std::nullopt},
                                         TCase{"-$2A", std::nullopt}, TCase{"+$2A", std::nullopt},
                                         TCase{"-0x2A", std::nullopt}, TCase{"$-1", std::nullopt},
                                         TCase{"4.2", std::nullopt}, TCase{"42.", std::nullopt},
                                         TCase{"1e3", std::nullopt}, TCase{"12x", std::nullopt},
                                         TCase{"abc", std::nullopt}, TCase{"true", std::nullopt},
                                         TCase{"--1", std::nullopt}, TCase{"+-1", std::nullopt},
                                         TCase{"0b101", std::nullopt}, TCase{"00x1", std::nullopt},
                                         TCase{"0$1", std::nullopt}, TCase{"$$1", std::nullopt},
                                         TCase{"1,000", std::nullopt},
                                         TCase{std::string("4\0"
                                                           "2",
                                                           3),
                                               std::nullopt},
                                         TCase{std::string("42\0", 3), std::nullopt},
                                         TCase{"\x1a"
                                               "42",
                                               std::nullopt}));

// Every value survives the trip through its decimal text and its eight-digit hexadecimal text.
TEST(IntTextRoundTrip, DecimalAndHexadecimalTextsGiveTheValueBack) {
    const std::int32_t samples[] = {kMin, kMin + 1, -65536, -256,  -1,      0,        1,
                                    9,    10,       255,    65535, 1000000, kMax - 1, kMax};
    for (const std::int32_t value : samples) {
        EXPECT_EQ(ParseIntText(std::to_string(value)), value) << value;
        char hex[16];
        std::snprintf(hex, sizeof hex, "$%08X", static_cast<std::uint32_t>(value));
        EXPECT_EQ(ParseIntText(hex), value) << hex;
    }
}

} // namespace
} // namespace sornafex
