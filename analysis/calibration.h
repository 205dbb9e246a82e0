#pragma once

// Calibration to microsiemens. The user puts known resistors in place of the skin, types each
// value in kΩ and measures the frequency. The oscillator's period is taken as linear in the
// resistance, T = a + b·R (an RC oscillator: a = 0; a 555 with the skin in series: a ≠ 0),
// fitted by least squares on the periods; the conductance of a reading is then
// G = 1/R = b / (T − a), in µS with R in kΩ: 1000·b / (T − a).
//
// Points are kept as text, "R@F" (R in kΩ, F in Hz) separated by ";", for example
// "1000@10;100@100".

#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

struct TCalibrationPoint {
    double kiloohms = 0;
    double hertz = 0;

    friend bool operator==(const TCalibrationPoint&, const TCalibrationPoint&) = default;
};

// A calibration refused, or its text unreadable; what() is the French reason the user sees.
class ECalibration : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TCalibration {
public:
    // Refuses (ECalibration) a non-positive or non-finite resistance or frequency, fewer than
    // two distinct resistances, a fit in which the period does not grow with the resistance
    // (b ≤ 0), and one whose period is not positive at the smallest resistance.
    static TCalibration Fit(std::vector<TCalibrationPoint> points);

    // The conductance of a reading; none for a frequency at or above the fit's ceiling (T ≤ a)
    // or not positive.
    std::optional<double> MicroSiemens(double hertz) const;
    // Whether the reading's resistance lies within [Rmin / 2, 2 · Rmax] of the points: beyond,
    // the straight line is an extrapolation the points do not vouch for.
    bool InRange(double hertz) const;
    // 100 · (the fit's frequency at the point's resistance / the measured one − 1).
    double ResidualPercent(std::size_t point) const;

    const std::vector<TCalibrationPoint>& Points() const { return m_points; }
    double OffsetSeconds() const { return m_a; }
    double SecondsPerKiloohm() const { return m_b; }

private:
    TCalibration(std::vector<TCalibrationPoint> points, double a, double b);

    std::vector<TCalibrationPoint> m_points;
    double m_a;
    double m_b;
    double m_lowestKiloohms;
    double m_highestKiloohms;
};

// "1000@10;100@100": each number in the shortest decimal form that reads back exactly.
std::string FormatCalibrationPoints(std::span<const TCalibrationPoint> points);
// The text's points, spaces around the numbers allowed; an empty text has none. Refuses
// (ECalibration) an item that is not two finite decimal numbers around "@", naming it.
std::vector<TCalibrationPoint> ParseCalibrationPoints(std::string_view text);

} // namespace sornafex
