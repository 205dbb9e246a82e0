#include "serial/com_device.h"
#include "serial/com_errors.h"

#include <cerrno>
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

// The platform's own numbers share values with the table's codes (EINTR is 4, "Too many open
// files"; ESRCH is 3, a missing port): lifted above every code, they keep their own meaning.
TEST(RaiseForCode, ThePlatformsNumbersNeverMeetTheTablesCodes) {
    for (const int error : {EINTR, ESRCH, EINVAL, EUSERS, ENOLCK}) {
        SCOPED_TRACE(error);
        try {
            RaiseForCode(-(kSysErrnoBase + error));
            FAIL();
        } catch (const ESystemError& e) {
            EXPECT_EQ(e.SystemErrno(), error);
            EXPECT_EQ(std::string(e.what()), CleanSystemText(std::strerror(error)));
        }
    }
}

TEST(RaiseForCode, TheDevicesWordsNameWhatTheTableDoesNot) {
    // A settings record the device refuses: its words, not the system's for the number 87.
    try {
        RaiseForCode(-kSysInvalidParameter, "vitesse 14400 non prise en charge");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "vitesse 14400 non prise en charge");
    }
    // A row of the table keeps its text.
    try {
        RaiseForCode(-4, "something else");
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "Too many open files");
    }
}

TEST(ErrorText, TableRowsByAbsoluteValue) {
    EXPECT_EQ(ErrorText(5), "File access denied");
    EXPECT_EQ(ErrorText(-5), "File access denied");
    EXPECT_EQ(ErrorText(100), "Attempt to read beyond end of file");
    EXPECT_EQ(ErrorText(150), "Disk is write-protected");
    EXPECT_EQ(ErrorText(-2008), "ie_Open - device already open");
}

TEST(ErrorText, ThePlatformsNumbersGiveTheSystemsOwnTextAndNoOtherCodeDoes) {
    EXPECT_EQ(ErrorText(kSysErrnoBase + EINVAL), std::string(std::strerror(EINVAL)));
    EXPECT_EQ(ErrorText(-(kSysErrnoBase + EINVAL)), std::string(std::strerror(EINVAL)));
    // 87 has no row, and is not the platform's EUSERS ("Too many users").
    EXPECT_EQ(ErrorText(87), "Serial port exception");
}

struct TErrnoCase {
    int error;
    int code;
};

class ErrnoMappingTest : public ::testing::TestWithParam<TErrnoCase> {};

TEST_P(ErrnoMappingTest, BecomesTheCodeOfTheTable) {
    EXPECT_EQ(SystemCodeFromErrno(GetParam().error), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    SystemCalls, ErrnoMappingTest,
    ::testing::Values(TErrnoCase{ENOENT, 2}, TErrnoCase{ENODEV, 2}, TErrnoCase{ENXIO, 2},
                      TErrnoCase{EIO, 2}, TErrnoCase{ENOTTY, 2}, TErrnoCase{EBUSY, 5},
                      TErrnoCase{ENOMEM, 8}, TErrnoCase{EMFILE, 4}, TErrnoCase{ENFILE, 4},
                      // A thread the system refuses for now: nothing holds a device.
                      TErrnoCase{EAGAIN, kSysErrnoBase + EAGAIN},
                      // Not held elsewhere: this account may not use the device.
                      TErrnoCase{EACCES, kSysErrnoBase + EACCES},
                      TErrnoCase{EPERM, kSysErrnoBase + EPERM},
                      // Numbers the code table gives another meaning.
                      TErrnoCase{EINTR, kSysErrnoBase + EINTR},
                      TErrnoCase{ESRCH, kSysErrnoBase + ESRCH},
                      TErrnoCase{EINVAL, kSysErrnoBase + EINVAL}));

TEST(CleanSystemText, ControlCharactersBecomeSingleSpaces) {
    EXPECT_EQ(CleanSystemText("Line one\r\nline two"), "Line one line two");
    EXPECT_EQ(CleanSystemText("a\t\t b"), "a b");
    EXPECT_EQ(CleanSystemText("plain"), "plain");
    EXPECT_EQ(CleanSystemText(std::string(300, 'x')).size(), 255u);
}

} // namespace
} // namespace sornafex
