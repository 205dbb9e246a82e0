#include "base/errors.h"
#include "settings/uPrefs.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace sornafex {
namespace {

using test::ReadBytes;
using test::TScratchFolder;
using test::WriteBytes;

// Records what applying the preferences asked of the program, in order.
class TRecordingTarget final : public TPreferencesTarget {
public:
    std::vector<std::string> calls;

    void ApplyStartupPort(std::int32_t portNumber) override {
        calls.push_back("port " + std::to_string(portNumber));
    }
    void ApplyVerticalRange(std::int32_t min, std::int32_t max) override {
        calls.push_back("range " + std::to_string(min) + " " + std::to_string(max));
    }
    void SetShowNoData(bool on) override { calls.push_back(on ? "nodata on" : "nodata off"); }
    void ApplyCaptureState() override { calls.push_back("enable rules"); }
};

class PrefsTest : public testing::Test {
protected:
    TPreferences LoadFrom(const std::string& contents) {
        WriteBytes(path, contents);
        return LoadPreferences(path);
    }

    TScratchFolder folder;
    const std::string path = folder / "sornafex.ini";
};

TEST_F(PrefsTest, FirstStartWithoutAFile) {
    TPreferences prefs = LoadPreferences(path);
    EXPECT_EQ(prefs, TPreferences{});
    EXPECT_FALSE(test::Exists(path)); // loading only reads

    TRecordingTarget target;
    ApplyPreferences(prefs, target);
    EXPECT_EQ(target.calls,
              (std::vector<std::string>{"port 1", "range -1 400", "nodata on", "enable rules"}));

    EXPECT_TRUE(TestPreferencesWritable(path));
    EXPECT_EQ(ReadBytes(path), "[Test]\nWriteToIniTest=1\n");

    SavePreferences(path, prefs, true);
    EXPECT_EQ(ReadBytes(path),
              "[Test]\nWriteToIniTest=1\n[Com]\nComNumber=1\n"
              "[Graph]\nXMin=-1\nXMax=400\n[Misc]\nShowNoData=1\nFullSpeedPoll=0\n"
              "[Response]\nVisible=0\nSeconds=60\nSpanPercent=2\nSpanMicroSiemens=1\n"
              "[Son]\nActif=0\nVolume=50\n[Questions]\nFile=\n");
}

TEST_F(PrefsTest, SavedValuesLoadBack) {
    TPreferences saved{2, -5, 350, false, true, {true, 120, 0.5, 0.2}, {true, 100}, {}};
    saved.questions = {"/home/x/questions.txt", 0.5, 3.5, 8, 12, 0.02, 0.25};
    SavePreferences(path, saved, true);
    EXPECT_EQ(LoadPreferences(path), saved);
    EXPECT_EQ(ReadBytes(path), "[Com]\nComNumber=2\n[Graph]\nXMin=-5\nXMax=350\n"
                               "[Misc]\nShowNoData=0\nFullSpeedPoll=1\n"
                               "[Response]\nVisible=1\nSeconds=120\nSpanPercent=0.5\n"
                               "SpanMicroSiemens=0.2\n[Son]\nActif=1\nVolume=100\n"
                               "[Questions]\nFile=/home/x/questions.txt\n"
                               "LatencyMin=0.5\nLatencyMax=3.5\nPeakWindow=8\nWindow=12\n"
                               "MinMicroSiemens=0.02\nMinPercent=0.25\n");
}

TEST_F(PrefsTest, SaveReplacesValuesAndKeepsTheDeviceKeys) {
    WriteBytes(path,
               "[Com]\nDevice1=sim:40-90\nComNumber=1\nDevice2=sim:0\n"
               "[Graph]\nXMin=-1\nXMax=400\n[Misc]\nShowNoData=1\n[Test]\nWriteToIniTest=1\n");
    SavePreferences(path, TPreferences{2, 10, 20, false, false, {}, {}, {}}, true);
    EXPECT_EQ(ReadBytes(path), "[Com]\nDevice1=sim:40-90\nComNumber=2\nDevice2=sim:0\n"
                               "[Graph]\nXMin=10\nXMax=20\n[Misc]\nShowNoData=0\n"
                               "FullSpeedPoll=0\n[Test]\nWriteToIniTest=1\n[Response]\nVisible="
                               "0\nSeconds=60\nSpanPercent=2\nSpanMicroSiemens=1\n"
                               "[Son]\nActif=0\nVolume=50\n[Questions]\nFile=\n");
}

struct TKeyCase {
    const char* value;
    std::int32_t expected;
};

class XMinTest : public PrefsTest, public testing::WithParamInterface<TKeyCase> {};

TEST_P(XMinTest, ReadsTheIntegerOrTheDefault) {
    const TPreferences prefs = LoadFrom(std::string("[Graph]\nXMin=") + GetParam().value + "\n");
    EXPECT_EQ(prefs.verticalMin, GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, XMinTest,
                         testing::Values(TKeyCase{"0x10", 16}, TKeyCase{"0X10", 16},
                                         TKeyCase{"$10", 16}, TKeyCase{"x10", 16},
                                         TKeyCase{"abc", -1}, TKeyCase{"12x", -1},
                                         TKeyCase{"12 x", -1}, TKeyCase{"0x", -1}, TKeyCase{"", -1},
                                         TKeyCase{"  7  ", 7}, TKeyCase{"-5", -5},
                                         TKeyCase{"+8", 8}, TKeyCase{"0xFFFFFFFF", -1},
                                         TKeyCase{"-2147483648", -2147483647 - 1},
                                         TKeyCase{"2147483648", -1}, TKeyCase{"4.5", -1}));

struct TBoolCase {
    const char* value;
    bool expected;
};

class ShowNoDataTest : public PrefsTest, public testing::WithParamInterface<TBoolCase> {};

TEST_P(ShowNoDataTest, IsOnUnlessZero) {
    const TPreferences prefs =
        LoadFrom(std::string("[Misc]\nShowNoData=") + GetParam().value + "\n");
    EXPECT_EQ(prefs.showNoData, GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ShowNoDataTest,
                         testing::Values(TBoolCase{"0", false}, TBoolCase{"$0", false},
                                         TBoolCase{"1", true}, TBoolCase{"2", true},
                                         TBoolCase{"-1", true}, TBoolCase{"$10", true},
                                         TBoolCase{"true", true}, TBoolCase{"false", true},
                                         TBoolCase{"yes", true}, TBoolCase{"", true}));

TEST_F(PrefsTest, TheResponseWindowKeepsOnlyValuesItOffers) {
    struct TCase {
        const char* section;
        TResponsePreferences expected;
    };
    const TCase cases[] = {
        {"Visible=1\nSeconds=30\nSpanPercent=20\nSpanMicroSiemens=5\n", {true, 30, 20, 5}},
        {"Seconds=45\nSpanPercent=3\nSpanMicroSiemens=0,5\n", {}},
        {"Seconds=x\nSpanPercent=\nSpanMicroSiemens=0.10\n", {false, 60, 2, 0.1}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(LoadFrom(std::string("[Response]\n") + c.section).response, c.expected)
            << c.section;
}

// A setting of the examination that is not a number with a point leaves the default.
TEST_F(PrefsTest, TheExaminationKeepsOnlyDecimalNumbers) {
    const TQuestionPreferences questions =
        LoadFrom("[Questions]\nFile=q.txt\nLatencyMin=0,5\nLatencyMax=nan\nPeakWindow=\n"
                 "Window=1e1\nMinMicroSiemens=inf\nMinPercent=-0.5\n")
            .questions;
    EXPECT_EQ(questions, (TQuestionPreferences{"q.txt", std::nullopt, std::nullopt, std::nullopt,
                                               10, std::nullopt, -0.5}));
}

TEST_F(PrefsTest, TheVolumeStaysWithinItsRange) {
    EXPECT_EQ(LoadFrom("[Son]\nActif=1\nVolume=250\n").sound, (TSoundPreferences{true, 100}));
    EXPECT_EQ(LoadFrom("[Son]\nVolume=-3\n").sound, (TSoundPreferences{false, 0}));
}

TEST_F(PrefsTest, CalibrationsAreKeptUnderTheDeviceValue) {
    WriteCalibration(path, "sim:50", "1000@10;100@100");
    WriteCalibration(path, "/dev/serial/by-id/usb-FTDI_A1", "470@21.5;47@180");
    EXPECT_EQ(ReadCalibration(path, "sim:50"), "1000@10;100@100");
    EXPECT_EQ(ReadCalibration(path, "/dev/serial/by-id/usb-FTDI_A1"), "470@21.5;47@180");
    EXPECT_EQ(ReadCalibration(path, "sim:51"), "");
    WriteCalibration(path, "sim:50", "");
    EXPECT_EQ(ReadCalibration(path, "sim:50"), "");
    // A value that cannot be a key leaves the file as it was, with a French reason.
    const std::string before = ReadBytes(path);
    EXPECT_THROW(WriteCalibration(path, "sim:file:/tmp/a=b.txt", "1@1;2@2"), std::runtime_error);
    EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(PrefsTest, MixedCaseNamesAreFound) {
    const TPreferences prefs = LoadFrom("[cOm]\ncomNUMBER=2\n[GRAPH]\nxmin=10\nXMAX=20\n"
                                        "[misc]\nshownodata=0\n");
    EXPECT_EQ(prefs, (TPreferences{2, 10, 20, false, false, {}, {}, {}}));
}

TEST_F(PrefsTest, AnyPortNumberGoesToTheStartUpRule) {
    TPreferences prefs = LoadFrom("[Com]\nComNumber=3\n");
    TRecordingTarget target;
    ApplyPreferences(prefs, target);
    EXPECT_EQ(target.calls.front(), "port 3");
    EXPECT_EQ(prefs.comNumber, 3); // kept, and written back as it is
}

TEST_F(PrefsTest, RangeBeyondTheInitialMaximumIsAppliedUnchanged) {
    TPreferences prefs = LoadFrom("[Graph]\nXMin=450\nXMax=1000\n");
    TRecordingTarget target;
    ApplyPreferences(prefs, target);
    EXPECT_EQ(target.calls[1], "range 450 1000");
    EXPECT_EQ(prefs.verticalMin, 450);
    EXPECT_EQ(prefs.verticalMax, 1000);
}

TEST_F(PrefsTest, EqualLimitsAreApplied) {
    TPreferences prefs = LoadFrom("[Graph]\nXMin=5\nXMax=5\n");
    TRecordingTarget target;
    ApplyPreferences(prefs, target);
    EXPECT_EQ(target.calls[1], "range 5 5");
}

TEST_F(PrefsTest, MinimumAboveMaximumGivesTheDefaultRange) {
    TPreferences prefs = LoadFrom("[Graph]\nXMin=500\nXMax=100\n");
    TRecordingTarget target;
    ApplyPreferences(prefs, target);
    EXPECT_EQ(target.calls[1], "range -1 400");
    EXPECT_EQ(prefs.verticalMin, -1);
    EXPECT_EQ(prefs.verticalMax, 400);
}

TEST_F(PrefsTest, ReadOnlyFileIsNeverWrittenAndNothingIsShown) {
    const std::string contents = "[Graph]\nXMin=3\n";
    WriteBytes(path, contents);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const TPreferences prefs = LoadPreferences(path);
    EXPECT_EQ(prefs.verticalMin, 3);
    const bool writable = TestPreferencesWritable(path);
    EXPECT_FALSE(writable);
    SavePreferences(path, TPreferences{2, 0, 9, false, false, {}, {}, {}}, writable);
    EXPECT_EQ(ReadBytes(path), contents);
    EXPECT_EQ(folder.Entries(), std::set<std::string>{"sornafex.ini"});
}

TEST_F(PrefsTest, FolderThatRefusesWritesFailsTheTestQuietly) {
    test::TRefusingFolder refusing(folder.Path());
    if (!refusing.Refuses())
        GTEST_SKIP() << "no way to make a folder refuse new files here";
    EXPECT_FALSE(TestPreferencesWritable(path));
    EXPECT_FALSE(test::Exists(path));
}

TEST_F(PrefsTest, FailedSaveRaisesTheMessageAndKeepsTheFile) {
    WriteBytes(path, "[Test]\nWriteToIniTest=1\n");
    test::TFaultyFileSystem fs;
    fs.FailOn(test::TFaultyFileSystem::TCall::Write, ENOSPC);
    try {
        SavePreferences(path, TPreferences{}, true, fs);
        FAIL();
    } catch (const EPreferencesWriteError& error) {
        EXPECT_EQ(ErrorBoxText(error.what()), "Impossible d'écrire dans " + path + ".");
    }
    EXPECT_EQ(ReadBytes(path), "[Test]\nWriteToIniTest=1\n");
}

TEST_F(PrefsTest, NothingIsSavedWhenTheFileWasNotWritable) {
    SavePreferences(path, TPreferences{}, false);
    EXPECT_FALSE(test::Exists(path));
}

TEST_F(PrefsTest, APortsDeviceIsWrittenAloneAndReadsBack) {
    WriteBytes(path, "[Com]\nDevice1=sim:40-90\nComNumber=2\n; the adapter\n");
    WritePortDevice(path, 2, "/dev/serial/by-id/usb-FTDI-if00-port0");
    WritePortDevice(path, 1, "sim:0");
    EXPECT_EQ(ReadBytes(path), "[Com]\nDevice1=sim:0\nComNumber=2\n"
                               "Device2=/dev/serial/by-id/usb-FTDI-if00-port0\n; the adapter\n");
    const std::vector<std::pair<int, std::string>> expected{
        {1, "sim:0"}, {2, "/dev/serial/by-id/usb-FTDI-if00-port0"}};
    EXPECT_EQ(ReadPortDevices(path), expected);

    test::TFaultyFileSystem fs;
    fs.FailOn(test::TFaultyFileSystem::TCall::Rename, EIO);
    EXPECT_THROW(WritePortDevice(path, 1, "sim:9", fs), EPreferencesWriteError);
    EXPECT_EQ(ReadPortDevices(path), expected);
}

TEST_F(PrefsTest, PortDevicesAreReadFromSectionCom) {
    WriteBytes(path, "[com]\nDevice1=sim:40-90\ndevice2 = /tmp/sensor-link \nDevice3=\n"
                     "DEVICE50=sim:0\nDevice51=sim:1\nDevice0=sim:2\n[Other]\nDevice4=sim:3\n");
    const auto devices = ReadPortDevices(path);
    const std::vector<std::pair<int, std::string>> expected{
        {1, "sim:40-90"}, {2, "/tmp/sensor-link"}, {50, "sim:0"}};
    EXPECT_EQ(devices, expected);
    EXPECT_TRUE(ReadPortDevices(folder / "none.ini").empty());
}

} // namespace
} // namespace sornafex
