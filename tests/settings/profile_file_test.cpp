#include "settings/profile_file.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

namespace sornafex {
namespace {

using test::ReadBytes;
using test::TScratchFolder;
using test::WriteBytes;

struct TFindCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class ProfileFindTest : public testing::TestWithParam<TFindCase> {};

TEST_P(ProfileFindTest, FindsWhatTheFileSays) {
    const TFindCase& c = GetParam();
    EXPECT_EQ(TProfile(c.text).Find(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reading, ProfileFindTest,
    testing::Values(
        TFindCase{"Plain", "[Com]\nComNumber=2\n", "Com", "ComNumber", "2"},
        TFindCase{"MixedCaseNames", "[cOM]\ncomnumber=2\n", "Com", "ComNumber", "2"},
        TFindCase{"UpperCaseNames", "[GRAPH]\r\nXMIN=5\r\n", "Graph", "XMin", "5"},
        TFindCase{"BlanksAroundTrimmed", "  [ Graph ]  \n\t XMin \t=\t 12 \t\n", "Graph", "XMin",
                  "12"},
        TFindCase{"CrLfLines", "[Graph]\r\nXMin=-3\r\nXMax=9\r\n", "Graph", "XMax", "9"},
        TFindCase{"MixedLineEnds", "[A]\rk=1\n[B]\r\nj=2\rl=3", "B", "l", "3"},
        TFindCase{"ValueKeepsInnerBlanks", "[A]\nk= a b \n", "A", "k", "a b"},
        TFindCase{"EmptyValue", "[A]\nk=\n", "A", "k", ""},
        TFindCase{"ValueWithEquals", "[A]\nk=a=b\n", "A", "k", "a=b"},
        TFindCase{"MissingKey", "[A]\nk=1\n", "A", "j", std::nullopt},
        TFindCase{"MissingSection", "[A]\nk=1\n", "B", "k", std::nullopt},
        TFindCase{"KeyOfAnotherSection", "[A]\nk=1\n[B]\nj=2\n", "A", "j", std::nullopt},
        TFindCase{"KeyBeforeAnySection", "k=1\n[A]\n", "A", "k", std::nullopt},
        TFindCase{"FirstKeyWins", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        TFindCase{"FirstSectionWins", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        TFindCase{"LaterSectionOfSameNameIgnored", "[A]\n[B]\nk=1\n[A]\nk=2\n", "A", "k",
                  std::nullopt},
        TFindCase{"CommentsIgnored", "[A]\n;k=1\n# k=2\nk=3\n", "A", "k", "3"},
        TFindCase{"LineWithoutEquals", "[A]\nk\nk=4\n", "A", "k", "4"},
        TFindCase{"NoFinalLineEnd", "[A]\nk=5", "A", "k", "5"},
        TFindCase{"ByteOrderMark", "\xEF\xBB\xBF[A]\nk=6\n", "A", "k", "6"},
        TFindCase{"SectionWithoutClosingBracket", "[A\nk=7\n", "A", "k", "7"},
        TFindCase{"TextAfterClosingBracket", "[A] ; note\nk=8\n", "A", "k", "8"},
        TFindCase{"DoubleQuotesRemoved", "[A]\nk= \"sim:40\" \n", "A", "k", "sim:40"},
        TFindCase{"SingleQuotesRemoved", "[A]\nk='2'\n", "A", "k", "2"},
        TFindCase{"QuotesInsideKept", "[A]\nk=a \"b\"\n", "A", "k", "a \"b\""},
        TFindCase{"LoneQuoteKept", "[A]\nk=\"\n", "A", "k", "\""},
        TFindCase{"MismatchedQuotesKept", "[A]\nk=\"2'\n", "A", "k", "\"2'"},
        TFindCase{"Empty", "", "A", "k", std::nullopt}),
    [](const testing::TestParamInfo<TFindCase>& info) { return info.param.name; });

TEST(ProfileFind, ValuesAreCutAt2047Characters) {
    const std::string longValue(5000, 'v');
    const TProfile profile("[A]\nk=" + longValue + "\n");
    EXPECT_EQ(profile.Find("A", "k"), std::string(kMaxProfileValue, 'v'));
    EXPECT_EQ(TProfile("[A]\nk=" + std::string(2047, 'w') + "  \n").Find("A", "k")->size(), 2047u);
}

TEST(ProfileFind, GetStringGivesTheDefaultForMissingKeysOnly) {
    const TProfile profile("[A]\nempty=\n");
    EXPECT_EQ(profile.GetString("A", "empty", "d"), "");
    EXPECT_EQ(profile.GetString("A", "none", "d"), "d");
}

struct TSetCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class ProfileSetTest : public testing::TestWithParam<TSetCase> {};

TEST_P(ProfileSetTest, ChangesOnlyWhatItMust) {
    const TSetCase& c = GetParam();
    TProfile profile(c.before);
    profile.SetString(c.section, c.key, c.value);
    EXPECT_EQ(profile.Text(), c.after);
    EXPECT_EQ(profile.Find(c.section, c.key), std::string(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Writing, ProfileSetTest,
    testing::Values(
        TSetCase{"NewFile", "", "Test", "WriteToIniTest", "1", "[Test]\nWriteToIniTest=1\n"},
        TSetCase{"SectionAppendedAtEnd", "[Test]\nWriteToIniTest=1\n", "Com", "ComNumber", "1",
                 "[Test]\nWriteToIniTest=1\n[Com]\nComNumber=1\n"},
        TSetCase{"SectionAppendedAfterAFileWithoutFinalLineEnd", "[A]\nk=1", "B", "j", "2",
                 "[A]\nk=1\n[B]\nj=2\n"},
        TSetCase{"KeyAppendedAtEndOfItsSection",
                 "[Com]\nDevice1=sim:40\n\n; graph\n[Graph]\nXMax=9\n", "Com", "ComNumber", "2",
                 "[Com]\nDevice1=sim:40\nComNumber=2\n\n; graph\n[Graph]\nXMax=9\n"},
        TSetCase{"KeyAppendedToLastSectionWithoutFinalLineEnd", "[A]\nk=1", "A", "j", "2",
                 "[A]\nk=1\nj=2\n"},
        TSetCase{"KeyAppendedUnderAnEmptySection", "[A]\n[B]\nk=1\n", "A", "j", "2",
                 "[A]\nj=2\n[B]\nk=1\n"},
        TSetCase{"ValueReplacedInPlace", "; top\n[Graph]\nXMin=5\nXMax=9\n; end\n", "Graph", "XMin",
                 "-1", "; top\n[Graph]\nXMin=-1\nXMax=9\n; end\n"},
        TSetCase{"ReplacedKeyKeepsItsSpellingAndIndent", "[graph]\n  xmin  =  5  \n", "Graph",
                 "XMin", "7", "[graph]\n  xmin=7\n"},
        TSetCase{"CrLfFileKeepsCrLf", "[A]\r\nk=1\r\n", "A", "j", "2", "[A]\r\nk=1\r\nj=2\r\n"},
        TSetCase{"CrLfLineReplacedKeepsItsEnd", "[A]\r\nk=1\r\nz=0\r\n", "A", "k", "22",
                 "[A]\r\nk=22\r\nz=0\r\n"},
        TSetCase{"NewSectionInCrLfFile", "[A]\r\nk=1\r\n", "B", "j", "2",
                 "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        TSetCase{"CrOnlyLineReplacedInPlace", "[A]\rk=1\rz=0\r", "A", "k", "22",
                 "[A]\rk=22\rz=0\r"},
        TSetCase{"CrOnlyFileKeepsCr", "[A]\rk=1\r", "A", "j", "2", "[A]\rk=1\rj=2\r"},
        TSetCase{"NewSectionInCrOnlyFile", "[A]\rk=1\r", "B", "j", "2", "[A]\rk=1\r[B]\rj=2\r"},
        TSetCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[A]\nk=1\n", "a", "K", "2",
                 "\xEF\xBB\xBF[A]\nk=2\n"},
        TSetCase{"EmptyValue", "[A]\nk=1\n", "A", "k", "", "[A]\nk=\n"}),
    [](const testing::TestParamInfo<TSetCase>& info) { return info.param.name; });

TEST(ProfileSet, RefusesNamesAndValuesThatWouldBreakTheFile) {
    TProfile profile("[A]\nk=1\n");
    EXPECT_THROW(profile.SetString("A", "k", "1\n[B]"), std::invalid_argument);
    EXPECT_THROW(profile.SetString("A]", "k", "1"), std::invalid_argument);
    EXPECT_THROW(profile.SetString("A", "k=j", "1"), std::invalid_argument);
    EXPECT_THROW(profile.SetString("A", " ", "1"), std::invalid_argument);
    EXPECT_THROW(profile.SetString("", "k", "1"), std::invalid_argument);
    EXPECT_THROW(profile.SetString("A", ";k", "1"), std::invalid_argument);
    EXPECT_THROW(profile.SetString("A", "[k", "1"), std::invalid_argument);
    EXPECT_EQ(profile.Text(), "[A]\nk=1\n");
}

TEST(ProfileFile, WritingLeavesEveryOtherLineUntouched) {
    TScratchFolder folder;
    const std::string path = folder / "p.ini";
    const std::string before = "; hand-written\n[Com]\nDevice1=sim:40-90\nDevice2 = sim:0\n"
                               "ComNumber=1\n\n[Other]\nfoo=bar\n";
    WriteBytes(path, before);
    WriteProfileString(path, "COM", "comnumber", "2");
    EXPECT_EQ(ReadBytes(path), "; hand-written\n[Com]\nDevice1=sim:40-90\nDevice2 = sim:0\n"
                               "ComNumber=2\n\n[Other]\nfoo=bar\n");
    EXPECT_EQ(ReadProfileString(path, "com", "DEVICE2", ""), "sim:0");
}

TEST(ProfileFile, MissingOrUnreadableFileReadsAsDefaults) {
    TScratchFolder folder;
    EXPECT_EQ(ReadProfileString(folder / "none.ini", "A", "k", "def"), "def");
    EXPECT_EQ(ReadProfileString(folder.Path(), "A", "k", "def"), "def");
}

TEST(ProfileFile, WriteCreatesTheFile) {
    TScratchFolder folder;
    const std::string path = folder / "new.ini";
    WriteProfileStrings(path, {{"Com", "ComNumber", "1"}, {"Graph", "XMin", "-1"}});
    EXPECT_EQ(ReadBytes(path), "[Com]\nComNumber=1\n[Graph]\nXMin=-1\n");
}

TEST(ProfileFile, FailedWriteIsReportedAndChangesNothing) {
    TScratchFolder folder;
    const std::string path = folder / "p.ini";
    WriteBytes(path, "[A]\nk=1\n");
    test::TFaultyFileSystem fs;
    fs.FailOn(test::TFaultyFileSystem::TCall::Fsync, EIO);
    EXPECT_THROW(WriteProfileString(path, "A", "k", "2", fs), EFileError);
    EXPECT_EQ(ReadBytes(path), "[A]\nk=1\n");

    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_THROW(WriteProfileString(path, "A", "k", "2"), EFileError);
    EXPECT_EQ(ReadBytes(path), "[A]\nk=1\n");
}

// A file that exists but cannot be read must never be replaced by one holding only the new key.
TEST(ProfileFile, UnreadableFileIsNeverOverwritten) {
    TScratchFolder folder;
    const std::string path = folder / "p.ini";
    WriteBytes(path, "[A]\nk=1\n");
    test::TFaultyFileSystem fs;
    fs.FailOn(test::TFaultyFileSystem::TCall::OpenForRead, EACCES);
    EXPECT_THROW(WriteProfileString(path, "B", "j", "2", fs), EFileError);
    EXPECT_EQ(ReadBytes(path), "[A]\nk=1\n");
}

} // namespace
} // namespace sornafex
