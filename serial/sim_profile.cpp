#include "serial/sim_profile.h"

#include "base/file_io.h"
#include "base/uRes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace sornafex {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimmedBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A field: up to the next blank or comma.
std::string_view TakeField(std::string_view& text) {
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != ',')
        ++end;
    const std::string_view field = text.substr(0, end);
    text.remove_prefix(end);
    return field;
}

// What separates the two fields: blanks, one comma, or one comma with blanks around it.
bool TakeSeparator(std::string_view& text) {
    const std::size_t before = text.size();
    text = TrimmedBlanks(text);
    if (!text.empty() && text.front() == ',')
        text = TrimmedBlanks(text.substr(1));
    return text.size() < before;
}

enum class TNumber { Good, Negative, TooLarge, Unreadable };

// Digits with an optional fraction, as "sim:F" writes a frequency; a minus sign is read only to
// say what is wrong.
TNumber ReadNumber(std::string_view text, double& value) {
    const bool negative = text.starts_with('-');
    if (negative)
        text.remove_prefix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return TNumber::Unreadable;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return TNumber::Unreadable;
    if (negative && value != 0)
        return TNumber::Negative;
    return value > kMaxProfileNumber ? TNumber::TooLarge : TNumber::Good;
}

// The reason a line's point is wrong, or empty; point is set when it is right.
std::string_view ReadPoint(std::string_view line, TProfilePoint& point) {
    const std::string_view seconds = TakeField(line);
    if (!TakeSeparator(line))
        return res::kProfileTwoNumbers;
    const std::string_view hertz = TakeField(line);
    if (hertz.empty() || !TrimmedBlanks(line).empty())
        return res::kProfileTwoNumbers;
    switch (ReadNumber(seconds, point.seconds)) {
    case TNumber::Unreadable:
        return res::kProfileBadSeconds;
    case TNumber::Negative:
        return res::kProfileNegativeSeconds;
    case TNumber::TooLarge:
        return res::kProfileNumberTooLarge;
    case TNumber::Good:
        break;
    }
    switch (ReadNumber(hertz, point.hertz)) {
    case TNumber::Unreadable:
        return res::kProfileBadHertz;
    case TNumber::Negative:
        return res::kProfileNegativeHertz;
    case TNumber::TooLarge:
        return res::kProfileNumberTooLarge;
    case TNumber::Good:
        break;
    }
    return {};
}

} // namespace

TSimProfile::TSimProfile(std::vector<TProfilePoint> points) : m_points(std::move(points)) {
    const auto [lowest, highest] = std::minmax_element(
        m_points.begin(), m_points.end(),
        [](const TProfilePoint& a, const TProfilePoint& b) { return a.hertz < b.hertz; });
    m_lowest = lowest->hertz;
    m_highest = highest->hertz;
    m_cycles.reserve(m_points.size());
    // Held before the first point; the trapezoid of each segment after it.
    double cycles = m_points.front().hertz * m_points.front().seconds;
    m_cycles.push_back(cycles);
    for (std::size_t i = 1; i < m_points.size(); ++i) {
        const TProfilePoint& a = m_points[i - 1];
        const TProfilePoint& b = m_points[i];
        cycles += (a.hertz + b.hertz) / 2 * (b.seconds - a.seconds);
        m_cycles.push_back(cycles);
    }
}

std::size_t TSimProfile::PointsUpTo(double seconds) const {
    const auto after =
        std::upper_bound(m_points.begin(), m_points.end(), seconds,
                         [](double t, const TProfilePoint& point) { return t < point.seconds; });
    return static_cast<std::size_t>(after - m_points.begin());
}

double TSimProfile::FrequencyAt(double seconds) const {
    const std::size_t k = PointsUpTo(seconds);
    if (k == 0)
        return m_points.front().hertz;
    if (k == m_points.size())
        return m_points.back().hertz;
    const TProfilePoint& a = m_points[k - 1];
    const TProfilePoint& b = m_points[k];
    // The way through the segment, from 0 to 1, rather than its slope, which two points a hair
    // apart would send to infinity.
    const double way = (seconds - a.seconds) / (b.seconds - a.seconds);
    return a.hertz + (b.hertz - a.hertz) * way;
}

