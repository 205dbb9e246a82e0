#include "serial/ComErrors.h"

#include <cstring>
#include <gtest/gtest.h>
#include <new>
#include <string>
#include <typeinfo>

namespace sornafex {
namespace {

struct TRaiseCase {
    int code;
    const std::type_info& type;
    int errorCode;
    std::string message;
};

class RaiseForCodeTest : public ::testing::TestWithParam<TRaiseCase> {};

TEST_P(RaiseForCodeTest, RaisesTheClassAndMessageOfTheCode) {
    const TRaiseCase& c = GetParam();
    try {
        RaiseForCode(c.code);
        FAIL() << "no exception for " << c.code;
    } catch (const ESerialException& e) {
        EXPECT_EQ(typeid(e), c.type) << c.code;
        EXPECT_EQ(e.ErrorCode(), c.errorCode);
        EXPECT_EQ(std::string(e.what()), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CodeTable, RaiseForCodeTest,
    ::testing::Values(
        TRaiseCase{-2001, typeid(EBadId), -2001, "ie_BadId - Specified comport doesn't exist"},
        TRaiseCase{-2007, typeid(ECommNotOpen), -2007, "ie_NOpen - device not open"},
        TRaiseCase{-2008, typeid(EAlreadyOpen), -2008, "ie_Open - device already open"},
        TRaiseCase{-2011, typeid(ENoPortSelected), -2011,
                   "The ComNumber property of the TComPort has not been set"},
        TRaiseCase{-1002, typeid(EBadArgument), -1002, "Bad argument passed to function"},
        TRaiseCase{-2, typeid(EInOutError), -2, "File not found"},
        TRaiseCase{-162, typeid(EInOutError), -162, "General failure"},
        TRaiseCase{-1, typeid(ESerialException), 0, "Serial port exception"},
        TRaiseCase{-163, typeid(ESerialException), 0, "Serial port exception"},
        TRaiseCase{-3000, typeid(ESerialException), 0, "Serial port exception"}));

TEST(RaiseForCode, ReturnsCodesOfZeroAndAbove) {
    EXPECT_EQ(RaiseForCode(0), 0);
    EXPECT_EQ(RaiseForCode(1), 1);
    EXPECT_EQ(RaiseForCode(2001), 2001);
}

TEST(RaiseForCode, OutOfMemoryIsTheRuntimesException) {
    EXPECT_THROW(RaiseForCode(-8), std::bad_alloc);
}

TEST(RaiseForCode, CategoriesGroupTheOpenFailures) {
    EXPECT_THROW(RaiseForCode(-2001), EOpenComm);
    EXPECT_THROW(RaiseForCode(-2008), EOpenComm);
    EXPECT_THROW(RaiseForCode(-1002), EGeneral);
}

TEST(RaiseForCode, InOutErrorCarriesTheSystemCode) {
    try {
        RaiseForCode(-22);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.InOutErrorCode(), 22);
        EXPECT_EQ(std::string(e.what()), ErrorText(22));
    }
}

TEST(ErrorText, TableRowsByAbsoluteValue) {
    EXPECT_EQ(ErrorText(5), "File access denied");
    EXPECT_EQ(ErrorText(-5), "File access denied");
    EXPECT_EQ(ErrorText(100), "Attempt to read beyond end of file");
    EXPECT_EQ(ErrorText(150), "Disk is write-protected");
    EXPECT_EQ(ErrorText(-2008), "ie_Open - device already open");
}

TEST(ErrorText, OtherCodesGiveTheSystemsOwnText) {
    // 22 has no row: the system's words for EINVAL.
    EXPECT_EQ(ErrorText(22), std::string(std::strerror(22)));
}

TEST(CleanSystemText, ControlCharactersBecomeSingleSpaces) {
    EXPECT_EQ(CleanSystemText("Line one\r\nline two"), "Line one line two");
    EXPECT_EQ(CleanSystemText("a\t\t b"), "a b");
    EXPECT_EQ(CleanSystemText("plain"), "plain");
    EXPECT_EQ(CleanSystemText(std::string(300, 'x')).size(), 255u);
}

} // namespace
} // namespace sornafex
