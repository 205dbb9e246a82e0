#include "analysis/calibration_editor.h"

#include "base/decimal_text.h"
#include "base/uRes.h"

namespace sornafex {

namespace {

constexpr std::string_view kCaptionFormat = "Étalonnage de %s (%s)";
constexpr std::string_view kBadResistance =
    "Résistance incorrecte : tapez sa valeur en kΩ, par exemple 100 ou 4,7";
constexpr std::string_view kNoFitYet =
    "Pas encore d'étalonnage : mesurez au moins deux résistances";

} // namespace

TCalibrationEditor::TCalibrationEditor(std::string portName, std::string device,
                                       const std::string& stored, TMeasure measure)
    : m_portName(std::move(portName)), m_device(std::move(device)), m_measure(std::move(measure)) {
    try {
        m_points = ParseCalibrationPoints(stored);
    } catch (const ECalibration& error) {
        m_storedProblem = error.what();
    }
}

std::string TCalibrationEditor::Caption() const {
    return res::FormatStr(res::FormatStr(kCaptionFormat, m_portName), m_device);
}

bool TCalibrationEditor::Measure(const std::string& kiloohms, std::string& error) {
    const auto value = ParseFrenchDecimal(kiloohms);
    if (!value || !(*value > 0)) {
        error = kBadResistance;
        return false;
    }
    try {
        m_points.push_back({*value, m_measure()});
    } catch (const std::exception& failure) {
        error = failure.what();
        return false;
    }
    return true;
}

void TCalibrationEditor::Remove(std::size_t point) {
    if (point < m_points.size())
        m_points.erase(m_points.begin() + static_cast<std::ptrdiff_t>(point));
}

std::optional<TCalibration> TCalibrationEditor::Fit(std::string* reason) const {
    try {
        return TCalibration::Fit(m_points);
    } catch (const ECalibration& error) {
        if (reason)
            *reason = m_points.size() < 2 ? std::string(kNoFitYet) : std::string(error.what());
        return std::nullopt;
    }
}

std::vector<std::string> TCalibrationEditor::PointTexts(std::size_t point) const {
    const TCalibrationPoint& p = m_points.at(point);
    const auto fit = Fit();
    return {FrenchDecimal(p.kiloohms, 3), FrenchDecimal(p.hertz, 4),
            fit ? FrenchDecimal(fit->ResidualPercent(point), 3) : std::string()};
}

std::string TCalibrationEditor::FitText() const {
    std::string reason;
    const auto fit = Fit(&reason);
    if (!fit)
        return reason;
    return "T = " + FrenchDecimal(fit->OffsetSeconds() * 1e3, 4) + " ms + " +
           FrenchDecimal(fit->SecondsPerKiloohm() * 1e3, 6) + " ms/kΩ × R";
}

bool TCalibrationEditor::Accept(std::string& error) {
    if (m_points.empty()) {
        m_accepted.clear();
        return true;
    }
    std::string reason;
    if (!Fit(&reason)) {
        error = reason;
        return false;
    }
    m_accepted = FormatCalibrationPoints(m_points);
    return true;
}

} // namespace sornafex
