#pragma once

// The frequency profile a simulated sensor "sim:file:PATH" follows: hertz against the seconds
// since the port's open, read once from a UTF-8 text file of lines "seconds hertz".
//
// File syntax, line by line: the two numbers separated by spaces, tabs or one comma (with blanks
// around it or not); a '#' starts a comment, on a line of its own or after the values; blank
// lines are skipped. Numbers are decimal, digits with an optional fraction after a point ("12",
// "0.25"), never negative nor above kMaxProfileNumber; the seconds increase strictly from line
// to line. Lines may end in CR LF, and a UTF-8 byte-order mark may open the file.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sornafex {

// A bound on seconds and hertz alike, so that a profile's change count stays far inside 64 bits.
inline constexpr double kMaxProfileNumber = 1e9;

struct TProfilePoint {
    double seconds = 0;
    double hertz = 0;
    bool operator==(const TProfilePoint&) const = default;
};

// The frequency between two points is linear in time, and the phase, its integral, is therefore
// piecewise quadratic and continuous. Before the first point the profile holds the first value,
// after the last point the last one.
class TSimProfile {
public:
    // points: at least one, as ParseSimProfile leaves them (seconds strictly increasing, both
    // numbers from 0 to kMaxProfileNumber).
    explicit TSimProfile(std::vector<TProfilePoint> points);

    const std::vector<TProfilePoint>& Points() const { return m_points; }
    double Lowest() const { return m_lowest; }
    double Highest() const { return m_highest; }

    double FrequencyAt(double seconds) const;
    // Cycles from time 0 to seconds (≥ 0): the integral of FrequencyAt, never decreasing.
    double CyclesAt(double seconds) const;
    // The first moment at which CyclesAt reaches cycles (> 0), solving the segment's quadratic;
    // infinite when the profile never gets there. Exact up to rounding.
    double MomentOfCycles(double cycles) const;

private:
    // How many points lie at or before seconds.
    std::size_t PointsUpTo(double seconds) const;

    std::vector<TProfilePoint> m_points;
    std::vector<double> m_cycles; // CyclesAt each point
    double m_lowest = 0;
    double m_highest = 0;
};

// Why a profile's text does not parse: the line (from 1; 0 for the text as a whole) and the
// reason, in French.
struct TProfileError {
    int line = 0;
    std::string reason;
};

// The profile in text; nullopt, with error set, at the first line that breaks the syntax, or
// when no line holds a point.
std::optional<TSimProfile> ParseSimProfile(std::string_view text, TProfileError& error);

// The largest profile file read: 30 minutes at ten points a second take some 300 kB.
inline constexpr std::size_t kMaxProfileBytes = 16u << 20;

// Reads and parses the file at path. Null on failure, with reason naming the file, and the line
// when one is wrong: « profil /home/x/p.txt, ligne 12 : les secondes doivent croître ». A file
// larger than kMaxProfileBytes (a device or a film chosen by mistake) is refused unread beyond
// that size.
std::shared_ptr<const TSimProfile> LoadSimProfile(const std::string& path, std::string& reason);

} // namespace sornafex
