#include "analysis/calibration.h"

#include "base/uRes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

namespace sornafex {
namespace {

constexpr std::string_view kNotPositiveFormat =
    "Point d'étalonnage refusé : %s (la résistance et la fréquence doivent être positives)";
constexpr std::string_view kTooFewResistances =
    "Étalonnage impossible : il faut au moins deux résistances différentes";
constexpr std::string_view kPeriodNotRising =
    "Étalonnage impossible : la fréquence devrait baisser quand la résistance augmente";
constexpr std::string_view kNoPositivePeriodFormat =
    "Étalonnage impossible : les points ne suivent pas une droite (période négative à %s kΩ)";
constexpr std::string_view kUnreadableFormat = "Point d'étalonnage n° %d illisible : « %s » "
                                               "(attendu : résistance en kΩ@fréquence en Hz, par "
                                               "exemple 1000@10)";

constexpr char kItemSeparator = ';';
constexpr char kValueSeparator = '@';

std::string FormatNumber(double value) {
    // Fixed notation never has an exponent; the largest finite double takes 309 digits.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string FormatPoint(const TCalibrationPoint& point) {
    return FormatNumber(point.kiloohms) + kValueSeparator + FormatNumber(point.hertz);
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trimmed(text);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

TCalibration::TCalibration(std::vector<TCalibrationPoint> points, double a, double b)
    : m_points(std::move(points)), m_a(a), m_b(b) {
    const auto [lowest, highest] =
        std::minmax_element(m_points.begin(), m_points.end(),
                            [](const TCalibrationPoint& l, const TCalibrationPoint& r) {
                                return l.kiloohms < r.kiloohms;
                            });
    m_lowestKiloohms = lowest->kiloohms;
    m_highestKiloohms = highest->kiloohms;
}

TCalibration TCalibration::Fit(std::vector<TCalibrationPoint> points) {
    for (const TCalibrationPoint& point : points)
        if (!(point.kiloohms > 0 && point.hertz > 0 && std::isfinite(point.kiloohms) &&
              std::isfinite(point.hertz)))
            throw ECalibration(res::FormatStr(kNotPositiveFormat, FormatPoint(point)));
    std::vector<double> resistances;
    for (const TCalibrationPoint& point : points)
        resistances.push_back(point.kiloohms);
    std::sort(resistances.begin(), resistances.end());
    if (std::unique(resistances.begin(), resistances.end()) - resistances.begin() < 2)
        throw ECalibration(std::string(kTooFewResistances));

    // Least squares on the periods, about their means.
    const double n = static_cast<double>(points.size());
    double meanR = 0, meanT = 0;
    for (const TCalibrationPoint& point : points) {
        meanR += point.kiloohms / n;
        meanT += 1 / point.hertz / n;
    }
    double srr = 0, srt = 0;
    for (const TCalibrationPoint& point : points) {
        srr += (point.kiloohms - meanR) * (point.kiloohms - meanR);
        srt += (point.kiloohms - meanR) * (1 / point.hertz - meanT);
    }
    const double b = srt / srr;
    const double a = meanT - b * meanR;
    if (!(b > 0))
        throw ECalibration(std::string(kPeriodNotRising));
    const double lowest = resistances.front();
    if (!(a + b * lowest > 0))
        throw ECalibration(res::FormatStr(kNoPositivePeriodFormat, FormatNumber(lowest)));
    return TCalibration(std::move(points), a, b);
}

std::optional<double> TCalibration::MicroSiemens(double hertz) const {
    if (!(hertz > 0))
        return std::nullopt;
    const double excess = 1 / hertz - m_a;
    if (!(excess > 0))
        return std::nullopt;
    return 1000 * m_b / excess;
}

bool TCalibration::InRange(double hertz) const {
    if (!(hertz > 0))
        return false;
    const double kiloohms = (1 / hertz - m_a) / m_b;
    return kiloohms >= m_lowestKiloohms / 2 && kiloohms <= 2 * m_highestKiloohms;
}

double TCalibration::ResidualPercent(std::size_t point) const {
    const TCalibrationPoint& p = m_points.at(point);
    return 100 * (1 / (m_a + m_b * p.kiloohms) / p.hertz - 1);
}

std::string FormatCalibrationPoints(std::span<const TCalibrationPoint> points) {
    std::string text;
    for (const TCalibrationPoint& point : points) {
        if (!text.empty())
            text += kItemSeparator;
        text += FormatPoint(point);
    }
    return text;
}

std::vector<TCalibrationPoint> ParseCalibrationPoints(std::string_view text) {
    std::vector<TCalibrationPoint> points;
    if (Trimmed(text).empty())
        return points;
    int number = 0;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find(kItemSeparator, start), text.size());
        const std::string_view item = text.substr(start, end - start);
        ++number;
        const std::size_t at = item.find(kValueSeparator);
        const auto kiloohms =
            at == std::string_view::npos ? std::nullopt : ParseNumber(item.substr(0, at));
        const auto hertz =
            at == std::string_view::npos ? std::nullopt : ParseNumber(item.substr(at + 1));
        if (!kiloohms || !hertz)
            throw ECalibration(res::FormatStr(res::FormatInt(kUnreadableFormat, number), item));
        points.push_back({*kiloohms, *hertz});
        if (end == text.size())
            return points;
        start = end + 1;
    }
}

} // namespace sornafex
