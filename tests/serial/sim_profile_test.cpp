// The simulated sensor's frequency profile: its file syntax, and the frequency and phase it gives.

#include "serial/sim_profile.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace sornafex {
namespace {

using TPoints = std::vector<TProfilePoint>;

TEST(SimProfile, ParsesGoodLinesAndNamesTheFirstBadOne) {
    const struct {
        const char* text;
        TPoints points;
        int line;
        const char* reason;
    } rows[] = {
        {"0 50\n10 60", {{0, 50}, {10, 60}}, 0, ""},
        {"\xEF\xBB\xBF# examen\n\n0.0\t50.5  # début\r\n1.5, 52\n2,53\n  \t\n2.25 ,0\n",
         {{0, 50.5}, {1.5, 52}, {2, 53}, {2.25, 0}},
         0,
         ""},
        {"0 50\n# pause\n0 60\n", {}, 3, "les secondes doivent croître"},
        {"0 50\n1 -2\n", {}, 2, "les hertz ne peuvent pas être négatifs"},
        {"-1 50\n", {}, 1, "les secondes ne peuvent pas être négatives"},
        {"0 50,5\n", {}, 1, "deux nombres attendus : les secondes, puis les hertz"},
        {"0 50 60\n", {}, 1, "deux nombres attendus : les secondes, puis les hertz"},
        {"12\n", {}, 1, "deux nombres attendus : les secondes, puis les hertz"},
        {"1e3 50\n", {}, 1, "secondes illisibles : un nombre comme 12.5 attendu"},
        {"0 rapide\n", {}, 1, "hertz illisibles : un nombre comme 50.0 attendu"},
        {"0 50\n1 2000000000\n", {}, 2, "nombre trop grand : au plus 1000000000"},
        {"# rien\n\n", {}, 0, "aucune ligne « secondes hertz »"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        TProfileError error;
        const auto profile = ParseSimProfile(row.text, error);
        EXPECT_EQ(profile ? profile->Points() : TPoints{}, row.points);
        EXPECT_EQ(error.line, row.line);
        EXPECT_EQ(error.reason, row.reason);
    }
}

TEST(SimProfile, InterpolatesHoldsItsEndsAndIntegratesWithoutAJump) {
    const TSimProfile profile({{2, 10}, {4, 20}, {6, 20}, {8, 5}});
    const struct {
        double seconds;
        double hertz;
        double cycles;
    } rows[] = {
        {0, 10, 0},  {1, 10, 10},       {2, 10, 20}, {3, 15, 32.5}, {4, 20, 50},
        {5, 20, 70}, {7, 12.5, 106.25}, {8, 5, 115}, {100, 5, 575},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seconds);
        EXPECT_DOUBLE_EQ(profile.FrequencyAt(row.seconds), row.hertz);
        EXPECT_DOUBLE_EQ(profile.CyclesAt(row.seconds), row.cycles);
    }
    for (const TProfilePoint& point : profile.Points())
        EXPECT_NEAR(profile.CyclesAt(point.seconds - 1e-9), profile.CyclesAt(point.seconds + 1e-9),
                    1e-6)
            << point.seconds;
}

TEST(SimProfile, TheShippedExaminationLastsHalfAnHourAroundFiftyHertz) {
    std::string reason;
    const auto profile = LoadSimProfile(
        std::string(std::getenv("SORNAFEX_SOURCE_DIR")) + "/app/profil_examen.txt", reason);
    ASSERT_TRUE(profile) << reason;
    EXPECT_NEAR(profile->Points().back().seconds, 1800, 1);
    EXPECT_GT(profile->Lowest(), 45);
    EXPECT_LT(profile->Highest(), 56);
}

} // namespace
} // namespace sornafex
