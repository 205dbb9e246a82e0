#include "analysis/calibration.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace sornafex {
namespace {

struct TReading {
    double hertz;
    std::optional<double> microSiemens;
    bool inRange;
};

struct TCalibrationCase {
    std::string name;
    std::string text;
    std::string refusal = {}; // the French reason, or empty when the points fit
    std::string formatted = {};
    double a = 0, b = 0; // s and s/kΩ
    std::vector<double> residualPercent = {};
    std::vector<TReading> readings = {};
};

class Calibration : public testing::TestWithParam<TCalibrationCase> {};

TEST_P(Calibration, FitsOrRefusesThePoints) {
    const TCalibrationCase& c = GetParam();
    try {
        const std::vector<TCalibrationPoint> points = ParseCalibrationPoints(c.text);
        EXPECT_EQ(FormatCalibrationPoints(points), c.formatted);
        EXPECT_EQ(ParseCalibrationPoints(c.formatted), points);
        const TCalibration calibration = TCalibration::Fit(points);
        ASSERT_EQ(c.refusal, "");
        EXPECT_NEAR(calibration.OffsetSeconds(), c.a, 1e-12);
        EXPECT_NEAR(calibration.SecondsPerKiloohm(), c.b, 1e-15);
        for (std::size_t i = 0; i < c.residualPercent.size(); ++i)
            EXPECT_NEAR(calibration.ResidualPercent(i), c.residualPercent[i], 0.01) << i;
        for (const TReading& reading : c.readings) {
            const auto microSiemens = calibration.MicroSiemens(reading.hertz);
            ASSERT_EQ(microSiemens.has_value(), reading.microSiemens.has_value()) << reading.hertz;
            if (microSiemens) {
                EXPECT_NEAR(*microSiemens, *reading.microSiemens, 1e-9) << reading.hertz;
            }
            EXPECT_EQ(calibration.InRange(reading.hertz), reading.inRange) << reading.hertz;
        }
    } catch (const ECalibration& error) {
        EXPECT_EQ(error.what(), c.refusal);
    }
}

const std::string kDistinct =
    "Étalonnage impossible : il faut au moins deux résistances différentes";

INSTANTIATE_TEST_SUITE_P(
    Points, Calibration,
    testing::Values(
        // f = 10000 / R: G is proportional to f.
        TCalibrationCase{"RcOscillator",
                         "1000@10;100@100",
                         "",
                         "1000@10;100@100",
                         0,
                         1e-4,
                         {0, 0},
                         {{50, 5.0, true}, {10, 1.0, true}, {4, 0.4, false}, {250, 25.0, false}}},
        // T = 5 ms + 0.1 ms/kΩ · R: at 40 Hz R = 200 kΩ; at 250 Hz T < a.
        TCalibrationCase{"Oscillator555",
                         " 50@100 ; 150 @50;450@20",
                         "",
                         "50@100;150@50;450@20",
                         0.005,
                         1e-4,
                         {0, 0, 0},
                         {{40, 5.0, true}, {150, 60.0, false}, {250, std::nullopt, false}}},
        TCalibrationCase{"PointsOffTheLine",
                         "100@100;200@50;300@30",
                         "",
                         "100@100;200@50;300@30",
                         -1.0 / 450,
                         3.5e-4 / 3,
                         {5.882, -5.263, 1.695},
                         {}},
        TCalibrationCase{"ShortestExactDigits",
                         "0.30000000000000004@12.5;1e3@0.1",
                         "",
                         "0.30000000000000004@12.5;1000@0.1",
                         0.08 - 9.92 / (1000 - 0.30000000000000004) * 0.30000000000000004,
                         9.92 / (1000 - 0.30000000000000004),
                         {0, 0},
                         {}},
        TCalibrationCase{"OneResistanceTwice", "100@10;100@12", kDistinct, "100@10;100@12"},
        TCalibrationCase{"ZeroResistance", "0@10;100@5",
                         "Point d'étalonnage refusé : 0@10 (la résistance et la fréquence doivent "
                         "être positives)",
                         "0@10;100@5"},
        TCalibrationCase{"FrequencyRisingWithResistance", "100@10;200@20",
                         "Étalonnage impossible : la fréquence devrait baisser quand la "
                         "résistance augmente",
                         "100@10;200@20"},
        // The periods 10, 12.5 and 100 ms bend so much that the line is below 0 at 100 kΩ.
        TCalibrationCase{"NoPositivePeriod", "100@100;200@80;300@10",
                         "Étalonnage impossible : les points ne suivent pas une droite (période "
                         "négative à 100 kΩ)",
                         "100@100;200@80;300@10"},
        TCalibrationCase{"EmptyItem", "100@10;;200@5",
                         "Point d'étalonnage n° 2 illisible : «  » (attendu : résistance en "
                         "kΩ@fréquence en Hz, par exemple 1000@10)"},
        TCalibrationCase{"DecimalComma", "100,5@10",
                         "Point d'étalonnage n° 1 illisible : « 100,5@10 » (attendu : résistance "
                         "en kΩ@fréquence en Hz, par exemple 1000@10)"},
        TCalibrationCase{"Infinite", "inf@10;100@5",
                         "Point d'étalonnage n° 1 illisible : « inf@10 » (attendu : résistance en "
                         "kΩ@fréquence en Hz, par exemple 1000@10)"}),
    [](const testing::TestParamInfo<TCalibrationCase>& info) { return info.param.name; });

} // namespace
} // namespace sornafex