double TSimProfile::CyclesAt(double seconds) const {
    const std::size_t k = PointsUpTo(seconds);
    if (k == 0)
        return m_points.front().hertz * seconds;
    const TProfilePoint& a = m_points[k - 1];
    const double u = seconds - a.seconds;
    if (k == m_points.size())
        return m_cycles[k - 1] + a.hertz * u;
    const TProfilePoint& b = m_points[k];
    const double way = u / (b.seconds - a.seconds);
    return m_cycles[k - 1] + (a.hertz + (b.hertz - a.hertz) * way / 2) * u;
}

double TSimProfile::MomentOfCycles(double cycles) const {
    const auto reached = std::lower_bound(m_cycles.begin(), m_cycles.end(), cycles);
    if (reached == m_cycles.begin())
        return cycles / m_points.front().hertz;
    const std::size_t i = static_cast<std::size_t>(reached - m_cycles.begin()) - 1;
    const TProfilePoint& a = m_points[i];
    const double left = cycles - m_cycles[i];
    if (reached == m_cycles.end()) {
        if (a.hertz <= 0)
            return std::numeric_limits<double>::infinity();
        return a.seconds + left / a.hertz;
    }
    // The segment's phase is a·u + s·u²/2 = left. Written as 2·left / (a + √(a² + 2·s·left)),
    // the root loses no digits to a difference, whether the frequency rises or falls; a slope
    // gone infinite between points a hair apart puts it at one end of that hair.
    const TProfilePoint& b = m_points[i + 1];
    const double slope = (b.hertz - a.hertz) / (b.seconds - a.seconds);
    const double root = std::sqrt(std::max(0.0, a.hertz * a.hertz + 2 * slope * left));
    const double u = 2 * left / (a.hertz + root);
    return std::min(a.seconds + u, b.seconds);
}

std::optional<TSimProfile> ParseSimProfile(std::string_view text, TProfileError& error) {
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    std::vector<TProfilePoint> points;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        line = TrimmedBlanks(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        TProfilePoint point;
        std::string_view reason = ReadPoint(line, point);
        if (reason.empty() && !points.empty() && point.seconds <= points.back().seconds)
            reason = res::kProfileNotIncreasing;
        if (!reason.empty()) {
            error = TProfileError{number, std::string(reason)};
            return std::nullopt;
        }
        points.push_back(point);
    }
    if (points.empty()) {
        error = TProfileError{0, std::string(res::kProfileNoPoint)};
        return std::nullopt;
    }
    return TSimProfile(std::move(points));
}

std::shared_ptr<const TSimProfile> LoadSimProfile(const std::string& path, std::string& reason) {
    const auto fail = [&](int line, std::string_view why) {
        // The number first: a file's name may itself hold "%d".
        const std::string where = line > 0 ? res::FormatInt(res::kProfileLineFormat, line)
                                           : std::string(res::kProfileFileFormat);
        reason = res::FormatStr(where, path).append(why);
        return nullptr;
    };
    std::string text;
    bool tooLarge = false;
    try {
        ReadFileInPieces(path, [&](std::string_view piece) {
            tooLarge = text.size() + piece.size() > kMaxProfileBytes;
            if (!tooLarge)
                text.append(piece);
            return !tooLarge;
        });
    } catch (const EFileError& e) {
        return fail(0, e.what());
    }
    if (tooLarge)
        return fail(0, res::kProfileTooLarge);
    TProfileError error;
    auto profile = ParseSimProfile(text, error);
    if (!profile)
        return fail(error.line, error.reason);
    return std::make_shared<const TSimProfile>(std::move(*profile));
}

} // namespace sornafex
